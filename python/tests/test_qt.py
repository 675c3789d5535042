"""kyv.qt: the typed widgets as PyQt6 widgets (offscreen)."""
import os
import threading

import pytest
from required import need

QtWidgets = need("PyQt6.QtWidgets")
from PyQt6 import QtCore, QtGui, sip  # noqa: E402

if os.environ.get("KYV_EXPECT_QT") != "1":
    pytest.importorskip("kyv._qt")
import kyv.qt  # noqa: E402

FORM = """<?xml version="1.0" encoding="UTF-8"?>
<ui version="4.0">
 <class>Panel</class>
 <widget class="QWidget" name="Panel">
  <layout class="QHBoxLayout" name="row">
   <item><widget class="kyvqt::KyvvstatWidget" name="tank">
    <property name="Maxlimit"><number>400</number></property>
    <property name="maxthreshcolor"><color><red>0</red><green>0</green><blue>255</blue></color></property>
   </widget></item>
   <item><widget class="FoursegWidget" name="count">
    <property name="maxlimit"><number>77</number></property>
   </widget></item>
  </layout>
 </widget>
 <customwidgets>
  <customwidget><class>kyvqt::KyvvstatWidget</class><extends>QWidget</extends>
   <header location="global">kyv/qt/KyvvstatWidget.h</header></customwidget>
  <customwidget><class>FoursegWidget</class><extends>QWidget</extends>
   <header location="global">kyv/qt/FoursegWidget.h</header></customwidget>
 </customwidgets>
</ui>
"""


@pytest.fixture(scope="module")
def app():
    return QtWidgets.QApplication.instance() or QtWidgets.QApplication([])


def distinct_colours(widget):
    image = widget.grab().toImage()
    return {image.pixel(x, y) for x in range(0, image.width(), 3) for y in range(0, image.height(), 3)}


def test_every_widget_is_a_qwidget_that_shows_its_control_in_a_layout(app):
    window = QtWidgets.QWidget()
    layout = QtWidgets.QHBoxLayout(window)
    widgets = [cls() for cls in kyv.qt.WIDGETS]
    for widget in widgets:
        assert isinstance(widget, QtWidgets.QWidget)
        layout.addWidget(widget)
    window.show()
    app.processEvents()
    for widget in widgets:
        assert widget.className() in widget.staticMetaObject.className() or widget.className()
        assert len(distinct_colours(widget)) > 1, type(widget).__name__
    window.close()


def test_properties_slots_and_signals_work_as_from_cpp(app):
    bar = kyv.qt.KyvvstatWidget()
    heard = []
    bar.maxThreshReached.connect(lambda: heard.append("high"))
    bar.MaxlimitChanged.connect(lambda: heard.append("limit"))
    bar.errorOccurred.connect(lambda member, kind, message: heard.append((member, kind)))
    assert bar.setProperty("Maxlimit", 200) and bar.Maxlimit() == 200 and bar.property("Maxlimit") == 200
    assert bar.incbar(190) is True
    assert bar.incbar(70000) is False
    bar.setFillColor(QtGui.QColor(255, 0, 0))
    assert bar.FillColor() == QtGui.QColor(255, 0, 0)
    bar.setMaxlimit(40000)  # refused: reported, and the value stays
    assert bar.Maxlimit() == 200
    assert heard == ["limit", "high", ("incbar", "overflow"), ("Maxlimit", "overflow")]
    multi = kyv.qt.KyvMultiBarWidget()
    assert multi.Value(3, 5) and not multi.Column(12)


def test_every_qt_property_has_its_typed_members_in_python(app):
    # The binding declares what the widget's Qt meta-object declares, both written from the
    # class tables: a getter, setter and reset per property, and its NOTIFY signal.
    first = kyv.qt.TypedWidget.staticMetaObject.propertyCount()
    for cls in kyv.qt.WIDGETS:
        widget = cls()
        meta = widget.metaObject()
        assert meta.propertyCount() > first, cls.__name__
        for index in range(first, meta.propertyCount()):
            prop = meta.property(index)
            name = prop.name()
            where = f"{cls.__name__}.{name}"
            assert getattr(widget, name)() == widget.property(name), where
            getattr(widget, "set" + name)(getattr(widget, name)())
            getattr(widget, "reset" + name)()
            assert getattr(widget, name)() == widget.property(name), where
            assert isinstance(getattr(widget, name + "Changed"), QtCore.pyqtBoundSignal), where


