"""Writes the kyv package's type stubs: __init__.pyi (its functions and exceptions, a typed
class per registered control class with its properties and methods, and kyv.create typed by
class name) and widgets.pyi (kyv.widgets' widget classes), taken from the class tables
through the package itself."""

import pathlib
import sys

import kyv

PYTHON_TYPES = {"Integer": "int", "Long": "int", "Single": "float", "Double": "float", "Boolean": "bool",
                "Colour": "Color", "String": "str", "Variant": "Any", "Empty": "None"}
# What a property's setter takes, where it takes more than its getter gives.
WRITTEN_TYPES = {"Colour": "_ColorLike", "Single": "float", "Double": "float"}

HEADER = """\"\"\"Type stubs of the kyv package, written from the class tables of the registered controls.\"\"\"
from os import PathLike
from types import TracebackType
from typing import Any, Callable, Generic, Iterable, Literal, Mapping, Sequence, TypeVar, overload

import numpy
import numpy.typing

_Handler = TypeVar("_Handler", bound=Callable[..., object])
_Bag = Sequence[tuple[str, Any]] | Mapping[str, Any] | str | None
_Rect = tuple[int, int, int, int]
_Get = TypeVar("_Get")
_Set = TypeVar("_Set", contravariant=True)

TWIPS_PER_PIXEL: float
__version__: str

class Color(int):
    def __new__(cls, value: _ColorLike = ...) -> Color: ...
    @classmethod
    def rgb(cls, red: int, green: int, blue: int) -> Color: ...
    @classmethod
    def system(cls, index: int) -> Color: ...
    @property
    def is_system(self) -> bool: ...
    def resolved(self) -> Color: ...
    @property
    def red(self) -> int: ...
    @property
    def green(self) -> int: ...
    @property
    def blue(self) -> int: ...
    @property
    def hex(self) -> str: ...

_ColorLike = Color | int | str | tuple[int, int, int] | list[int]

class _Property(Generic[_Get, _Set]):
    \"\"\"A control's property: reads give _Get, writes take _Set.\"\"\"
    @overload
    def __get__(self, obj: None, owner: Any) -> _Property[_Get, _Set]: ...
    @overload
    def __get__(self, obj: object, owner: Any) -> _Get: ...
    def __set__(self, obj: object, value: _Set) -> None: ...

class Error(Exception):
    message: str
    kind: str
    number: int
    member: str
    def __init__(self, message: str, kind: str | None = ..., number: int | None = ..., member: str = ...) -> None: ...
class Overflow(Error, OverflowError): ...
class SubscriptOutOfRange(Error, IndexError): ...
class DivisionByZero(Error, ZeroDivisionError): ...
class TypeMismatch(Error, TypeError): ...
class InvalidPropertyValue(Error, ValueError): ...
class CannotCreateObject(Error): ...
class NoSuchMember(Error, AttributeError): ...

class Ref:
    value: Any
    def __init__(self, value: Any) -> None: ...

class Control:
    @property
    def closed(self) -> bool: ...
    @property
    def extent(self) -> tuple[float, float]: ...
    @property
    def size(self) -> tuple[int, int]: ...
    def __init__(self, width: float | None = ..., height: float | None = ..., *, twips: bool = ...,
                 bag: _Bag = ..., registry: Any = ..., class_name: str | None = ..., **properties: Any) -> None: ...
    def __enter__(self: _Self) -> _Self: ...
    def __exit__(self, kind: type[BaseException] | None, error: BaseException | None,
                 traceback: TracebackType | None) -> Literal[False]: ...
    @overload
    def on(self, event: str, handler: _Handler) -> _Handler: ...
    @overload
    def on(self, event: str) -> Callable[[_Handler], _Handler]: ...
    def off(self, event: str, handler: Callable[..., object] | None = ...) -> None: ...
    def resize(self, width: float, height: float, *, twips: bool = ...) -> None: ...
    def to_png(self, scale: float = ...) -> bytes: ...
    def save(self, path: str | PathLike[str], scale: float = ...) -> None: ...
    def to_array(self, scale: float = ..., order: Literal["RGBA", "BGRA"] = ...) -> numpy.typing.NDArray[numpy.uint8]: ...
    def paint(self, pixels: numpy.typing.NDArray[numpy.uint8], only_damage: bool = ..., scale: float = ...) -> list[_Rect]: ...
    def damage(self) -> list[_Rect]: ...
    def save_properties(self, format: Literal["pairs", "json"] = ...) -> Any: ...
    def close(self) -> None: ...

_Self = TypeVar("_Self", bound=Control)

def classes() -> list[str]: ...
def load_form(source: str | bytes | PathLike[str]) -> dict[str, Control]: ...
def save_form(controls: Mapping[str, Control] | Iterable[tuple[str, Control]], path: str | PathLike[str] | None = ...) -> str: ...
def bag_to_json(pairs: _Bag) -> str: ...
def bag_from_json(text: str) -> list[tuple[str, Any]]: ...
def default_registry() -> Any: ...
def use_registry(registration_file: str | PathLike[str]) -> Any: ...
def system_palette() -> list[Color]: ...
def set_system_palette(colours: Iterable[_ColorLike]) -> None: ...
"""

