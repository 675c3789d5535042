"""The README's Python examples run as printed (the window's event loop replaced by one pass)."""
import pathlib
import re

from required import need

README = pathlib.Path(__file__).resolve().parents[2] / "README.md"


def python_blocks():
    return re.findall(r"```python\n(.*?)```", README.read_text(), re.S)


def test_the_three_line_script(tmp_path, monkeypatch):
    monkeypatch.chdir(tmp_path)
    script = python_blocks()[0]
    assert len(script.strip().splitlines()) == 3
    exec(script, {})
    assert (tmp_path / "bar.png").read_bytes().startswith(b"\x89PNG")


def test_the_dark_pyqt6_window(capsys):
    need("PyQt6.QtWidgets")
    need("kyv.qt")
    script = python_blocks()[1]
    assert len(script.strip().splitlines()) <= 12 and "app.exec()" in script
    scope = {}
    exec(script.replace("app.exec()", "app.processEvents()"), scope)
    assert capsys.readouterr().out == "high\n"
    window, tank = scope["window"], scope["tank"]
    assert window.palette().window().color().lightness() < 64
    image = tank.grab().toImage()
    # The empty part of the bar shows the palette's dark button face.
    assert image.pixelColor(image.width() // 2, image.height() // 8).lightness() < 64
    window.close()
