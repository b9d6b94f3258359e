"""Parsing of single cells of the object-model data files.

Every function takes the raw text of one '|'-separated column (or the optional
'key=value' cells after a line's positional columns) and returns a plain value, or
raises CellError with a message that the caller prefixes with file:line.
"""

import re

SCALAR_TYPES = ("Boolean", "Int32", "Double", "String")
ARRAY_TYPES = ("Double[]", "Byte[]")
RESULT_TYPES = ("Void", "String", "Double[]", "Byte[]")
# Interface-typed properties that come from outside the object model.
EXTERNAL_TYPES = ("Ivi.Visa.Interop.IFormattedIO488",)
MODELS = ("both", "Q7310A", "Q7310B")
DEFAULT_MODELS = "both"
# The printf conversion a setting command gives the value of each type; enumerations send their token.
SETTING_CONVERSIONS = {"Boolean": "%s", "Int32": "%d", "Double": "%.15g", "String": "%s"}
ENUM_CONVERSION = "%s"
ACCESS = ("Read", "ReadWrite")
OBJECT_KINDS = ("root", "measurement", "marker")

# Markers for command columns that hold no command text.
NO_COMMAND = "-"
CUSTOM_COMMAND = "(custom)"
COLLECTION_COMMAND = "(collection)"


class CellError(Exception):
    pass


def split_columns(text):
    return [c.strip() for c in text.split("|")]


def parse_keyed(cells, allowed):
    """Optional cells ['setting="X %d"', 'models=Q7310B'] -> {key: value}; each key once, from allowed."""
    keyed = {}
    for cell in cells:
        key, equals, value = cell.partition("=")
        if not equals or not re.fullmatch(r"[a-z]+", key):
            raise CellError("optional cell must read key=value: %s" % cell)
        if key not in allowed:
            raise CellError("unknown key '%s' (known: %s)" % (key, ", ".join(allowed)))
        if key in keyed:
            raise CellError("key %s given twice" % key)
        keyed[key] = value
    return keyed


def parse_commands(cell):
    """'"A" ; "B"' -> ['A', 'B']; '-' -> []; '(custom)'/'(collection)' stay markers."""
    if cell in (NO_COMMAND, CUSTOM_COMMAND, COLLECTION_COMMAND):
        return cell
    if len(cell) < 2 or not (cell.startswith('"') and cell.endswith('"')):
        raise CellError("command text must be quoted: %s" % cell)
    return cell[1:-1].split('" ; "')


def parse_simple_type(text):
    text = text.strip()
    if not re.fullmatch(r"[A-Za-z][\w.]*(\[\])?", text):
        raise CellError("malformed type: %s" % text)
    return text


def parse_property_type(cell):
    """'Int32[Register:ZentravaStatusRegisterEnum, SubRegister:...]' -> ('Int32', [(name, type)])."""
    m = re.fullmatch(r"([\w.]+)\[(.+)\]", cell)
    if not m:
        return parse_simple_type(cell), []
    indices = []
    for part in m.group(2).split(","):
        name, sep, typ = part.strip().partition(":")
        if not sep or not name.isidentifier():
            raise CellError("malformed index: %s" % part)
        indices.append((name, parse_simple_type(typ)))
    return m.group(1), indices


def _list_cell(cell, pattern, fault):
    """The groups of each part of a comma-separated cell ('-': none), each part matching pattern."""
    if cell == "-":
        return []
    parts = []
    for part in cell.split(","):
        m = re.fullmatch(pattern, part)
        if not m:
            raise CellError("%s: %s" % (fault, part.strip()))
        parts.append(m.groups())
    return parts


def parse_params(cell):
    """'Val:Double[], Jitter:Double(InOut)' -> [(name, type, direction)]; '-' -> []."""
    return [(name, parse_simple_type(typ), "inout" if inout else "in")
            for name, typ, inout in _list_cell(cell, r"\s*(\w+):([\w.\[\]]+?)(\(InOut\))?\s*", "malformed parameter")]


def parse_simulation(cell):
    """'last 0' / 'fixed 0123456789' / 'last' (empty value) / '-' -> (mode, value)."""
    if cell == "-":
        return None, None
    mode, _, value = cell.partition(" ")
    if mode not in ("last", "fixed"):
        raise CellError("simulation must be 'last <value>', 'fixed <value>' or '-': %s" % cell)
    return mode, value


def parse_models(keyed):
    """The models= cell of a line's optional cells; 'both' when left out."""
    cell = keyed.get("models", DEFAULT_MODELS)
    if "models" in keyed and cell == DEFAULT_MODELS:
        raise CellError("models=%s is the default; leave it out" % DEFAULT_MODELS)
    if cell not in MODELS:
        raise CellError("models must be one of %s: %s" % (", ".join(MODELS), cell))
    return cell


def parse_access(cell):
    if cell not in ACCESS:
        raise CellError("access must be Read or ReadWrite: %s" % cell)
    return cell


def parse_object_kind(cell):
    if cell not in OBJECT_KINDS:
        raise CellError("object kind must be one of %s: %s" % (", ".join(OBJECT_KINDS), cell))
    return cell


def parse_attribute(cell):
    """'ZTV_ATTR_NAME +12' -> ('ZTV_ATTR_NAME', 12)."""
    m = re.fullmatch(r"((?:ZTV|IVI)_ATTR_\w+) \+(\d+)", cell)
    if not m:
        raise CellError("attribute must read 'ZTV_ATTR_NAME +offset': %s" % cell)
    return m.group(1), int(m.group(2))


def parse_ivic(cell):
    """IVI-C column: '-', an attribute, or one or more exported function names."""
    if cell == "-":
        return None, []
    if "_ATTR_" in cell:
        return parse_attribute(cell), []
    names = [n.strip() for n in cell.split(",")]
    for n in names:
        if not re.fullmatch(r"Ztv_\w+", n):
            raise CellError("exported function names start with Ztv_: %s" % n)
    return None, names


def parse_flags(cell):
    """Space-separated words of a fixed item's flag column: 'nullsession' -> {'nullsession': ''}."""
    flags = {}
    for word in cell.split():
        key, _, value = word.partition("=")
        if key in flags:
            raise CellError("flag given twice: %s" % key)
        flags[key] = value
    return flags


def parse_c_args(cell):
    """'in Vi:ViSession, out Text:ViChar[]' -> [(direction, name, ctype)]."""
    return _list_cell(cell, r"\s*(in|out|inout) (\w+):(\w+\**(?:\[\d*\])?)\s*",
                      "C argument must read '<in|out|inout> Name:Type'")


def conversions(fmt):
    """The printf conversions of a command format, in order ('%d', '%s', '%.15g')."""
    return re.findall(r"%[-+ #0]*\d*(?:\.\d+)?[a-zA-Z]", fmt)