# kyv.create, kyv.class_of and kyv.restore: one overload per class name, then any name.
FACTORIES = {
    "create": ("def create(class_name: {name}, width: float | None = ..., height: float | None = ..., *, "
               "twips: bool = ..., **properties: Any) -> {result}: ...", "{short}", "Control"),
    "class_of": ("def class_of(class_name: {name}) -> {result}: ...", "type[{short}]", "type[Control]"),
    "restore": ("def restore(class_name: {name}, bag: _Bag, width: float | None = ..., height: float | None = ..., "
                "*, twips: bool = ...) -> {result}: ...", "{short}", "Control"),
}


def factories(classes):
    lines = []
    for shape, typed, fallback in FACTORIES.values():
        for cls in classes:
            lines += ["@overload", shape.format(name=f"Literal[{cls._class_name!r}]",
                                                result=typed.format(short=cls.__name__))]
        lines += ["@overload", shape.format(name="str", result=fallback)]
    return "\n".join(lines) + "\n"


def read_type(member):
    return PYTHON_TYPES[member["type"]]


def written_type(member):
    return WRITTEN_TYPES.get(member["type"], read_type(member))


def typed_class(cls):
    members = cls._info["members"]
    properties = [m for m in members if m["kind"] == "property"]
    keywords = "".join(f", {m['name']}: {written_type(m)} = ..." for m in properties)
    lines = [f"class {cls.__name__}(Control):", f'    """{cls._class_name}"""',
             f"    def __init__(self, width: float | None = ..., height: float | None = ..., *, twips: bool = ..., "
             f"bag: _Bag = ..., registry: Any = ...{keywords}) -> None: ..."]
    for member in members:
        name, result = member["name"], read_type(member)
        if member["kind"] == "property":
            lines.append(f"    {name}: _Property[{result}, {written_type(member)}]")
        elif member["arg_type"]:
            lines.append(f"    def {name}(self, value: {PYTHON_TYPES[member['arg_type']]} | Ref) -> {result}: ...")
        else:
            lines.append(f"    def {name}(self) -> {result}: ...")
    return "\n".join(lines) + "\n"


WIDGETS_HEADER = """\"\"\"Type stubs of kyv.widgets, written from the class tables (typed against PyQt6).\"\"\"
from typing import Any, ClassVar

from PyQt6 import QtCore as QtCore, QtGui as QtGui, QtWidgets as QtWidgets

from . import Color, Control

_ColourArgument = QtGui.QColor | Color | int | str | tuple[int, int, int]

API: str
REPLAYED: int

def system_colours(palette: QtGui.QPalette) -> list[int]: ...
def widget_class(control_class: type[Control]) -> type[TypedWidget]: ...

class TypedWidget(QtWidgets.QWidget):
    errorOccurred: ClassVar[QtCore.pyqtSignal]
    eventRaised: ClassVar[QtCore.pyqtSignal]
    propertyChanged: ClassVar[QtCore.pyqtSignal]
    keepReadingOnResizeChanged: ClassVar[QtCore.pyqtSignal]
    def __init__(self, parent: QtWidgets.QWidget | None = ...) -> None: ...
    def keepReadingOnResize(self) -> bool: ...
    def setKeepReadingOnResize(self, keep: bool) -> None: ...
    def resetKeepReadingOnResize(self) -> None: ...
"""

WIDGET_TYPES = {"Integer": ("int", "int"), "Long": ("int", "int"), "Boolean": ("bool", "bool"),
                "Colour": ("QtGui.QColor", "_ColourArgument")}


def widget_name(cls):
    return cls.__name__[:1].upper() + cls.__name__[1:] + "Widget"


def widget_class(cls):
    info = cls._info
    lines = [f"class {widget_name(cls)}(TypedWidget):"]
    for member in info["members"]:
        name = member["name"]
        if member["kind"] == "property":
            read, written = WIDGET_TYPES.get(member["type"], ("Any", "Any"))
            lines += [f"    def {name}(self) -> {read}: ...", f"    def set{name}(self, value: {written}) -> None: ...",
                      f"    def reset{name}(self) -> None: ...", f"    {name}Changed: ClassVar[QtCore.pyqtSignal]"]
        elif member["arg_type"]:
            lines.append(f"    def {name}(self, value: int) -> bool: ...")
    for event in info["events"]:
        lines.append(f"    {event['name'][:1].lower() + event['name'][1:]}: ClassVar[QtCore.pyqtSignal]")
    return "\n".join(lines) + "\n"


def main(out):
    classes = sorted({cls for cls in kyv._classes.values()}, key=lambda c: c.__name__)
    if not classes:
        sys.exit("make_stubs: the registry lists no control class")
    with open(out, "w", encoding="utf-8") as f:
        f.write(HEADER + "\n" + "\n".join(typed_class(cls) for cls in classes) + "\n" + factories(classes))
    widgets = "\n".join(widget_class(cls) for cls in classes)
    with open(pathlib.Path(out).with_name("widgets.pyi"), "w", encoding="utf-8") as f:
        f.write(WIDGETS_HEADER + "\n" + widgets + "\nWIDGETS: tuple[type[TypedWidget], ...]\n")


if __name__ == "__main__":
    main(sys.argv[1])
