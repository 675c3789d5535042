#!/usr/bin/python3
"""A PyQt6 window of Kyv widgets, in a dark palette, fed by a worker thread through signals.

    PYTHONPATH=build/release/lib/python3/dist-packages examples/python/threaded_window.py [--screenshot FILE]

The worker never touches a widget: it emits readings, and Qt delivers them to the widgets'
feed slots on the window's thread (a queued connection).
"""
import math
import sys
import threading
import time

from PyQt6.QtCore import QObject, QTimer, Qt, pyqtSignal
from PyQt6.QtGui import QColor, QPalette
from PyQt6.QtWidgets import QApplication, QHBoxLayout, QWidget

import kyv.qt


class Sensor(QObject):
    level = pyqtSignal(int)
    count = pyqtSignal(int)
    pulse = pyqtSignal(int)

    def __init__(self):
        super().__init__()
        self.running = True

    def run(self):
        step = 0
        while self.running:
            self.level.emit(int(100 + 90 * math.sin(step / 20)))
            self.count.emit(step % 10000)
            self.pulse.emit(int(50 + 40 * math.sin(step / 3)))
            step += 1
            time.sleep(0.02)


def dark(app):
    palette = QPalette()
    for role, colour in ((QPalette.ColorRole.Window, "#202124"), (QPalette.ColorRole.Base, "#17181a"),
                         (QPalette.ColorRole.Button, "#2b2c2f"), (QPalette.ColorRole.Text, "#e8eaed"),
                         (QPalette.ColorRole.WindowText, "#e8eaed"), (QPalette.ColorRole.ButtonText, "#e8eaed")):
        palette.setColor(role, QColor(colour))
    app.setPalette(palette)


def main():
    app = QApplication(sys.argv)
    dark(app)
    window = QWidget()
    window.setWindowTitle("Kyv from Python")
    row = QHBoxLayout(window)
    tank, count, trace = kyv.qt.KyvvstatWidget(), kyv.qt.FoursegWidget(), kyv.qt.HeartBeatWidget()
    tank.setMaxlimit(200)
    tank.setMaxThreshold(170)
    trace.setMaxLimit(100)
    # The digits and the trace default to the palette's text colour as their background.
    for widget in (count, trace):
        widget.setBackColor(QColor("#101214"))
    for widget in (tank, count, trace):
        row.addWidget(widget)
        widget.errorOccurred.connect(lambda member, kind, message: print(member, kind, message))
    tank.maxThreshReached.connect(lambda: window.setWindowTitle("Kyv from Python: high"))
    tank.normalOPs.connect(lambda: window.setWindowTitle("Kyv from Python"))

    sensor = Sensor()
    queued = Qt.ConnectionType.QueuedConnection
    sensor.level.connect(tank.incbar, queued)
    sensor.count.connect(count.send, queued)
    sensor.pulse.connect(trace.Plot, queued)
    worker = threading.Thread(target=sensor.run, daemon=True)
    worker.start()
    window.show()

    if "--screenshot" in sys.argv:
        path = sys.argv[sys.argv.index("--screenshot") + 1]
        QTimer.singleShot(1500, lambda: (window.grab().save(path), app.quit()))
    code = app.exec()
    sensor.running = False
    worker.join()
    return code


if __name__ == "__main__":
    sys.exit(main())
