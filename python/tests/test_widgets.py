"""The widgets of both kinds: kyv.qt's (SIP, over libkyvqt) and kyv.widgets' (Python, over the
core) offer the same members, show the same pictures and behave the same across threads."""
import json
import os
import subprocess
import sys
import threading
import time

import pytest
from required import need

QtWidgets = need("PyQt6.QtWidgets")
from PyQt6 import QtCore, QtGui  # noqa: E402

import kyv  # noqa: E402
import kyv.widgets  # noqa: E402

if os.environ.get("KYV_EXPECT_QT") != "1":
    pytest.importorskip("kyv._qt")
import kyv.qt  # noqa: E402

KINDS = {"sip": kyv.qt, "python": kyv.widgets}
# How long the threaded feed runs: a few seconds in the test suite, longer by hand.
STRESS_SECONDS = float(os.environ.get("KYV_STRESS_SECONDS", "2"))


@pytest.fixture(scope="module")
def app():
    return QtWidgets.QApplication.instance() or QtWidgets.QApplication([])


def image(widget):
    return widget.grab().toImage().convertToFormat(QtGui.QImage.Format.Format_ARGB32)


def qt_members(cls):
    """The properties, feed slots and event signals kyv.qt's widget class declares."""
    meta = cls.staticMetaObject
    first = kyv.qt.TypedWidget.staticMetaObject
    properties = {meta.property(i).name() for i in range(first.propertyCount(), meta.propertyCount())}
    methods = [meta.method(i) for i in range(first.methodCount(), meta.methodCount())]
    slots = {bytes(m.name()).decode() for m in methods if m.methodType() == QtCore.QMetaMethod.MethodType.Slot}
    signals = {bytes(m.name()).decode() for m in methods if m.methodType() == QtCore.QMetaMethod.MethodType.Signal}
    return properties, slots, signals - {p + "Changed" for p in properties}


def test_every_widget_has_both_kinds_with_the_same_members(app):
    assert [cls.__name__ for cls in kyv.widgets.WIDGETS] == sorted(
        [cls.__name__ for cls in kyv.qt.WIDGETS], key=[c.__name__ for c in kyv.widgets.WIDGETS].index)
    for sip_class in kyv.qt.WIDGETS:
        python_class = getattr(kyv.widgets, sip_class.__name__)
        properties, slots, signals = qt_members(sip_class)
        assert set(python_class._properties) == properties, sip_class.__name__
        for name in properties:
            for member in (name, "set" + name, "reset" + name, name + "Changed"):
                assert hasattr(python_class, member), f"{sip_class.__name__}.{member}"
        for name in slots | signals:
            assert hasattr(python_class, name), f"{sip_class.__name__}.{name}"
        widget, other = sip_class(), python_class()
        assert widget.sizeHint() == other.sizeHint() and widget.minimumSizeHint() == other.minimumSizeHint()


def test_both_kinds_show_the_same_picture_of_every_control(app):
    palette = QtGui.QPalette(QtGui.QColor("#202124"))
    for sip_class in kyv.qt.WIDGETS:
        widgets = [sip_class(), getattr(kyv.widgets, sip_class.__name__)()]
        for widget in widgets:
            widget.resize(widget.sizeHint())
            for slot in ("incbar", "send", "MoveBar", "Plot", "Value"):
                if hasattr(widget, slot):
                    getattr(widget, slot)(7)
        assert image(widgets[0]) == image(widgets[1]), sip_class.__name__
        for widget in widgets:
            widget.setPalette(palette)
        assert image(widgets[0]) == image(widgets[1]), f"{sip_class.__name__} in a dark palette"


@pytest.mark.parametrize("kind", KINDS)
def test_a_colour_is_the_same_colour_in_the_core_and_in_either_widget(app, kind):
    red = kyv.Color("#ff0000")
    for spelling in (int(red), red, "#ff0000", (255, 0, 0), QtGui.QColor(255, 0, 0)):
        bar = KINDS[kind].KyvvstatWidget()
        bar.setFillColor(spelling)
        assert bar.FillColor() == QtGui.QColor(255, 0, 0), (kind, spelling)
        assert bar.setProperty("FillColor", spelling) and bar.property("FillColor") == QtGui.QColor(255, 0, 0)
    core = kyv.Kyvvstat(FillColor=int(red))
    assert core.FillColor.hex == "#ff0000"


@pytest.mark.parametrize("kind", KINDS)
def test_refused_values_are_reported_and_wrong_types_raise(app, kind):
    bar = KINDS[kind].KyvvstatWidget()
    heard = []
    bar.errorOccurred.connect(lambda member, error, message: heard.append((member, error)))
    bar.setMaxlimit(200)
    assert bar.incbar(190) is True and bar.incbar(-40000) is False
    bar.setMaxlimit(40000)
    assert bar.Maxlimit() == 200
    assert heard == [("incbar", "overflow"), ("Maxlimit", "overflow")]
    for value, error in ((None, TypeError), ("12", TypeError), (2 ** 40, OverflowError)):
        with pytest.raises(error):
            bar.incbar(value)
        with pytest.raises(error):
            bar.setMaxlimit(value)
    with pytest.raises(ValueError):
        bar.setFillColor("red")
    assert bar.Maxlimit() == 200


