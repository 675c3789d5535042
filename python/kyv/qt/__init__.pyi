"""Type stubs of kyv.qt: the typed widgets of the kyv._qt module."""
from .._qt import kyvqt as kyvqt

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

WIDGETS: tuple[type[kyvqt.TypedWidget], ...]
