"""The Python examples run as the README shows them."""
import ast
import json
import os
import pathlib
import subprocess
import sys

from required import need

import kyv

EXAMPLES = pathlib.Path(__file__).resolve().parents[2] / "examples" / "python"


def run(args, tmp_path):
    package_dir = str(pathlib.Path(kyv.__file__).resolve().parents[1])
    env = dict(os.environ, QT_QPA_PLATFORM="offscreen", PYTHONPATH=package_dir)
    return subprocess.run([sys.executable, *args], cwd=tmp_path, env=env, capture_output=True, text=True, timeout=120)


def test_the_headless_script_writes_pictures(tmp_path):
    done = run([str(EXAMPLES / "status_png.py"), str(tmp_path)], tmp_path)
    assert done.returncode == 0, done.stderr
    assert "above the threshold" in done.stdout
    for name in ("bar.png", "count.png"):
        assert (tmp_path / name).read_bytes().startswith(b"\x89PNG")


def test_the_threaded_window_shows_fed_widgets(tmp_path):
    need("PyQt6.QtWidgets")
    need("kyv.qt")
    shot = tmp_path / "window.png"
    done = run([str(EXAMPLES / "threaded_window.py"), "--screenshot", str(shot)], tmp_path)
    assert done.returncode == 0, done.stderr
    assert shot.read_bytes().startswith(b"\x89PNG")


def test_the_notebook_cells_run_and_show_controls(capsys):
    notebook = json.loads((EXAMPLES / "kyv_notebook.ipynb").read_text())
    assert notebook["nbformat"] == 4
    scope = {}
    shown = []
    for cell in notebook["cells"]:
        if cell["cell_type"] != "code":
            continue
        # As a notebook runs a cell: the value of a last expression is shown.
        tree = ast.parse("".join(cell["source"]))
        last = tree.body.pop() if tree.body and isinstance(tree.body[-1], ast.Expr) else None
        exec(compile(tree, "cell", "exec"), scope)
        value = eval(compile(ast.Expression(last.value), "cell", "eval"), scope) if last else None
        if hasattr(value, "_repr_png_"):
            shown.append(value._repr_png_())
    assert len(shown) == 2 and all(png.startswith(b"\x89PNG") for png in shown)


def test_the_trace_panel_runs_with_the_python_widgets_without_the_sip_module(tmp_path):
    need("PyQt6.QtWidgets")
    shot = tmp_path / "panel.png"
    prelude = "import sys, runpy; sys.modules['kyv._qt'] = None; sys.argv = sys.argv[1:]; "
    done = run(["-c", prelude + "runpy.run_path(sys.argv[0], run_name='__main__')", str(EXAMPLES / "trace_panel.py"),
                "--widgets", "python", "--seconds", "0.5", "--screenshot", str(shot)], tmp_path)
    assert done.returncode == 0, done.stderr
    assert "python widgets:" in done.stdout
    from PyQt6 import QtGui
    picture = QtGui.QImage(str(shot))
    colours = {picture.pixel(x, y) for x in range(0, picture.width(), 5) for y in range(0, picture.height(), 5)}
    assert picture.width() > 400 and len(colours) > 20  # 20 traces of their own colours over their grids
