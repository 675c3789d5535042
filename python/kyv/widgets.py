"""Kyv's typed widgets written in Python over the core, for PyQt6 or PySide6.

    from PyQt6.QtWidgets import QApplication       # or PySide6
    import kyv.widgets
    app = QApplication([])
    bar = kyv.widgets.KyvvstatWidget()
    bar.setMaxlimit(200)
    bar.maxThreshReached.connect(lambda: print("high"))
    bar.incbar(150)          # False, and errorOccurred(member, kind, message), when refused

They offer what kyv.qt's widgets offer, with whichever binding the program uses (the one
already imported, else QT_API's choice, else PyQt6, else PySide6) and the Qt that binding
brings, so a PyQt6 or PySide6 from pip works in any venv. A widget class is made at import
for every class the registry holds, from its class table, named as the class with a
capital first letter and "Widget" (KyvvstatWidget, SsegWidget, HeartBeatWidget, ...):

  - properties: a getter NAME(), a setter setNAME(value) and a reset resetNAME() per
    property of the control, a NAMEChanged signal, and property(NAME)/setProperty(NAME,
    value). Writes never raise for a value the control refuses: errorOccurred(member, kind,
    message) says why, and the property keeps its value. Colour getters give the QColor
    shown; colour setters take a QColor, "#rrggbb", (r, g, b), kyv.Color or its int
    (0x00BBGGRR), and writing the colour a system colour shows keeps the system colour.
  - feed slots: one per method of the control (incbar, send, Plot, MoveBar, Column,
    Value), taking an int and giving True, or False and errorOccurred for a value the control
    refuses. A feed slot called from another thread is queued to the widget's thread and
    gives True at once; every other call of the widget's own from another thread raises
    RuntimeError naming the thread that owns it.
  - signals: one per event of the control, named in lowerCamel case (maxThreshReached,
    normalOPs), and eventRaised(name, number), propertyChanged(name), errorOccurred.
  - size hints: sizeHint() is the control's design extent, minimumSizeHint() the smallest
    extent its class lays out; the widget never lays the control out below it, showing the
    part that fits instead.
  - palettes: system colours resolve through the widget's own QPalette (a dark palette
    gives a dark control), but a face whose class default is a text colour (the digits', the
    trace's) keeps the dark colour it shows under the classic light palette.
  - keepReadingOnResize: off, a resize lays the control out as its own rule says (which
    empties the bars, digits and trace); on, the widget feeds it its recent readings again
    (the last 4096 feed calls). The layouts before the widget is first shown keep what was
    fed before them either way.

kyv.widgets.QtCore, QtGui and QtWidgets are the binding's modules, and API its name.

The widget paints the control into a QImage once, then only what each change damaged, and
repaints only those pixels. kyv.qt's widgets (SIP, for Designer and uic.loadUi on the
system's PyQt6) stay as they are; these need no compiled Qt module of Kyv's own.
"""

import collections
import math
import threading

from . import Color, Error, class_of, classes
from ._binding import API, QtCore, QtGui, QtWidgets, Signal, Slot, image_bits, require_owning_thread

TWIPS_PER_PIXEL = 15.0
REPLAYED = 4096  # feed calls kept for keepReadingOnResize

_Role, _Group = QtGui.QPalette.ColorRole, QtGui.QPalette.ColorGroup
# Where each system colour 0x800000nn comes from in a QPalette, by entry number, as the Qt
# adapter's widgets take it.
PALETTE_SOURCES = (
    (_Group.Active, _Role.Button), (_Group.Active, _Role.Window), (_Group.Active, _Role.Highlight),
    (_Group.Inactive, _Role.Highlight), (_Group.Active, _Role.Window), (_Group.Active, _Role.Base),
    (_Group.Active, _Role.Dark), (_Group.Active, _Role.WindowText), (_Group.Active, _Role.Text),
    (_Group.Active, _Role.HighlightedText), (_Group.Active, _Role.Mid), (_Group.Active, _Role.Window),
    (_Group.Active, _Role.Dark), (_Group.Active, _Role.Highlight), (_Group.Active, _Role.HighlightedText),
    (_Group.Active, _Role.Button), (_Group.Active, _Role.Mid), (_Group.Disabled, _Role.Text),
    (_Group.Active, _Role.ButtonText), (_Group.Inactive, _Role.HighlightedText), (_Group.Active, _Role.Light),
    (_Group.Active, _Role.Shadow), (_Group.Active, _Role.Midlight), (_Group.Active, _Role.ToolTipText),
    (_Group.Active, _Role.ToolTipBase), (_Group.Active, _Role.Mid), (_Group.Active, _Role.Link),
    (_Group.Active, _Role.Highlight), (_Group.Inactive, _Role.Highlight), (_Group.Active, _Role.Highlight),
    (_Group.Active, _Role.Window),
)
# The system colours of text: a face whose class default is one of them stays dark.
TEXT_COLOURS = {7, 8, 9, 14, 17, 18, 19, 23}
_CINT_MIN, _CINT_MAX = -2 ** 31, 2 ** 31 - 1


