#!/usr/bin/python3
"""Writes a status bar and a four-digit display, fed one reading, as PNG files; no display needed.

    PYTHONPATH=build/release/lib/python3/dist-packages examples/python/status_png.py [FOLDER]
"""
import pathlib
import sys

import kyv

folder = pathlib.Path(sys.argv[1] if len(sys.argv) > 1 else ".")
folder.mkdir(parents=True, exist_ok=True)

bar = kyv.Kyvvstat(width=31, height=236, Maxlimit=200, MaxThreshold=150)
bar.on("MaxThreshReached", lambda: print("above the threshold"))
bar.incbar(170)
bar.save(folder / "bar.png")

count = kyv.fourseg()
count.DisplayColor = "#ff0000"
count.send(1234)
(folder / "count.png").write_bytes(count.to_png(scale=2))
print("wrote", folder / "bar.png", "and", folder / "count.png")
