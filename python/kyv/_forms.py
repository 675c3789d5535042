"""Forms: several named controls with class, extent and properties, in Kyv's form
document ({"controls": [{"name", "class", "extent": [W, H] twips, "properties": [...]}]})."""

import json
import os
import string

from . import _kyv
from ._errors import InvalidPropertyValue

# Form names match in any case of their ASCII letters, as the framework finds them.
_ASCII_SMALL = str.maketrans(string.ascii_uppercase, string.ascii_lowercase)


def _text(source):
    """The document's text: `source` itself (JSON text, str or bytes), or the file it names
    (a path, or a str that is not JSON text and names a file that exists). A str that is
    neither raises kyv.InvalidPropertyValue: it is not a form document."""
    if isinstance(source, (bytes, bytearray)):
        return source.decode("utf-8")
    if isinstance(source, str) and not source.lstrip().startswith("{") and not os.path.isfile(source):
        shown = source if len(source) <= 40 else source[:37] + "..."
        raise InvalidPropertyValue(f"Invalid property value: not a form document: {shown!r} is neither JSON text "
                                   f"nor a file that exists", member="ReadProperties")
    if isinstance(source, os.PathLike) or not source.lstrip().startswith("{"):
        with open(source, encoding="utf-8") as f:
            return f.read()
    return source


def _same_names(names):
    """The text naming the first two of `names` that are the same in any case ("'a'",
    "'Load' and 'load'"), or None."""
    seen = {}
    for name in names:
        key = name.translate(_ASCII_SMALL)
        if key in seen:
            return " and ".join(repr(n) for n in dict.fromkeys((seen[key], name)))
        seen[key] = name
    return None


def load_form(source):
    """The controls of a form document (a path or the JSON text itself) as a dict
    {name: control}, in the document's order, each restored from its properties at its
    extent. A document naming two controls the same in any case raises
    kyv.InvalidPropertyValue."""
    from . import class_of
    form = json.loads(_kyv.checked_form(_text(source)))
    same = _same_names(entry["name"] for entry in form["controls"])
    if same:
        raise InvalidPropertyValue(f"Invalid property value: not a form document: two controls are named {same}",
                                   member="ReadProperties")
    controls = {}
    for entry in form["controls"]:
        cls = class_of(entry["class"])
        width, height = entry["extent"]
        controls[entry["name"]] = cls(width or None, height or None, twips=True,
                                      bag=json.dumps({"properties": entry["properties"]}))
    return controls


def save_form(controls, path=None):
    """The form document of `controls` (a dict {name: control}, or (name, control) pairs)
    as JSON text; written to `path` too when one is given. Names are not empty and differ
    from each other in more than case: ValueError otherwise, before anything is written."""
    items = [(str(name), control) for name, control in (controls.items() if isinstance(controls, dict) else controls)]
    if any(not name for name, _control in items):
        raise ValueError("a form's control needs a name: one has an empty name")
    same = _same_names(name for name, _control in items)
    if same:
        raise ValueError(f"two of a form's controls are named {same} (names match in any case)")
    entries = []
    for name, control in items:
        width, height = control.extent
        entries.append({"name": name, "class": control._class_name, "extent": [width, height],
                        "properties": json.loads(control.save_properties("json"))["properties"]})
    text = _kyv.checked_form(json.dumps({"controls": entries}))
    if path is not None:
        tmp = f"{path}.tmp"
        with open(tmp, "w", encoding="utf-8") as f:
            f.write(text + "\n")
        os.replace(tmp, path)
    return text