def system_colours(palette):
    """The 31 system colours (0x00BBGGRR) of a QPalette."""
    return [int(Color(palette.color(group, role))) for group, role in PALETTE_SOURCES]


def _slot_int(value):
    """A feed slot's argument as the int a Qt slot takes: TypeError for what is not a whole
    number, OverflowError for one beyond a C int."""
    if not isinstance(value, int) and not hasattr(type(value), "__index__"):
        raise TypeError(f"a feed slot takes an int, not {type(value).__name__}")
    number = int(value) if isinstance(value, bool) else value.__index__()
    if not _CINT_MIN <= number <= _CINT_MAX:
        raise OverflowError(f"{number} does not fit a C int")
    return number


def _lower_camel(name):
    return name[:1].lower() + name[1:]


class TypedWidget(QtWidgets.QWidget):
    """What every Python Kyv widget offers; each control class gets a subclass of its own."""

    errorOccurred = Signal(str, str, str)
    eventRaised = Signal(str, int)
    propertyChanged = Signal(str)
    keepReadingOnResizeChanged = Signal()
    _queued = Signal(object)  # a feed call made in another thread: (slot name, value)

    _class_name = None
    _properties = {}  # property name -> member description
    _stored = {}      # folded stored key -> class default

    def __init__(self, parent=None):
        super().__init__(parent)
        self._control = class_of(self._class_name)()
        info = self._control._info
        self._design = self._control.size
        mw, mh = info["minimum_extent"]
        self._minimum = (min(self._design[0], math.ceil(mw / TWIPS_PER_PIXEL)),
                         min(self._design[1], math.ceil(mh / TWIPS_PER_PIXEL)))
        # A QWidget lives in the thread that made it (the GUI thread): feeds from any other
        # are queued there.
        self._thread = threading.get_ident()
        self._image = QtGui.QImage()
        self._target = None        # the image's bits, size, stride and twips a pixel
        self._painted_with = None  # (size, ratio, palette) of the image's last full paint
        self._colours = system_colours(self.palette())
        self._colours_key = tuple(self._colours)
        self._replay = collections.deque(maxlen=REPLAYED)
        self._keep = False
        self._shown = False
        # Readings fed again after a layout are no new readings: no signal is emitted for them.
        # (Not blockSignals, which would also drop the feeds other threads queue meanwhile.)
        self._replaying = False
        self._queued.connect(self._run_queued, QtCore.Qt.ConnectionType.QueuedConnection)
        for event in info["events"]:
            self._control.on(event["name"], self._heard(event["name"], event["number"]))
        self._keep_face_dark()
        self.setSizePolicy(QtWidgets.QSizePolicy.Policy.Preferred, QtWidgets.QSizePolicy.Policy.Preferred)
        self.setAttribute(QtCore.Qt.WidgetAttribute.WA_OpaquePaintEvent, False)

    # The control's events as signals.
    def _heard(self, name, number):
        signal_name = _lower_camel(name)

        def emit():
            if self._replaying:
                return
            signal = getattr(self, signal_name, None)
            if signal is not None:
                signal.emit()
            self.eventRaised.emit(name, number)
        return emit

    def _report(self, member, error):
        kind = error.kind if isinstance(error, Error) else "error"
        self.errorOccurred.emit(member, kind, getattr(error, "message", str(error)))

    def _keep_face_dark(self):
        default = self._stored.get("backcolor")
        if default is None or not Color(default).is_system or int(default) & 0xFF not in TEXT_COLOURS:
            return
        self._control.BackColor = Color(default).resolved()

    # Sizes
    def sizeHint(self):
        return QtCore.QSize(*self._design)

    def minimumSizeHint(self):
        return QtCore.QSize(*self._minimum)

    def resizeEvent(self, event):
        super().resizeEvent(event)
        size = event.size()
        width, height = max(size.width(), self._minimum[0]), max(size.height(), self._minimum[1])
        if (width, height) == self._control.size:
            return
        try:
            self._control.resize(width, height)
        except Error as error:
            self._report("Resize", error)
        self._laid_out()

    def showEvent(self, event):
        super().showEvent(event)
        self._shown = True

    def _laid_out(self):
        """After the control laid itself out: its recent readings shown again, or forgotten."""
        if self._keep or not self._shown:
            self._replay_readings()
        else:
            self._replay.clear()
        self.update()

    def _replay_readings(self):
        self._replaying = True
        failure = None
        try:
            for name, value in list(self._replay):
                try:
                    getattr(self._control, name)(value)
                except Error as error:
                    failure = error
                    break
        finally:
            self._replaying = False
        if failure is not None:
            self._report("Resize", failure)

    # keepReadingOnResize, as kyv.qt's widgets have it.
    def keepReadingOnResize(self):
        require_owning_thread(self, "keepReadingOnResize")
        return self._keep

    def setKeepReadingOnResize(self, keep):
        require_owning_thread(self, "setKeepReadingOnResize")
        if bool(keep) != self._keep:
            self._keep = bool(keep)
            self.keepReadingOnResizeChanged.emit()

    def resetKeepReadingOnResize(self):
        self.setKeepReadingOnResize(False)

    # Painting: the control's picture kept in a QImage, repainted where it changed.
    def _shown_colour(self, stored):
        colour = Color(stored)
        if colour.is_system:
            index = int(colour) & 0xFF
            colour = Color(self._colours[index] if index < len(self._colours) else 0)
        return QtGui.QColor(colour.red, colour.green, colour.blue)

    def changeEvent(self, event):
        super().changeEvent(event)
        if event.type() == QtCore.QEvent.Type.PaletteChange:
            self._colours = system_colours(self.palette())
            self._colours_key = tuple(self._colours)
            self.update()

    def _refresh(self):
        """Brings the image up to date: made and painted anew for a new size, pixel ratio or
        palette, else only the control's damage painted into it."""
        ratio = self.devicePixelRatioF()
        key = (self._control.extent, ratio, self._colours_key)
        whole = key != self._painted_with
        if whole:
            width, height = key[0]
            size = (max(1, math.ceil(width / TWIPS_PER_PIXEL * ratio)),
                    max(1, math.ceil(height / TWIPS_PER_PIXEL * ratio)))
            self._image = QtGui.QImage(size[0], size[1], QtGui.QImage.Format.Format_ARGB32_Premultiplied)
            self._image.fill(0)
            self._image.setDevicePixelRatio(ratio)
            self._target = (image_bits(self._image), size[0], size[1], self._image.bytesPerLine(),
                            TWIPS_PER_PIXEL / ratio)
            self._painted_with = key
        bits, width, height, stride, twips_per_pixel = self._target
        self._control._paint_buffer(bits, width, height, stride, twips_per_pixel, not whole, self._colours)

    def paintEvent(self, event):
        try:
            self._refresh()
        except Error as error:
            self._report("Paint", error)
            return
        exposed = event.rect()
        painter = QtGui.QPainter(self)
        ratio = self._image.devicePixelRatio()
        if ratio == 1:
            painter.drawImage(exposed.topLeft(), self._image, exposed)
        else:
            source = QtCore.QRectF(exposed.x() * ratio, exposed.y() * ratio, exposed.width() * ratio,
                                   exposed.height() * ratio)
            painter.drawImage(QtCore.QRectF(exposed), self._image, source)
        painter.end()

    def _show_damage(self):
        ratio = self.devicePixelRatioF()
        for x0, y0, x1, y1 in self._control._damage():
            left, top = math.floor(x0 / ratio), math.floor(y0 / ratio)
            self.update(left, top, math.ceil(x1 / ratio) - left, math.ceil(y1 / ratio) - top)

    # Feeds and property access, made per class.
    def _run_queued(self, call):
        name, value = call
        getattr(self, name)(value)

    def _feed(self, name, value):
        try:
            getattr(self._control, name)(value)
        except Error as error:
            self._report(name, error)
            return False
        self._replay.append((name, value))
        self._show_damage()
        return True

    def _read(self, name, kind):
        try:
            value = getattr(self._control, name)
        except Error:
            return {"Colour": QtGui.QColor(), "Boolean": False}.get(kind, 0)
        if kind == "Colour":
            return self._shown_colour(value)
        return value

    def _written(self, member, value):
        """`value` as the control stores it, for property `member`."""
        kind = member["type"]
        if kind == "Colour":
            colour = Color(value)
            stored = self._control._get(self._properties[member["name"]][0])
            if Color(stored).is_system and self._shown_colour(stored) == self._shown_colour(colour):
                return stored
            return colour
        if kind == "Boolean":
            return bool(value)
        return _slot_int(value)

    def _write(self, member, value, stored=False):
        """Writes a property: a value of a wrong type raises TypeError or ValueError, as a
        Qt setter's argument would; one the control refuses is reported."""
        name = member["name"]
        before = getattr(self._control, name)
        written = value if stored else self._written(member, value)
        try:
            setattr(self._control, name, written)
        except Error as error:
            self._report(name, error)
            return
        if getattr(self._control, name) == before:
            return
        getattr(self, name + "Changed").emit()
        self.propertyChanged.emit(name)
        if member["layout"]:
            self._control.resize(*self._control.size)
            self._laid_out()
        self._show_damage()

    def _reset(self, member):
        default = self._stored.get(member["name"].lower())
        if default is None:
            self.errorOccurred.emit(member["name"], "no-such-member",
                                    f"Object doesn't support this action: {member['name']} has no class default")
            return
        self._write(member, default, stored=True)

    def property(self, name):
        entry = self._properties.get(name)
        if entry is None:
            return super().property(name)
        require_owning_thread(self, "property")
        return self._read(name, entry[1]["type"])

    def setProperty(self, name, value):
        entry = self._properties.get(name)
        if entry is None:
            return super().setProperty(name, value)
        require_owning_thread(self, "setProperty")
        self._write(entry[1], value)
        return True


