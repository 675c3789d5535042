"""The README's Python section runs as printed (the window's event loop replaced by one pass)."""
import os
import pathlib
import re
import subprocess
import sys
import textwrap

from required import need

import kyv

README = pathlib.Path(__file__).resolve().parents[2] / "README.md"
PACKAGE_DIR = str(pathlib.Path(kyv.__file__).resolve().parents[1])


def python_section():
    text = README.read_text()
    return text[text.index("## Kyv from Python\n"):text.index("\n## ", text.index("## Kyv from Python\n") + 1)]


def python_blocks():
    return re.findall(r"```python\n(.*?)```", python_section(), re.S)


def test_the_section_starts_with_pip_install_and_the_check_runs(tmp_path):
    first = re.search(r"```(\w+)\n(.*?)```", python_section(), re.S)
    lines = first.group(2).strip().splitlines()
    assert first.group(1) == "sh" and lines[0] == "pip install --no-build-isolation ."
    check = re.fullmatch(r'cd /tmp && python -c "(.*)"', lines[1]).group(1)
    env = dict(os.environ, PYTHONPATH=PACKAGE_DIR)
    done = subprocess.run([sys.executable, "-c", check], cwd=tmp_path, env=env, capture_output=True, text=True)
    assert done.returncode == 0, done.stderr
    assert done.stdout.strip() == kyv.__version__


def test_the_three_line_script(tmp_path, monkeypatch):
    monkeypatch.chdir(tmp_path)
    script = python_blocks()[0]
    assert len(script.strip().splitlines()) == 3
    exec(script, {})
    assert (tmp_path / "bar.png").read_bytes().startswith(b"\x89PNG")


WINDOW_CHECK = '''
window, tank = scope["window"], scope["tank"]
assert window.palette().window().color().lightness() < 64
image = tank.grab().toImage()
# The empty part of the bar shows the palette's dark button face.
assert image.pixelColor(image.width() // 2, image.height() // 8).lightness() < 64
window.close()
'''


def test_the_dark_window_with_the_python_widgets_and_no_sip_module(tmp_path):
    need("PyQt6.QtWidgets")
    script = python_blocks()[1]
    assert len(script.strip().splitlines()) <= 12 and "app.exec()" in script and "import kyv.widgets" in script
    program = "import sys\nsys.modules['kyv._qt'] = None  # as where kyv.qt's module is not there\n" + \
        "scope = {}\nexec(" + repr(script.replace("app.exec()", "app.processEvents()")) + ", scope)\n" + \
        "import kyv.widgets\nassert 'kyv.qt' not in sys.modules and 'kyv._qt' in sys.modules\n" + WINDOW_CHECK
    env = dict(os.environ, PYTHONPATH=PACKAGE_DIR, QT_QPA_PLATFORM="offscreen")
    done = subprocess.run([sys.executable, "-c", program], cwd=tmp_path, env=env, capture_output=True, text=True,
                          timeout=120)
    assert done.returncode == 0, done.stderr
    assert done.stdout == "high\n"


def test_the_dark_window_with_kyv_qt(capsys):
    need("PyQt6.QtWidgets")
    need("kyv.qt")
    script = python_blocks()[1].replace("kyv.widgets", "kyv.qt")
    scope = {}
    exec(script.replace("app.exec()", "app.processEvents()"), scope)
    assert capsys.readouterr().out == "high\n"
    exec(textwrap.dedent(WINDOW_CHECK), {"scope": scope})
