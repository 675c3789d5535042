#!/usr/bin/python3
"""The CPU a panel of 20 live traces fed at 50 Hz each uses, with Kyv's widgets written in
Python (kyv.widgets), with kyv.qt's (SIP, over libkyvqt), and with pyqtgraph when it imports
(python3-pyqtgraph), all in the same run.

    PYTHONPATH=build/release/lib/python3/dist-packages QT_QPA_PLATFORM=offscreen \\
      bench/python/panel_bench.py [SECONDS-PER-RUN] [RUNS]

Each run is a process of its own showing one panel (examples/python/trace_panel.py, or the
same panel of pyqtgraph plots here) for SECONDS; runs of each kind take turns. The Python
widgets' runs cannot import kyv.qt's module, as in a venv without it. CPU is the process's
user + system time a second of the run, the median over the runs. The last line is the ratio
of the Python widgets' CPU to the SIP widgets' (at most 1.5 is the aim).
"""
import json
import math
import pathlib
import statistics
import subprocess
import sys

PANEL = pathlib.Path(__file__).resolve().parents[2] / "examples" / "python"

RUN = '''
import json, sys
sys.path.insert(0, {panel!r})
kind, seconds = {kind!r}, {seconds!r}
if kind == "python":
    sys.modules["kyv._qt"] = None  # as where kyv.qt's module is not there
if kind == "pyqtgraph":
    sys.path.insert(0, {bench!r})
    from panel_bench import run_pyqtgraph
    print(json.dumps(run_pyqtgraph(seconds)))
else:
    import trace_panel
    print(json.dumps(trace_panel.run(kind, seconds)))
'''


def run_pyqtgraph(seconds):
    """The same panel of pyqtgraph plots: 20 plots of the last 51 readings, fed at 50 Hz."""
    import time
    import pyqtgraph
    from PyQt6 import QtCore, QtWidgets
    app = QtWidgets.QApplication.instance() or QtWidgets.QApplication([])
    window = QtWidgets.QWidget()
    grid = QtWidgets.QGridLayout(window)
    curves, data = [], []
    for i in range(20):
        plot = pyqtgraph.PlotWidget()
        plot.setYRange(0, 100)
        plot.showGrid(x=True, y=True)
        curves.append(plot.plot(pen=(i, 20)))
        data.append([])
        grid.addWidget(plot, i // 4, i % 4)
    window.resize(533, 533)
    window.show()
    step = [0]

    def feed():
        n = step[0]
        for i, curve in enumerate(curves):
            data[i].append(50 + 40 * math.sin((n + 7 * i) / 8))
            del data[i][:-51]
            curve.setData(data[i])
        step[0] += 1

    timer = QtCore.QTimer()
    timer.setTimerType(QtCore.Qt.TimerType.PreciseTimer)
    timer.timeout.connect(feed)
    timer.start(20)
    start_cpu, start_wall = time.process_time(), time.monotonic()
    while time.monotonic() - start_wall < seconds:
        app.processEvents(QtCore.QEventLoop.ProcessEventsFlag.AllEvents, 5)
        time.sleep(0.001)
    return (time.process_time() - start_cpu) / (time.monotonic() - start_wall)


def measure(kind, seconds):
    code = RUN.format(panel=str(PANEL), bench=str(pathlib.Path(__file__).parent), kind=kind, seconds=seconds)
    done = subprocess.run([sys.executable, "-c", code], capture_output=True, text=True, timeout=seconds * 10 + 60)
    if done.returncode != 0:
        raise RuntimeError(f"{kind} run failed: {done.stderr}")
    return json.loads(done.stdout.strip().splitlines()[-1])


def main():
    seconds = float(sys.argv[1]) if len(sys.argv) > 1 else 5
    runs = int(sys.argv[2]) if len(sys.argv) > 2 else 3
    kinds = ["sip", "python"]
    try:
        import pyqtgraph  # noqa: F401
        kinds.append("pyqtgraph")
    except ImportError:
        print("pyqtgraph does not import: its panel is left out")
    cpu = {kind: [] for kind in kinds}
    for _ in range(runs):
        for kind in kinds:
            cpu[kind].append(measure(kind, seconds))
    names = {"sip": "kyv.qt widgets (SIP)", "python": "kyv.widgets (Python)", "pyqtgraph": "pyqtgraph"}
    for kind in kinds:
        print(f"{names[kind]:22} {statistics.median(cpu[kind]):.3f} CPU s/s  (runs: "
              f"{', '.join(f'{c:.3f}' for c in cpu[kind])})")
    print(f"ratio Python widgets / SIP widgets {statistics.median(cpu['python']) / statistics.median(cpu['sip']):.2f}")


if __name__ == "__main__":
    main()
