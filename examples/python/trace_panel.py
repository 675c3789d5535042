#!/usr/bin/env python3
"""An instrument panel of 20 live traces, each fed 50 readings a second, with Kyv's widgets
written in Python (kyv.widgets: PyQt6 or PySide6, whichever is there) or kyv.qt's (SIP).

    examples/python/trace_panel.py [--widgets python|sip] [--seconds N] [--screenshot FILE]

With --seconds it closes after N seconds and prints the CPU it used, in seconds a second.
"""
import argparse
import math
import time

TRACES = 20
RATE = 50  # readings a second, per trace


def widget_module(kind):
    if kind == "sip":
        import kyv.qt
        return kyv.qt
    import kyv.widgets
    return kyv.widgets


def make_panel(kind):
    """The panel window and its feed: a function giving every trace its next reading."""
    module = widget_module(kind)
    from kyv._binding import QtWidgets
    window = QtWidgets.QWidget()
    window.setWindowTitle(f"{TRACES} traces at {RATE} Hz")
    grid = QtWidgets.QGridLayout(window)
    traces = []
    for i in range(TRACES):
        trace = module.HeartBeatWidget()
        trace.setMaxLimit(100)
        trace.setHorizCount(50)
        trace.setLineColor(f"#{(60 + 9 * i) % 256:02x}ff{(200 - 7 * i) % 256:02x}")
        grid.addWidget(trace, i // 4, i % 4)
        traces.append(trace)
    step = [0]

    def feed():
        n = step[0]
        for i, trace in enumerate(traces):
            trace.Plot(int(50 + 40 * math.sin((n + 7 * i) / 8)))
        step[0] += 1
    return window, feed


def run(kind, seconds=None, screenshot=None):
    """Shows the panel, fed by a timer, until closed or for `seconds`; returns the CPU seconds
    a second it used while fed."""
    from kyv._binding import QtCore, QtWidgets
    app = QtWidgets.QApplication.instance() or QtWidgets.QApplication([])
    window, feed = make_panel(kind)
    window.show()
    timer = QtCore.QTimer()
    timer.setTimerType(QtCore.Qt.TimerType.PreciseTimer)
    timer.timeout.connect(feed)
    timer.start(1000 // RATE)
    start_cpu, start_wall = time.process_time(), time.monotonic()
    if seconds is None and screenshot is None:
        app.exec()
    else:
        while time.monotonic() - start_wall < (seconds or 1):
            app.processEvents(QtCore.QEventLoop.ProcessEventsFlag.AllEvents, 5)
            time.sleep(0.001)
    cpu = (time.process_time() - start_cpu) / (time.monotonic() - start_wall)
    if screenshot:
        window.grab().save(screenshot)
    timer.stop()
    window.close()
    return cpu


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--widgets", choices=("python", "sip"), default="python")
    parser.add_argument("--seconds", type=float)
    parser.add_argument("--screenshot")
    args = parser.parse_args()
    cpu = run(args.widgets, args.seconds, args.screenshot)
    if args.seconds:
        print(f"{args.widgets} widgets: {cpu:.3f} CPU seconds a second")


if __name__ == "__main__":
    main()
