"""Kyv's display controls for monitoring screens, from Python.

    import kyv
    bar = kyv.create("KyvVStatus.Kyvvstat", width=31, height=236)
    bar.Maxlimit = 200
    bar.incbar(120)
    bar.save("bar.png")

Every registered control class has a typed class here, named as its class name's last
part (kyv.Kyvvstat, kyv.fourseg, ...), with the control's properties as attributes, its
methods as methods and its reference page as help(). Errors are kyv.Error, one subclass
per kind. kyv.qt holds the typed Qt widgets for PyQt6.

Threads: a control may be used from any thread; calls on one control run one at a time,
and painting releases the GIL. Event handlers run while the call that raised the event
holds its control's lock (see Control.on).
"""

import json as _json
import pathlib as _pathlib
import re as _re
import sys as _sys


def _built_for():
    """The CPython version ("3.11") the package's extension was built for, from its name."""
    for path in _pathlib.Path(__file__).parent.glob("_kyv.*"):
        found = _re.match(r"_kyv\.cpython-3(\d+)", path.name)
        if found:
            return f"3.{found.group(1)}"
    return None


try:
    from . import _kyv
except ImportError as _error:
    _this = f"{_sys.version_info.major}.{_sys.version_info.minor}"
    _built = _built_for()
    if _built is None or _built == _this:
        raise
    raise ImportError(f"kyv was built for CPython {_built}, not for this CPython {_this}: install it for this "
                      f"Python (pip install --no-build-isolation .)") from None
from ._color import Color
from ._control import Control, Ref, bag_json as _bag_json
from ._errors import (Error, Overflow, SubscriptOutOfRange, DivisionByZero, TypeMismatch, InvalidPropertyValue,
                      CannotCreateObject, NoSuchMember, ERROR_CLASSES as _ERROR_CLASSES)
from ._registry import default_registry, use_registry, typed_classes as _typed_classes
from ._forms import load_form, save_form

_kyv._set_error_classes(dict(_ERROR_CLASSES))
_kyv._set_color_class(Color)

__version__ = _kyv.__version__

TWIPS_PER_PIXEL = _kyv.REFERENCE_TWIPS_PER_PIXEL

_classes = {}   # registered class name, folded -> typed class


def _load_classes():
    try:
        found = _typed_classes(default_registry())
    except CannotCreateObject:
        return  # no registration file: create() says why
    for class_name, cls in found.items():
        _classes[class_name.lower()] = cls
        globals()[cls.__name__] = cls


def classes():
    """The class names the registry holds, sorted: ["Kyv1Digit.sseg", ...]."""
    return [name for name, _library, _path in default_registry().classes()]


def class_of(class_name):
    """The typed class of registered class `class_name` (any case)."""
    cls = _classes.get(str(class_name).lower())
    if cls is None:
        default_registry().describe(str(class_name))  # raises CannotCreateObject with the reason
        _load_classes()
        cls = _classes[str(class_name).lower()]
    return cls


def create(class_name, width=None, height=None, *, twips=False, **properties):
    """A new control of `class_name` ("KyvVStatus.Kyvvstat"), `width` x `height` pixels
    (twips with ``twips=True``; the class's default extent when not given), with its
    default properties, then `properties` set in the order written."""
    return class_of(class_name)(width, height, twips=twips, **properties)


def restore(class_name, bag, width=None, height=None, *, twips=False):
    """A new control of `class_name` restored from `bag`: (key, value) pairs, a dict, or a
    bag's JSON document (as save_properties gives them)."""
    return class_of(class_name)(width, height, twips=twips, bag=bag)


def bag_to_json(pairs):
    """A bag of (key, value) pairs as the framework's JSON document."""
    return _bag_json(pairs)


def bag_from_json(text):
    """The (key, value) pairs of a bag's JSON document."""
    return [tuple(pair) for pair in _json.loads(_kyv.checked_bag(text))["properties"]]


def system_palette():
    """The 31 colours (kyv.Color) that system colours kyv.Color.system(n) resolve to."""
    return [Color(c) for c in _kyv.system_palette()]


def set_system_palette(colours):
    """Replaces the system palette (31 colours, each as kyv.Color takes one) for every later
    paint."""
    _kyv.set_system_palette([int(Color(c)) for c in colours])


_load_classes()

__all__ = ["Color", "Control", "Ref", "Error", "Overflow", "SubscriptOutOfRange", "DivisionByZero", "TypeMismatch",
           "InvalidPropertyValue", "CannotCreateObject", "NoSuchMember", "classes", "class_of", "create", "restore",
           "load_form", "save_form", "bag_to_json", "bag_from_json", "default_registry", "use_registry",
           "system_palette", "set_system_palette", "TWIPS_PER_PIXEL"] + [cls.__name__ for cls in _classes.values()]
