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

Threads: a widget belongs to the thread of the QApplication, as every QWidget does. Feed it
from another thread through a signal of yours connected to its feed slot (a queued
connection), never by calling it there; examples/python/threaded_window.py does so.

A slot of yours that raises, connected to a widget's signal, is PyQt6's affair: the
exception goes to sys.excepthook, and the feed that emitted the signal completes. PyQt6's
own default excepthook ends the program, so a program that wants to go on sets its own.

Forms: importing kyv.qt lets PyQt6.uic.loadUi create the Kyv widgets a .ui file names
(kyvqt::KyvvstatWidget, header kyv/qt/KyvvstatWidget.h).
"""

import os as _os

from PyQt6 import QtWidgets as _QtWidgets  # noqa: F401  (PyQt6's types before the module's)

from .. import _qt
from .._qt import kyvqt

ControlWidget = kyvqt.ControlWidget
TypedWidget = kyvqt.TypedWidget
StatusBarWidget = kyvqt.StatusBarWidget
DigitsWidget = kyvqt.DigitsWidget
KyvvstatWidget = kyvqt.KyvvstatWidget
HstatWidget = kyvqt.HstatWidget
SsegWidget = kyvqt.SsegWidget
FoursegWidget = kyvqt.FoursegWidget
SixsegWidget = kyvqt.SixsegWidget
KyvMovingBarWidget = kyvqt.KyvMovingBarWidget
HeartBeatWidget = kyvqt.HeartBeatWidget
KyvMultiBarWidget = kyvqt.KyvMultiBarWidget

WIDGETS = (KyvvstatWidget, HstatWidget, SsegWidget, FoursegWidget, SixsegWidget, KyvMovingBarWidget,
           HeartBeatWidget, KyvMultiBarWidget)


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


_add_uic_setters()
_register_with_uic()

__all__ = ["ControlWidget", "TypedWidget", "StatusBarWidget", "DigitsWidget", "WIDGETS", "kyvqt"] + [
    w.__name__ for w in WIDGETS]
