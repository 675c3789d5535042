#!/usr/bin/python3
"""The CPU a PyQt6 window of 100 Kyv widgets fed at 100 Hz each uses, against the same
window of QProgressBar and QLCDNumber widgets fed the same values.

    PYTHONPATH=build/release/lib/python3/dist-packages QT_QPA_PLATFORM=offscreen \\
      bench/python/window_bench.py [SECONDS-PER-RUN] [RUNS]

50 vertical status bars (KyvvstatWidget against a vertical QProgressBar) and 50 four-digit
displays (FoursegWidget against a 4-digit QLCDNumber) in a 10 x 10 grid, shown. A 10 ms
timer gives every widget its next value; the window repaints what changed as Qt schedules
it. Runs of each window take turns; CPU is the process's user + system time over a run,
as a share of one core, and per tick delivered (a window that cannot keep up delivers fewer
ticks). The last lines are the ratios, Qt's median over Kyv's (above 1: the Kyv window uses
less): CPU share, then CPU per tick.
"""
import math
import statistics
import sys
import time

from PyQt6.QtCore import QTimer, Qt
from PyQt6.QtWidgets import QApplication, QGridLayout, QLCDNumber, QProgressBar, QWidget

import kyv.qt

WIDGETS = 100


def kyv_window():
    window = QWidget()
    grid = QGridLayout(window)
    feeds = []
    for i in range(WIDGETS):
        if i % 2 == 0:
            w = kyv.qt.KyvvstatWidget()
            w.setMaxlimit(200)
            feeds.append(w.incbar)
        else:
            w = kyv.qt.FoursegWidget()
            feeds.append(w.send)
        grid.addWidget(w, i // 10, i % 10)
    return window, feeds


def qt_window():
    window = QWidget()
    grid = QGridLayout(window)
    feeds = []
    for i in range(WIDGETS):
        if i % 2 == 0:
            w = QProgressBar()
            w.setOrientation(Qt.Orientation.Vertical)
            w.setRange(0, 200)
            w.setTextVisible(False)
            w.setFixedSize(31, 236)
            feeds.append(w.setValue)
        else:
            w = QLCDNumber(4)
            w.setFixedSize(119, 39)
            feeds.append(w.display)
        grid.addWidget(w, i // 10, i % 10)
    return window, feeds


def run(app, make, seconds):
    window, feeds = make()
    window.show()
    app.processEvents()
    step = [0]

    def tick():
        n = step[0]
        for i, feed in enumerate(feeds):
            feed(int(100 + 90 * math.sin((n + i) / 15)) if i % 2 == 0 else (n * 7 + i) % 10000)
        step[0] += 1

    timer = QTimer()
    timer.setTimerType(Qt.TimerType.PreciseTimer)
    timer.timeout.connect(tick)
    timer.start(10)
    start_cpu, start_wall = time.process_time(), time.monotonic()
    while time.monotonic() - start_wall < seconds:
        app.processEvents()
        time.sleep(0.001)
    cpu, wall = time.process_time() - start_cpu, time.monotonic() - start_wall
    timer.stop()
    window.close()
    window.deleteLater()
    app.processEvents()
    return cpu / wall, step[0] / wall


def main():
    seconds = float(sys.argv[1]) if len(sys.argv) > 1 else 3
    runs = int(sys.argv[2]) if len(sys.argv) > 2 else 5
    app = QApplication.instance() or QApplication(sys.argv)
    shares = {"kyv": [], "qt": []}
    rates = {"kyv": [], "qt": []}
    for _ in range(runs):
        for name, make in (("kyv", kyv_window), ("qt", qt_window)):
            share, rate = run(app, make, seconds)
            shares[name].append(share)
            rates[name].append(rate)
    per_tick = {name: [s / r for s, r in zip(shares[name], rates[name])] for name in shares}
    for name in shares:
        print(f"{name:4} window: CPU {statistics.median(shares[name]) * 100:6.1f} % of a core, "
              f"{statistics.median(rates[name]):5.1f} ticks/s of {WIDGETS} values, "
              f"{statistics.median(per_tick[name]) * 1e3:6.2f} ms CPU per tick")
    print(f"ratio {statistics.median(shares['qt']) / statistics.median(shares['kyv']):.2f}")
    print(f"ratio per tick {statistics.median(per_tick['qt']) / statistics.median(per_tick['kyv']):.2f}")


if __name__ == "__main__":
    main()
