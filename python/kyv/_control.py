"""Control: what every Kyv control offers in Python, and the typed class of each control
class, made from the class's table when the package is imported."""

import inspect
import json
import math

from . import _kyv
from ._errors import InvalidPropertyValue, NoSuchMember

TWIPS_PER_PIXEL = _kyv.REFERENCE_TWIPS_PER_PIXEL


class Ref:
    """A by-reference argument: a method writes its result back into ``value``.

    >>> r = kyv.Ref(3); trace.Plot(r); r.value   # Plot gives back MaxLimit - 3
    """

    __slots__ = ("value",)

    def __init__(self, value):
        self.value = value

    def __repr__(self):
        return f"Ref({self.value!r})"


def _twips(width, height, twips):
    scale = 1 if twips else TWIPS_PER_PIXEL
    return (None if width is None else float(width) * scale, None if height is None else float(height) * scale)


def _twips_per_pixel(scale):
    """The renderer's twips per pixel for a picture `scale` times the control's pixel size."""
    if isinstance(scale, bool) or not isinstance(scale, (int, float)) and not hasattr(scale, "__float__"):
        raise TypeError(f"a scale is a number, not {type(scale).__name__}")
    value = float(scale)
    if not (value > 0 and math.isfinite(value)):
        raise InvalidPropertyValue(f"Invalid property value: a scale is a number above 0, not {scale!r}",
                                   member="Paint")
    return TWIPS_PER_PIXEL / value


def _handler_arguments(handler):
    """How many of (control, event name) `handler` takes: 2, 1 or 0, the most it accepts.
    A handler that can take neither none, one nor two arguments raises TypeError; one whose
    signature cannot be read is called with none."""
    try:
        signature = inspect.signature(handler)
    except (TypeError, ValueError):
        return 0
    for count in (2, 1, 0):
        try:
            signature.bind(*range(count))
        except TypeError:
            continue
        return count
    raise TypeError(f"an event handler takes no argument, the control, or the control and the event's name: "
                    f"{getattr(handler, '__qualname__', handler)!r} has the signature {signature}")


def bag_json(bag):
    """A bag given as pairs, a dict, a JSON document or None, as the framework's JSON."""
    if bag is None:
        return None
    if isinstance(bag, (bytes, bytearray)):
        bag = bag.decode("utf-8")
    if isinstance(bag, str):
        return _kyv.checked_bag(bag)
    pairs = list(bag.items()) if isinstance(bag, dict) else [tuple(pair) for pair in bag]
    for pair in pairs:
        if len(pair) != 2 or not isinstance(pair[0], str):
            raise TypeError(f"a property bag holds (key, value) pairs, not {pair!r}")
    return _kyv.checked_bag(json.dumps({"properties": pairs}))