def test_a_python_subclass_with_its_own_signal_and_slot(app):
    class Tank(kyv.qt.KyvvstatWidget):
        alarm = QtCore.pyqtSignal(str)

        def __init__(self):
            super().__init__()
            self.maxThreshReached.connect(self.on_high)

        @QtCore.pyqtSlot()
        def on_high(self):
            self.alarm.emit(self.objectName())

    tank = Tank()
    tank.setObjectName("tank")
    got = []
    tank.alarm.connect(got.append)
    tank.setMaxlimit(100)
    tank.incbar(99)
    assert got == ["tank"]


def test_a_thread_feeds_a_widget_through_a_queued_signal(app):
    class Feeder(QtCore.QObject):
        reading = QtCore.pyqtSignal(int)

    digits = kyv.qt.SixsegWidget()
    feeder = Feeder()
    feeder.reading.connect(digits.send, QtCore.Qt.ConnectionType.QueuedConnection)
    thread = threading.Thread(target=lambda: [feeder.reading.emit(i) for i in range(500)])
    thread.start()
    thread.join()
    app.processEvents()
    expected = kyv.qt.SixsegWidget()
    expected.send(499)
    assert digits.grab().toImage() == expected.grab().toImage()


def test_a_ui_form_with_kyv_widgets_loads_with_loadUi(app, tmp_path):
    from PyQt6 import uic
    path = tmp_path / "panel.ui"
    path.write_text(FORM)
    panel = uic.loadUi(str(path))
    tank = panel.findChild(kyv.qt.KyvvstatWidget, "tank")
    count = panel.findChild(kyv.qt.FoursegWidget, "count")
    assert tank.Maxlimit() == 400 and tank.maxthreshcolor() == QtGui.QColor(0, 0, 255)
    assert count.maxlimit() == 77
    assert tank.incbar(300)


def test_the_widget_follows_a_dark_palette(app):
    bar = kyv.qt.KyvvstatWidget()  # an empty bar shows BackColor, the system button face
    bar.resize(bar.sizeHint())
    light = bar.grab().toImage().pixelColor(bar.width() // 2, bar.height() // 4)
    palette = QtGui.QPalette()
    for role in (QtGui.QPalette.ColorRole.Window, QtGui.QPalette.ColorRole.Base, QtGui.QPalette.ColorRole.Button):
        palette.setColor(role, QtGui.QColor(30, 30, 30))
    bar.setPalette(palette)
    dark = bar.grab().toImage().pixelColor(bar.width() // 2, bar.height() // 4)
    assert dark.lightness() < light.lightness()


def test_a_deleted_widget_raises_instead_of_crashing(app):
    bar = kyv.qt.KyvvstatWidget()
    sip.delete(bar)
    with pytest.raises(RuntimeError):
        bar.incbar(5)
    with pytest.raises(RuntimeError):
        bar.setProperty("Maxlimit", 5)


def test_wrong_values_to_slots_are_python_exceptions(app):
    bar = kyv.qt.KyvvstatWidget()
    for value, error in ((None, TypeError), ("12", TypeError), (2 ** 40, OverflowError)):
        with pytest.raises(error):
            bar.incbar(value)
    assert bar.incbar(-40000) is False  # an int the control refuses: errorOccurred, no exception


def test_kyv_qt_has_type_stubs_of_the_widgets():
    import pathlib
    stubs = (pathlib.Path(kyv.__file__).parent / "_qt.pyi").read_text()
    compile(stubs, "_qt.pyi", "exec")
    for widget in kyv.qt.WIDGETS:
        assert f"class {widget.__name__}(" in stubs
    assert "maxThreshReached: typing.ClassVar[QtCore.pyqtSignal]" in stubs


def test_a_raising_slot_goes_to_excepthook_and_the_feed_completes(app, monkeypatch):
    caught = []
    monkeypatch.setattr("sys.excepthook", lambda kind, value, tb: caught.append(kind))
    bar = kyv.qt.KyvvstatWidget()
    bar.setMaxlimit(100)

    def fail():
        raise KeyError("slot")

    bar.maxThreshReached.connect(fail)
    assert bar.incbar(99) is True
    assert caught == [KeyError]
    assert bar.incbar(10) is True
