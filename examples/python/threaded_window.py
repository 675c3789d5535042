#!/usr/bin/python3
"""A PyQt6 window of Kyv widgets, in a dark palette, fed by a worker thread.

    PYTHONPATH=build/release/lib/python3/dist-packages examples/python/threaded_window.py [--screenshot FILE]

The worker calls the widgets' feed slots itself: a feed slot called from another thread is
queued to the window's thread, as a queued connection would deliver it, so the worker never
runs a widget's code. Any other call of a widget from the worker would raise RuntimeError.
"""
import math
import sys
import threading

from PyQt6.QtCore import QTimer
from PyQt6.QtGui import QColor, QPalette
from PyQt6.QtWidgets import QApplication, QHBoxLayout, QWidget

import kyv.qt


def sense(tank: kyv.qt.KyvvstatWidget, count: kyv.qt.FoursegWidget, trace: kyv.qt.HeartBeatWidget,
          stop: threading.Event) -> None:
    """The worker: a reading for each widget every 20 ms until `stop` is set."""
    step = 0
    while not stop.wait(0.02):
        tank.incbar(int(100 + 90 * math.sin(step / 20)))
        count.send(step % 10000)
        trace.Plot(int(50 + 40 * math.sin(step / 3)))
        step += 1


def dark(app: QApplication) -> None:
    palette = QPalette()
    for role, colour in ((QPalette.ColorRole.Window, "#202124"), (QPalette.ColorRole.Base, "#17181a"),
                         (QPalette.ColorRole.Button, "#2b2c2f"), (QPalette.ColorRole.Text, "#e8eaed"),
                         (QPalette.ColorRole.WindowText, "#e8eaed"), (QPalette.ColorRole.ButtonText, "#e8eaed")):
        palette.setColor(role, QColor(colour))
    app.setPalette(palette)


def main() -> int:
    app = QApplication(sys.argv)
    dark(app)
    window = QWidget()
    window.setWindowTitle("Kyv from Python")
    row = QHBoxLayout(window)
    tank, count, trace = kyv.qt.KyvvstatWidget(), kyv.qt.FoursegWidget(), kyv.qt.HeartBeatWidget()
    tank.setMaxlimit(200)
    tank.setMaxThreshold(170)
    trace.setMaxLimit(100)
    # The digits and the trace keep a black face under any palette; this one is softer.
    count.setBackColor("#101214")
    trace.setBackColor("#101214")

    def report(member: str, kind: str, message: str) -> None:
        print(member, kind, message)
    for widget in (tank, count, trace):
        row.addWidget(widget)
        widget.errorOccurred.connect(report)
    tank.maxThreshReached.connect(lambda: window.setWindowTitle("Kyv from Python: high"))
    tank.normalOPs.connect(lambda: window.setWindowTitle("Kyv from Python"))

    stop = threading.Event()
    worker = threading.Thread(target=sense, args=(tank, count, trace, stop), daemon=True)
    worker.start()
    window.show()

    if "--screenshot" in sys.argv:
        path = sys.argv[sys.argv.index("--screenshot") + 1]

        def shoot() -> None:
            window.grab().save(path)
            app.quit()
        QTimer.singleShot(1500, shoot)
    code = app.exec()
    stop.set()
    worker.join()
    return code


if __name__ == "__main__":
    sys.exit(main())
