"""The registry the package creates controls through, and the typed classes it holds."""

import os
import threading

from . import _kyv
from ._control import make_class

_lock = threading.Lock()
_default = None


def default_registry():
    """The registry of the registration file installed beside the framework library this
    package was built with (lib/kyv/kyvregistry.json of its prefix or build tree), or of the
    file named by the KYV_REGISTRY environment variable."""
    global _default
    with _lock:
        if _default is None:
            _default = _kyv.Registry(os.environ.get("KYV_REGISTRY", ""))
        return _default


def use_registry(registration_file):
    """Makes the registry of `registration_file` (a path) the default one (for controls
    created from now on) and returns it. A file that is missing, unreadable or not a
    registration file raises kyv.CannotCreateObject, and the default registry stays."""
    global _default
    if not isinstance(registration_file, (str, bytes, os.PathLike)):
        raise TypeError(f"a registration file is a path, not {type(registration_file).__name__}")
    registry = _kyv.Registry(os.fsdecode(registration_file))
    registry.classes()  # reads the file now: raises CannotCreateObject with the reason
    with _lock:
        _default = registry
    return registry


def typed_classes(registry):
    """{registered class name: typed class} for every class `registry` lists."""
    classes = {}
    for class_name, library, _path in registry.classes():
        classes[class_name] = make_class(registry.describe(class_name), library)
    return classes
