"""kyv.Color: a colour as the controls store it, written and read the Python way."""

import operator
import re

_HEX = re.compile(r"#([0-9a-fA-F]{6})")
_SYSTEM = 0x80000000


def _channel(value):
    if isinstance(value, bool) or not isinstance(value, int):
        raise TypeError(f"a colour's channel is an int from 0 to 255, not {type(value).__name__}")
    if not 0 <= value <= 255:
        raise ValueError(f"a colour's channel is from 0 to 255, not {value}")
    return value


def _bits(value):
    """The stored bits of a colour given any way kyv.Color takes one."""
    if isinstance(value, bool):
        raise TypeError("a bool is not a colour")
    if not isinstance(value, int) and hasattr(type(value), "__index__"):  # NumPy's integers
        value = operator.index(value)
    if isinstance(value, int):
        if not 0 <= value <= 0xFFFFFFFF:
            raise ValueError(f"{value:#x} is not a colour's stored value (0x00BBGGRR or 0x800000nn)")
        return value
    if isinstance(value, str):
        found = _HEX.fullmatch(value.strip())
        if not found:
            raise ValueError(f"{value!r} is not a colour: write it as '#rrggbb'")
        rgb = int(found.group(1), 16)
        return ((rgb & 0xFF) << 16) | (rgb & 0xFF00) | (rgb >> 16)
    if isinstance(value, (tuple, list)):
        if len(value) != 3:
            raise ValueError(f"a colour is (red, green, blue), not {len(value)} numbers")
        red, green, blue = (_channel(v) for v in value)
        return red | (green << 8) | (blue << 16)
    if all(callable(getattr(value, name, None)) for name in ("red", "green", "blue", "isValid")):  # a QColor
        if not value.isValid():
            raise ValueError("an invalid QColor is no colour")
        return value.red() | (value.green() << 8) | (value.blue() << 16)
    raise TypeError(f"{type(value).__name__} is not a colour: give '#rrggbb', (r, g, b) or kyv.Color")


class Color(int):
    """A colour as Kyv's controls store it: the int 0x00BBGGRR for a plain colour, or
    0x800000nn for system colour nn (resolved through the system palette, or the Qt
    widget's palette, when painted).

        kyv.Color("#ff0000") == kyv.Color((255, 0, 0)) == kyv.Color.rgb(255, 0, 0)
        kyv.Color(0x0000FF).hex == "#ff0000"          # an int is the stored value
        kyv.Color.system(15)                          # the button face

    Every colour property takes a kyv.Color, "#rrggbb", (r, g, b), the stored int, or a
    QColor where Qt is involved; colour properties of controls read back as kyv.Color, which
    is an int, so code that compares with the stored value keeps working.
    """

    __slots__ = ()

    def __new__(cls, value=0):
        return super().__new__(cls, _bits(value))

    @classmethod
    def rgb(cls, red, green, blue):
        """The plain colour of these channels, each 0 to 255."""
        return cls((red, green, blue))

    @classmethod
    def system(cls, index):
        """System colour `index` (0 to 30: 15 the button face, 5 the window, ...)."""
        if isinstance(index, bool) or not isinstance(index, int) or not 0 <= index <= 30:
            raise ValueError(f"a system colour is numbered 0 to 30, not {index!r}")
        return cls(_SYSTEM | index)

    @property
    def is_system(self):
        """Whether this is a system colour, which the palette resolves when painted."""
        return bool(self & _SYSTEM)

    def resolved(self):
        """The plain colour shown: a system colour through kyv.system_palette(), else itself."""
        if not self.is_system:
            return self
        from . import _kyv
        palette = _kyv.system_palette()
        index = int(self) & 0xFF
        return Color(palette[index] if index < len(palette) else 0)

    @property
    def red(self):
        return int(self.resolved()) & 0xFF

    @property
    def green(self):
        return (int(self.resolved()) >> 8) & 0xFF

    @property
    def blue(self):
        return (int(self.resolved()) >> 16) & 0xFF

    @property
    def hex(self):
        """"#rrggbb": the colour shown (a system colour resolved through the system palette)."""
        return f"#{self.red:02x}{self.green:02x}{self.blue:02x}"

    def __repr__(self):
        if self.is_system:
            return f"kyv.Color.system({int(self) & 0xFF})"
        return f"kyv.Color({self.hex!r})"

    __str__ = __repr__

    def __reduce__(self):
        return (Color, (int(self),))
