"""The Qt binding kyv.widgets works with: PyQt6 or PySide6.

The one a program has already imported wins; else the QT_API environment variable's choice
("pyqt6" or "pyside6", as qtpy reads it); else PyQt6, else PySide6. The widgets use
QtCore, QtGui and QtWidgets and the binding's Signal and Slot, nothing else."""

import importlib
import os
import sys
import threading

BINDINGS = ("PyQt6", "PySide6")


def _choose():
    for name in BINDINGS:
        if name in sys.modules:
            return name
    wanted = {"pyqt6": "PyQt6", "pyside6": "PySide6"}.get(os.environ.get("QT_API", "").lower())
    tried = []
    for name in ([wanted] if wanted else []) + [b for b in BINDINGS if b != wanted]:
        try:
            importlib.import_module(f"{name}.QtWidgets")
        except ImportError as error:
            tried.append(f"{name}: {error}")
            continue
        return name
    raise ImportError("kyv.widgets needs PyQt6 or PySide6, and neither imports (" + "; ".join(tried) + ")")


API = _choose()
QtCore = importlib.import_module(f"{API}.QtCore")
QtGui = importlib.import_module(f"{API}.QtGui")
QtWidgets = importlib.import_module(f"{API}.QtWidgets")
if API == "PyQt6":
    Signal, Slot = QtCore.pyqtSignal, QtCore.pyqtSlot
else:
    Signal, Slot = QtCore.Signal, QtCore.Slot


def image_bits(image):
    """The writable pixels of `image` as a buffer."""
    bits = image.bits()
    if hasattr(bits, "setsize"):  # PyQt6's sip.voidptr
        bits.setsize(image.sizeInBytes())
    return bits


def thread_name(thread):
    """A QThread's name for a message: the GUI thread's, or its object name."""
    app = QtCore.QCoreApplication.instance()
    if app is not None and thread is app.thread():
        return f"the GUI thread ({threading.main_thread().name})"
    return f"QThread {thread.objectName()!r}" if thread.objectName() else "another QThread"


def require_owning_thread(widget, member):
    """Raises RuntimeError when called from a thread other than the one `widget` belongs to."""
    if QtCore.QThread.currentThread() is widget.thread():
        return
    raise RuntimeError(f"{type(widget).__name__}.{member}() was called from thread "
                       f"{threading.current_thread().name!r}, but the widget belongs to "
                       f"{thread_name(widget.thread())}: call it there, or feed it through its slots, which "
                       f"queue a call from another thread")
