"""The typed Kyv widgets as PyQt6 widgets.

    from PyQt6.QtWidgets import QApplication
    import kyv.qt
    app = QApplication([])
    bar = kyv.qt.KyvvstatWidget()
    bar.setMaxlimit(200)
    bar.maxThreshReached.connect(lambda: print("high"))
    bar.incbar(150)          # False, and errorOccurred(member, kind, message), when refused

Each widget is a QWidget: it goes in layouts, can be subclassed, and its Qt properties
(property("Maxlimit"), setProperty), feed slots and signals (the events, the NOTIFY
signals, errorOccurred) work as from C++. Writes never raise: a value the control refuses
is reported through errorOccurred and the property keeps its value.

Threads: a widget belongs to the thread of the QApplication, as every QWidget does. Its feed
slots (incbar, send, Plot, MoveBar, Column, Value) may be called from any thread: a call from
another thread is queued to the widget's thread, as a queued connection would deliver it,
and returns True at once (a reading the control refuses is then reported through
errorOccurred). Every other call of the widget's own (its property getters, setters and
resets, setProperty and property) from another thread raises RuntimeError naming the
thread that owns the widget.

Colours: a colour setter, and setProperty of a colour property, take a QColor, "#rrggbb",
(r, g, b), a kyv.Color, or an int read as kyv.Color reads it (0x00BBGGRR, as the controls
store colours, so 0x0000FF is red here as in kyv); getters give the QColor shown.

A slot of yours that raises, connected to a widget's signal, is PyQt6's affair: the
exception goes to sys.excepthook, and the feed that emitted the signal completes. PyQt6's
own default excepthook ends the program, so a program that wants to go on sets its own.

Forms: importing kyv.qt lets PyQt6.uic.loadUi create the Kyv widgets a .ui file names
(kyvqt::KyvvstatWidget, header kyv/qt/KyvvstatWidget.h).
"""

import functools as _functools
import os as _os

from PyQt6 import QtCore as _QtCore, QtGui as _QtGui, QtWidgets as _QtWidgets

from .. import _qt
from .._binding import require_owning_thread as _require_owning_thread
from .._color import Color as _Color
from .._qt import kyvqt
from . import _widgets

ControlWidget = kyvqt.ControlWidget
TypedWidget = kyvqt.TypedWidget
# The typed widgets and the bases several of them share, named as in C++: written by the
# build from the list of controls, in its order.
globals().update({name: getattr(kyvqt, name) for name in _widgets.BASES + _widgets.WIDGETS})

WIDGETS = tuple(getattr(kyvqt, name) for name in _widgets.WIDGETS)
_BASES = tuple(getattr(kyvqt, name) for name in _widgets.BASES)


def _forward(setter):
    def set_property(self, value):
        getattr(self, setter)(value)
    set_property.__name__ = setter
    return set_property


def _add_uic_setters():
    # uic sets a property NAME through setNAME with NAME's first letter made capital; the
    # widgets' lower-case properties (maxthreshcolor, showgrid, ...) get that spelling too.
    for cls in WIDGETS:
        meta = cls.staticMetaObject
        for i in range(meta.propertyCount()):
            name = meta.property(i).name()
            alias = "set" + name[0].upper() + name[1:]
            if name[0].islower() and not hasattr(cls, alias) and hasattr(cls, "set" + name):
                setattr(cls, alias, _forward("set" + name))


def _register_with_uic():
    # PyQt6.uic finds the classes of a .ui file through its widget plugins: ours resolves
    # kyvqt::NAME (and NAME alone) to this module.
    try:
        from PyQt6 import uic
    except ImportError:
        return
    folder = _os.path.join(_os.path.dirname(__file__), "uic")
    if folder not in uic.widgetPluginPath:
        uic.widgetPluginPath.append(folder)


def _qcolor(value):
    """`value` as the QColor a colour setter takes: a QColor as it is, anything else as
    kyv.Color reads it (an int is 0x00BBGGRR; a system colour is the colour it shows in the
    system palette)."""
    if isinstance(value, _QtGui.QColor):
        return value
    colour = _Color(value).resolved()
    return _QtGui.QColor(colour.red, colour.green, colour.blue)


def _guarded(cls, name, convert=None):
    member = getattr(cls, name)

    @_functools.wraps(member)
    def call(self, *args):
        _require_owning_thread(self, name)
        if convert is not None:
            args = convert(self, args)
        return member(self, *args)
    return call


def _colour_argument(self, args):
    return (_qcolor(args[0]),) + tuple(args[1:])


def _property_value(self, args):
    name, value = args
    index = self.metaObject().indexOfProperty(name)
    if index >= 0 and self.metaObject().property(index).typeName() == "QColor":
        value = _qcolor(value)
    return (name, value)


def _feed_slots(cls):
    """The names of the feed slots a typed widget's class declares itself."""
    meta = cls.staticMetaObject
    return {bytes(meta.method(i).name()).decode() for i in range(meta.methodOffset(), meta.methodCount())
            if meta.method(i).methodType() == _QtCore.QMetaMethod.MethodType.Slot}


def _guard_members():
    # Every member the binding adds to QWidget, but the feed slots (which queue themselves),
    # checks the calling thread; colour setters read every colour spelling. The typed
    # widgets come before their bases, so that each wraps the binding's own member once.
    classes = WIDGETS + _BASES + (TypedWidget, ControlWidget)
    slots = set().union(*(_feed_slots(cls) for cls in classes))
    qwidget = set(dir(_QtWidgets.QWidget))
    for cls in classes:
        meta = cls.staticMetaObject
        colours = {"set" + meta.property(i).name() for i in range(meta.propertyCount())
                   if meta.property(i).typeName() == "QColor"}
        for name in set(dir(cls)) - qwidget - slots:
            member = getattr(cls, name)
            if name.startswith("_") or not callable(member) or isinstance(member, _QtCore.pyqtSignal):
                continue
            setattr(cls, name, _guarded(cls, name, _colour_argument if name in colours else None))
        cls.setProperty = _guarded(cls, "setProperty", _property_value)
        cls.property = _guarded(cls, "property")


_add_uic_setters()
_register_with_uic()
_guard_members()

__all__ = ["ControlWidget", "TypedWidget", "WIDGETS", "kyvqt"] + list(_widgets.BASES + _widgets.WIDGETS)