@pytest.mark.parametrize("kind", KINDS)
def test_a_trace_takes_a_new_count_at_once(app, kind):
    trace = KINDS[kind].HeartBeatWidget()
    trace.setHorizCount(20)
    assert all(trace.Plot(point) for point in range(21))


@pytest.mark.parametrize("kind", KINDS)
def test_a_call_from_another_thread_is_queued_for_a_feed_and_refused_for_the_rest(app, kind):
    bar, unfed, fed = (KINDS[kind].KyvvstatWidget() for _ in range(3))
    for widget in (bar, unfed, fed):
        widget.setMaxlimit(200)
        widget.setMinThreshold(10)
        widget.setMaxThreshold(150)
    fed.incbar(100)
    heard, refused, results = [], [], []
    bar.normalOPs.connect(lambda: heard.append(threading.current_thread().name))

    def worker():
        results.append(bar.incbar(100))
        for call in (lambda: bar.setMaxlimit(3), bar.Maxlimit, lambda: bar.setProperty("Maxlimit", 3)):
            try:
                call()
            except RuntimeError as error:
                refused.append(str(error))

    thread = threading.Thread(target=worker, name="feeder")
    thread.start()
    thread.join()
    # Queued: the control was not fed in the worker, and is fed once the GUI thread runs.
    assert results == [True] and image(bar) == image(unfed)
    app.processEvents()
    assert heard == ["MainThread"] and bar.Maxlimit() == 200 and image(bar) == image(fed)
    assert len(refused) == 3
    assert all("'feeder'" in message and "GUI thread" in message for message in refused)


@pytest.mark.parametrize("kind", KINDS)
def test_a_worker_feeds_at_a_kilohertz_while_the_gui_resizes(app, kind):
    module = KINDS[kind]
    bar, digits = module.KyvvstatWidget(), module.FoursegWidget()
    bar.setMaxlimit(1000)
    bar.setMinThreshold(0)
    bar.setMaxThreshold(1000)
    for widget in (bar, digits):
        widget.setKeepReadingOnResize(True)  # the last reading stays through the resizes after it
        widget.show()
    heard = []
    bar.normalOPs.connect(lambda: heard.append(1))
    fed = []
    done = threading.Event()

    def worker():
        reading = 0
        deadline = time.monotonic() + STRESS_SECONDS
        while time.monotonic() < deadline or len(fed) < 200:
            reading = reading % 900 + 1
            bar.incbar(reading)
            digits.send(reading)
            fed.append(reading)
            time.sleep(0.001)
        done.set()

    thread = threading.Thread(target=worker)
    thread.start()
    step = 0
    while not done.is_set():
        step += 1
        for widget in (bar, digits):
            hint = widget.sizeHint()
            widget.resize(hint.width() + step % 7, hint.height() + step % 5)
        app.processEvents()
    thread.join()
    app.processEvents()
    assert len(heard) == len(fed)  # every reading reached the bar
    for widget, feed in ((bar, "incbar"), (digits, "send")):
        expected = type(widget)()
        if widget is bar:
            expected.setMaxlimit(1000)
            expected.setMinThreshold(0)
            expected.setMaxThreshold(1000)
        expected.resize(widget.size())
        expected.show()
        getattr(expected, feed)(fed[-1])
        assert image(widget) == image(expected), f"{kind} {type(widget).__name__} shows the last reading"
        widget.close()
        expected.close()


# A control kind of the tests, registered in a registration file of its own, as a Python
# program that uses that file sees it: kyv.widgets makes its widget from its class table as
# it does the family's, in a program of its own (the registry is chosen when kyv starts).
SAMPLE_PROGRAM = """
import json, sys
from PyQt6 import QtWidgets
app = QtWidgets.QApplication([])
import kyv.widgets
lamp = kyv.widgets.LampWidget()
heard = []
lamp.switched.connect(lambda: heard.append("switched"))
lamp.OnColorChanged.connect(lambda: heard.append("OnColorChanged"))
fed = lamp.Switch(1)
lamp.setOnColor("#ff0000")
print(json.dumps({"widgets": [w.__name__ for w in kyv.widgets.WIDGETS], "fed": fed, "lit": lamp.Lit(),
                  "colour": lamp.OnColor().name(), "heard": heard, "size": [lamp.sizeHint().width(),
                  lamp.sizeHint().height()], "properties": sorted(lamp._properties)}))
"""


def test_a_control_kind_of_the_tests_reaches_kyv_widgets():
    registry = os.environ.get("KYV_SAMPLE_REGISTRY")
    if not registry:
        pytest.skip("KYV_SAMPLE_REGISTRY names no registration file of the sample control (the build's test sets it)")
    env = dict(os.environ, KYV_REGISTRY=registry, QT_QPA_PLATFORM="offscreen")
    done = subprocess.run([sys.executable, "-c", SAMPLE_PROGRAM], env=env, capture_output=True, text=True, timeout=60)
    assert done.returncode == 0, done.stderr
    seen = json.loads(done.stdout.splitlines()[-1])
    assert seen == {"widgets": ["LampWidget"], "fed": True, "lit": True, "colour": "#ff0000",
                    "heard": ["switched", "OnColorChanged"], "size": [40, 40], "properties": ["Lit", "OnColor"]}
