#!/usr/bin/env python3
"""An instrument panel of 20 live traces, each fed 50 readings a second, with Kyv's widgets
written in Python (kyv.widgets: PyQt6 or PySide6, whichever is there) or kyv.qt's (SIP).

    examples/python/trace_panel.py [--widgets python|sip] [--seconds N] [--screenshot FILE]

With --seconds it closes after N seconds and prints the CPU it used, in seconds a second.
"""
import argparse
import math
import time
from typing import Any, Callable

import kyv.widgets
from kyv.widgets import QtCore, QtWidgets

TRACES = 20
RATE = 50  # readings a second, per trace


def new_trace(kind: str) -> Any:
    """A trace widget of kyv.qt ("sip") or of kyv.widgets: both have the same members."""
    if kind == "sip":
        from kyv import qt
        return qt.HeartBeatWidget()
    return kyv.widgets.HeartBeatWidget()


def make_panel(kind: str) -> tuple[QtWidgets.QWidget, Callable[[], None]]:
    """The panel window and its feed: a function giving every trace its next reading."""
    window = QtWidgets.QWidget()
    window.setWindowTitle(f"{TRACES} traces at {RATE} Hz")
    grid = QtWidgets.QGridLayout(window)
    traces: list[Any] = []
    for i in range(TRACES):
        trace = new_trace(kind)
        trace.setMaxLimit(100)
        trace.setHorizCount(50)
        trace.setLineColor(f"#{(60 + 9 * i) % 256:02x}ff{(200 - 7 * i) % 256:02x}")
        grid.addWidget(trace, i // 4, i % 4)
        traces.append(trace)
    step = [0]

    def feed() -> None:
        n = step[0]
        for i, trace in enumerate(traces):
            trace.Plot(int(50 + 40 * math.sin((n + 7 * i) / 8)))
        step[0] += 1
    return window, feed


def run(kind: str, seconds: float | None = None, screenshot: str | None = None) -> float:
    """Shows the panel, fed by a timer, until closed or for `seconds`; returns the CPU seconds
    a second it used while fed."""
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


def main() -> None:
    parser = argparse.ArgumentParser(description=f"{TRACES} live traces fed at {RATE} Hz")
    parser.add_argument("--widgets", choices=("python", "sip"), default="python")
    parser.add_argument("--seconds", type=float)
    parser.add_argument("--screenshot")
    args = parser.parse_args()
    cpu = run(args.widgets, args.seconds, args.screenshot)
    if args.seconds:
        print(f"{args.widgets} widgets: {cpu:.3f} CPU seconds a second")


if __name__ == "__main__":
    main()
