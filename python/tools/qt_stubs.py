"""Makes the _qt.pyi that sip-build writes one type checkers read whole: the classes' bases are
named as classes, not as strings (which pyright cannot follow, so that every inherited
member is Unknown); ControlWidget.create, which QWidget.create does not match, is marked as
the override it is; and colour setters take every colour kyv.qt reads ("#rrggbb",
(r, g, b), kyv.Color), not only a QColor.

    qt_stubs.py STUBS   (rewritten in place)
"""
import re
import sys


COLOUR = "typing.Union[QtGui.QColor, QtCore.Qt.GlobalColor, int]"
COLOUR_SPELLINGS = "typing.Union[QtGui.QColor, QtCore.Qt.GlobalColor, int, str, typing.Tuple[int, int, int]]"


def fixed(text):
    text = re.sub(rf"^(\s*def set\w+\(self, value: ){re.escape(COLOUR)}\)", rf"\1{COLOUR_SPELLINGS})", text,
                  flags=re.M)
    text = re.sub(r"^(\s*class \w+)\('([\w.]+)'\):", r"\1(\2):", text, flags=re.M)
    text, count = re.subn(r"^(\s*def create\(self, className: str\) -> bool: \.\.\.)$",
                          r"\1  # type: ignore[override]", text, flags=re.M)
    if count != 1:
        sys.exit("qt_stubs: ControlWidget.create not found in the stubs")
    return text


def main(path):
    with open(path, encoding="utf-8") as f:
        text = f.read()
    with open(path, "w", encoding="utf-8") as f:
        f.write(fixed(text))


if __name__ == "__main__":
    main(sys.argv[1])