class Control(_kyv.Control):
    """A Kyv control. Its typed subclass (kyv.Kyvvstat, ...) has the control's properties
    as attributes and its methods as methods; names match in any case.

    Threads: a control may be used from any thread, and calls on one control run one at a
    time (each takes the control's lock). Painting (to_png, to_array, save, paint) runs
    without the GIL, so other Python threads go on meanwhile. Event handlers run while the
    call that raised the event holds the lock (see on()).
    """

    _class_name = None
    _members = {}        # folded member name -> (index, member description)
    _events = {}         # folded event name -> (number, name)
    _event_names = {}    # event number -> name

    def __init__(self, width=None, height=None, *, twips=False, bag=None, registry=None, class_name=None,
                 **properties):
        """A new control, `width` x `height` pixels (twips with ``twips=True``; the class's
        default extent when not given), restored from `bag` (pairs, a dict or JSON text)
        or initialised with its defaults, then given `properties` in the order written:
        ``kyv.Kyvvstat(Maxlimit=200, FillColor="#00ff00")``."""
        from . import _registry
        name = class_name or self._class_name
        if name is None:
            raise TypeError("kyv.Control needs a class name: use kyv.create(class_name) or a typed class")
        w, h = _twips(width, height, twips)
        super().__init__(registry or _registry.default_registry(), name, w, h, bag_json(bag))
        object.__setattr__(self, "_handlers", {})
        if class_name is not None:
            object.__setattr__(self, "_class_name", name)
        try:
            self._set_properties(properties)
        except BaseException:
            self.close()
            raise

    def _set_properties(self, properties):
        for key, value in properties.items():
            entry = type(self)._members.get(key.lower())
            if entry is None or entry[1]["kind"] != "property":
                raise TypeError(f"{type(self).__name__}() got an unexpected keyword argument {key!r}: "
                                f"{self._class_name} has no property {key}")
            self._put(entry[0], value)

    # Members reached by name in any case; other attribute names are refused on the typed
    # classes themselves, so a misspelt property fails instead of being stored aside.
    def __getattr__(self, name):
        entry = type(self)._members.get(name.lower())
        if entry is None or name.startswith("_"):
            raise NoSuchMember(f"Object doesn't support this property or method: {self._class_name} has no member "
                               f"{name}", "no-such-member", 438, name)
        return getattr(self, entry[1]["name"])

    def __setattr__(self, name, value):
        cls = type(self)
        entry = cls._members.get(name.lower())
        if entry is not None and entry[1]["kind"] == "property":
            self._put(entry[0], value)
        elif name.startswith("_") or (entry is None and not cls.__dict__.get("_generated", False)):
            object.__setattr__(self, name, value)
        else:
            kind = "method" if entry else "property"
            raise NoSuchMember(f"Object doesn't support this property or method: {self._class_name} has no {kind} "
                               f"{name}", "no-such-member", 438, name)

    def __repr__(self):
        if self.closed:
            return f"<kyv.{type(self).__name__} (closed)>"
        w, h = self.size
        return f"<kyv.{type(self).__name__} {self._class_name} {w}x{h}>"

    # ``with kyv.Kyvvstat() as bar:`` closes the control at the end of the block.
    def __enter__(self):
        return self

    def __exit__(self, *exc_info):
        self.close()
        return False

    def __reduce_ex__(self, protocol):
        raise TypeError(f"a kyv control is not pickled: save {self._class_name}'s properties with "
                        f"save_properties() and make it again with kyv.restore(class_name, bag), or save "
                        f"several with kyv.save_form() and kyv.load_form()")

    # Events
    def on(self, event, handler=None):
        """Calls `handler` whenever the control raises `event` (a name of its class, any
        case), inside the call that raised it; returns the handler (so it serves as a
        decorator: ``@bar.on("MaxThreshReached")``). The handler takes no argument, the
        control, or the control and the event's name as the class spells it: it gets as many
        of those as it accepts. One that accepts none of those shapes raises TypeError here.
        Handlers run in the order they were added. An exception a handler raises goes to the
        caller of that call, once the control has finished it; the handlers after it for
        that event, and those of later events in that call, are not called that time.

        The handler runs while that call holds the control's lock, and other threads' calls
        on the control wait for it. It must therefore not feed, read or paint a second
        control while another thread may be in a call on that control whose handlers call
        this one: each thread would hold one control and wait for the other, for ever."""
        if handler is None:
            return lambda fn: self.on(event, fn)
        if not callable(handler):
            raise TypeError(f"an event handler must be callable, not {type(handler).__name__}")
        number = self._event_number(event)
        arguments = _handler_arguments(handler)
        self._handlers.setdefault(number, []).append((handler, arguments))
        self._listen(number, True)
        return handler

    def off(self, event, handler=None):
        """Stops calling `handler` for `event` (every handler of it when none is given)."""
        number = self._event_number(event)
        handlers = self._handlers.get(number, [])
        added = [entry for entry in handlers if entry[0] == handler]
        if handler is None:
            handlers.clear()
        elif added:
            handlers.remove(added[0])
        else:
            raise ValueError(f"{handler!r} does not handle {event}")
        if not handlers:
            self._listen(number, False)

    def _event_number(self, event):
        entry = type(self)._events.get(str(event).lower())
        if entry is None:
            raise NoSuchMember(f"Object doesn't support this event: {self._class_name} has no event {event}",
                               "no-such-member", 438, str(event))
        return entry[0]

    def _dispatch(self, number):
        name = type(self)._event_names[number]
        for handler, arguments in list(self._handlers.get(number, ())):
            handler(*(self, name)[:arguments])

    # Extent
    @property
    def extent(self):
        """The control's extent in twips, (width, height)."""
        return self._extent()

    @property
    def size(self):
        """The control's size in pixels at the reference 15 twips a pixel, rounded up."""
        w, h = self._extent()
        return (max(1, -int(-w // TWIPS_PER_PIXEL)), max(1, -int(-h // TWIPS_PER_PIXEL)))

    def resize(self, width, height, *, twips=False):
        """A new extent, in pixels (twips with ``twips=True``); the control lays itself out.
        A negative, NaN or infinite size raises kyv.InvalidPropertyValue and leaves the
        extent as it was. A size below the class's smallest extent is taken, and the
        control's own layout may then refuse it (kyv.InvalidPropertyValue naming the part
        that would not fit), as it does in any host."""
        w, h = _twips(width, height, twips)
        self._resize(w, h)

    # Pictures
    def to_png(self, scale=1.0):
        """The control painted as a PNG file's bytes, `scale` times its pixel size. A scale
        that is not above 0 raises kyv.InvalidPropertyValue (a ValueError)."""
        return self._to_png(_twips_per_pixel(scale))

    def save(self, path, scale=1.0):
        """Paints the control into a .png, .svg or .pdf file (replaced whole, or left as it
        was when it cannot be written)."""
        self._save(str(path), _twips_per_pixel(scale))

    def to_array(self, scale=1.0, order="RGBA"):
        """The control painted into a new NumPy uint8 array, height x width x 4: "RGBA"
        (straight alpha), or "BGRA", the renderer's own premultiplied layout (QImage's
        Format_ARGB32_Premultiplied), painted into the array as it is."""
        if order not in ("RGBA", "BGRA"):
            raise ValueError(f'order is "RGBA" or "BGRA", not {order!r}')
        return self._to_array(_twips_per_pixel(scale), order == "RGBA")

    def paint(self, pixels, only_damage=True, scale=1.0):
        """Paints into `pixels`, a C-ordered uint8 array height x width x 4 in the BGRA layout
        that holds the control's last paint: only what changed since then when
        `only_damage`. Returns the painted rectangles (x0, y0, x1, y1). Anything but a
        C-ordered uint8 array raises TypeError, one of another shape
        kyv.InvalidPropertyValue."""
        return self._paint(pixels, _twips_per_pixel(scale), only_damage)

    def damage(self):
        """The rectangles (x0, y0, x1, y1) of device pixels, in the last paint, whose picture
        may differ from it now; the whole picture before the first paint."""
        return self._damage()

    # A notebook shows the picture, or for a closed control the text of repr().
    def _repr_png_(self):
        return None if self.closed else self.to_png()

    # Persistence
    def save_properties(self, format="pairs"):
        """The control's properties as WriteProperties stores them: a list of (key, value)
        pairs, or with ``format="json"`` the bag's JSON document."""
        text = self._save_properties()
        if format == "json":
            return text
        if format != "pairs":
            raise ValueError(f'format is "pairs" or "json", not {format!r}')
        return [tuple(pair) for pair in json.loads(text)["properties"]]


PYTHON_TYPES = {"Integer": int, "Long": int, "Single": float, "Double": float, "Boolean": bool, "Colour": "kyv.Color",
                "String": str}


def _signature(member):
    self = inspect.Parameter("self", inspect.Parameter.POSITIONAL_OR_KEYWORD)
    parameters = [self]
    if member["arg_type"]:
        kind = PYTHON_TYPES.get(member["arg_type"], inspect.Parameter.empty)
        parameters.append(inspect.Parameter("value", inspect.Parameter.POSITIONAL_OR_KEYWORD, annotation=kind))
    return inspect.Signature(parameters)


def _method(index, member):
    name, arg = member["name"], member["arg_type"]
    doc = f"{name}({'value: ' + arg if arg else ''}) -> {member['type']}\n\n{member['help']}".rstrip()
    if arg:
        doc += "\n\nThe argument is passed by reference: give a kyv.Ref to see what the method writes back."
    return _kyv.method(index, arg is not None, name, doc, Ref, _signature(member))


def _property(index, member):
    doc = f"{member['type']}. {member['help']}".strip()
    return property(lambda self: self._get(index), lambda self, value: self._put(index, value), doc=doc)


def reference_text(info, library):
    """The reference page of a class, as help() shows it."""
    w, h = info["default_extent"]
    mw, mh = info["minimum_extent"]
    lines = [f"{info['class_name']}, in the control library {library}.",
             f"Default extent {w:g} x {h:g} twips ({w / TWIPS_PER_PIXEL:g} x {h / TWIPS_PER_PIXEL:g} pixels)"
             + (f"; smallest extent {mw:g} x {mh:g} twips." if mw or mh else "."),
             "", "Members (names match in any case):", ""]
    for m in info["members"]:
        arg = f"({m['arg_type']}, by reference)" if m["arg_type"] else "()"
        shape = f"{m['name']}: {m['type']}" if m["kind"] == "property" else f"{m['name']}{arg} -> {m['type']}"
        lines.append(f"  {shape:44} {m['kind']}, id 0x{m['id'] & 0xFFFFFFFF:08X}")
        if m["help"]:
            lines.append(f"      {m['help']}")
    lines += ["", "Events (on(name, handler); the handler takes no argument, the control, or the control and the "
                  "event's name):", ""]
    lines += [f"  {e['name']}" + (f": {e['help']}" if e["help"] else "") for e in info["events"]] or ["  None."]
    lines += ["", "Stored properties (save_properties(); a key listed n times holds n entries):", ""]
    for s in info["stored"]:
        count = s["entries"] or (str(s["reads"]) if s["reads"] == s["writes"] else f"{s['reads']}/{s['writes']}")
        lines.append(f"  {s['key']:20} {s['type']:8} default {s['default_text']:14} entries {count}")
    return "\n".join(lines)


def make_class(info, library):
    """The typed class of the control class `info` describes (from Registry.describe)."""
    class_name = info["class_name"]
    short = class_name.rsplit(".", 1)[-1]
    namespace = {
        "__doc__": reference_text(info, library),
        "__module__": "kyv",
        "__qualname__": short,
        "_class_name": class_name,
        "_library": library,
        "_info": info,
        "_generated": True,
        "_members": {m["name"].lower(): (i, m) for i, m in enumerate(info["members"])},
        "_events": {e["name"].lower(): (e["number"], e["name"]) for e in info["events"]},
        "_event_names": {e["number"]: e["name"] for e in info["events"]},
    }
    for index, member in enumerate(info["members"]):
        maker = _property if member["kind"] == "property" else _method
        namespace[member["name"]] = maker(index, member)
    return type(short, (Control,), namespace)