def _feed_slot(name):
    def feed(self, value):
        if threading.get_ident() != self._thread:
            self._queued.emit((name, value))
            return True
        return self._feed(name, _slot_int(value))
    feed.__name__ = feed.__qualname__ = name
    feed.__doc__ = f"Feeds the control's {name}: True, or False and errorOccurred when it refuses the value."
    return Slot(int, result=bool)(feed)


def _accessors(member):
    name, kind = member["name"], member["type"]

    def get(self):
        require_owning_thread(self, name)
        return self._read(name, kind)

    def set_(self, value):
        require_owning_thread(self, "set" + name)
        self._write(member, value)

    def reset(self):
        require_owning_thread(self, "reset" + name)
        self._reset(member)

    for function, prefix in ((get, ""), (set_, "set"), (reset, "reset")):
        function.__name__ = function.__qualname__ = prefix + name
    get.__doc__ = f"{kind}. {member['help']}"
    return {name: get, "set" + name: set_, "reset" + name: reset, name + "Changed": Signal()}


def widget_class(control_class):
    """The Python widget class of a typed control class (kyv.Kyvvstat, ...)."""
    info = control_class._info
    short = control_class.__name__
    namespace = {
        "__doc__": f"{info['class_name']} as a Qt widget ({API}).\n\n{control_class.__doc__}",
        "__module__": __name__,
        "_class_name": info["class_name"],
        "_properties": {m["name"]: (i, m) for i, m in enumerate(info["members"]) if m["kind"] == "property"},
        "_stored": {s["key"].lower(): s["default"] for s in info["stored"]},
    }
    for member in info["members"]:
        if member["kind"] == "property":
            namespace.update(_accessors(member))
        elif member["arg_type"]:
            namespace[member["name"]] = _feed_slot(member["name"])
    for event in info["events"]:
        namespace[_lower_camel(event["name"])] = Signal()
    return type(short[:1].upper() + short[1:] + "Widget", (TypedWidget,), namespace)


WIDGETS = tuple(widget_class(class_of(name)) for name in classes())
globals().update({cls.__name__: cls for cls in WIDGETS})

__all__ = ["TypedWidget", "WIDGETS", "API", "system_colours", "widget_class"] + [cls.__name__ for cls in WIDGETS]
