"""Generates the object model of the Python package (python/zentrava) from the model data.

    python3 gen_python.py --model MODEL_DIR --out FILE

Writes one module: the C constants, the enumerations as IntEnum classes, the
argument kinds of every exported function, and one typed class per interface whose
properties and methods are the IVI-C attributes and functions reached through it,
named in snake case after the COM property path, each documented with its C name,
COM member and command texts. ATTRIBUTES and FUNCTIONS map every C name to the
Python path that reaches it (collections shown with item 1). The module passes
pycodestyle --max-line-length=99 and mypy --strict.
"""

import os
import re
import sys
import textwrap

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))

from face_names import enum_class_name, snake  # noqa: E402
from face_tree import INHERENT_CHILDREN, NameClash, attribute_places, named_enums  # noqa: E402
from gen_ivic import model_options, write_if_changed  # noqa: E402
from model import load  # noqa: E402
from reference import (ACCESS_WORDS, MODEL_WORDS, attribute_member, commands, member_commands,  # noqa: E402
                       simulated_default)

ROOT = "IZentrava"
# The generated class of the root interface; the hand-written root class derives from it.
ROOT_CLASS = "ZentravaBase"
# Session functions the hand-written root class implements itself.
DRIVER_OWN = {"Ztv_init": "__init__", "Ztv_InitWithOptions": "__init__", "Ztv_close": "close"}

# Python form of the C arguments of the wrappers, by kind (see model_exports.py).
WRAPPER_KINDS = {
    "integer in": ("in", "ViInt32"), "real in": ("in", "ViReal64"), "boolean in": ("in", "ViBoolean"),
    "text in": ("text in", None), "real array in": ("real array in", None), "byte array in": ("byte array in", None),
    "reals in-out": ("inout", "ViReal64"), "text out": ("text out", None), "integer out": ("out", "ViInt32"),
    "real array out": ("real array out", None), "byte array out": ("byte array out", None),
    "byte array in-out": ("byte array in-out", None),
}
# Parameter kinds (see python/zentrava/_calls.py) that take a value from the caller, with
# those that may be left out, and those that give a result.
INPUT_KINDS = ("in", "text in", "real array in", "byte array in", "inout", "byte array in-out")
OPTIONAL_INPUTS = ("inout", "byte array in-out")
OUTPUT_KINDS = ("out", "inout", "text out", "text out 256", "text read", "real array out", "byte array out",
                "byte array in-out")
# Python types of values, by C type for scalars and by kind for the rest.
SCALAR_TYPES = {"ViBoolean": "bool", "ViReal64": "float", "ViInt32": "int", "ViInt16": "int", "ViStatus": "int",
                "ViAttr": "int", "ViSession": "int", "IUnknown*": "int | None", "ViString": "str"}
KIND_TYPES = {"text in": "str", "text out": "str", "text out 256": "str", "text read": "str",
              "real array in": "RealArray", "byte array in": "bytes", "real array out": "NDArray[numpy.float64]",
              "byte array out": "bytes", "byte array in-out": "bytes"}
# The attribute reader and writer of each C type (python/zentrava/_nodes.py).
TYPE_SUFFIX = {"ViBoolean": "bool", "ViReal64": "real", "ViInt32": "int", "ViString": "text"}
# Members the base classes of items and collections already have.
RESERVED_ITEM = ("name",)
RESERVED_COLLECTION = ("keys",)
LINE_LENGTH = 99
BODY = " " * 8  # indentation of a method's body
CLASS_BODY = " " * 4


class GenError(Exception):
    pass


class Generator:
    def __init__(self, model):
        self.model = model
        self.attributes = attribute_places(model)
        self.exports = {}  # interface -> [Export] of its members
        for e in model.exports.values():
            if e.group in ("session", "accessor") or e.name in DRIVER_OWN:
                self.exports.setdefault(ROOT, []).append(e)
            else:
                self.exports.setdefault(e.interface, []).append(e)
        self.paths = {}  # interface -> Python path from the driver
        self.order = []  # interfaces, children before their parents
        self.visit(ROOT, "")

    # ---- the object tree -------------------------------------------------------------------

    def children(self, interface):
        """(Python name, target interface, is the collection item) of an interface's children."""
        if interface in INHERENT_CHILDREN:
            return []
        out = [(snake(c.name), c.target, "index" in c.flags) for c in self.model.interface(interface).children]
        if interface == ROOT:
            out += [(name, target, False) for target, name in INHERENT_CHILDREN.items()]
        return out

    def visit(self, interface, path):
        if interface in self.paths:
            return
        self.paths[interface] = path
        for name, target, item in self.children(interface):
            self.visit(target, path + "[1]" if item else (path + "." if path else "") + name)
        self.order.append(interface)

    def member_path(self, interface, name):
        base = self.paths[interface]
        return base + "." + name if base else name

    # ---- members ---------------------------------------------------------------------------

    def enum_of(self, model_type):
        return enum_class_name(self.model.enums[model_type]) if model_type in self.model.enums else None

    def wrapper_params(self, export):
        member = self.model.member("%s.%s" % (export.interface, export.member))
        com_types = {p.name: p.type for p in member.params + member.indices}
        params = [("session", "vi", None, None)]
        if export.depth:
            params.append(("selector", "selector", None, None))
        for arg in export.args:
            kind, ctype = WRAPPER_KINDS[arg.kind]
            enum = self.enum_of(com_types.get(arg.param, ""))
            if arg.kind == "integer out" and member.kind == "property":
                enum = self.enum_of(member.type)
            params.append((kind, snake(arg.param) if arg.param else "result", ctype, enum))
        return params

    @staticmethod
    def plain_params(export):
        """Parameters of a function written out argument by argument in the data."""
        params, args = [], list(export.c_args)
        while args:
            a = args.pop(0)
            name = snake(a.name)
            if a.ctype == "ViSession" and a.direction == "in" and not params:
                params.append(("session", "vi", None, None))
            elif a.name == "BufferSize" and args and args[0].ctype == "ViChar[]":
                text = args.pop(0)
                if args and args[0].name == "ActualCount":
                    args.pop(0)
                    params.append(("text read", snake(text.name), None, None))
                else:
                    params.append(("text out", snake(text.name), None, None))
            elif a.ctype == "ViChar[256]":
                params.append(("text out 256", name, None, None))
            elif a.direction == "in" and a.ctype in ("ViConstString", "ViRsrc"):
                params.append(("text in", name, None, None))
            elif a.direction == "in" and not a.ctype.endswith("]"):
                params.append(("in", name, a.ctype, None))
            elif a.direction in ("out", "inout") and a.ctype.endswith("*"):
                params.append((a.direction, name, a.ctype[:-1], None))
            else:
                raise GenError("%s: no Python form for %s %s:%s" % (export.name, a.direction, a.name, a.ctype))
        return params

    def function_name(self, export):
        if export.name in DRIVER_OWN:
            return DRIVER_OWN[export.name]
        if export.group in ("session", "accessor"):
            return snake(export.name[len("Ztv_"):])
        if export.group == "io":
            return snake(export.name).split("_")[-1]
        member = self.model.member("%s.%s" % (export.interface, export.member))
        if export.group == "register":
            return ("set_" if export.args[-1].kind == "integer in" else "get_") + snake(member.name)
        return snake(member.name)

    def c_types(self, export):
        lead = []
        if export.group in ("method", "register"):
            lead = ["ViSession"] + (["ViConstString"] if export.depth else [])
        return tuple(lead + [a.ctype for a in export.c_args])

    # ---- Python names and types ------------------------------------------------------------

    def item_of(self, interface):
        """The item interface of a collection interface, or None."""
        items = [t for _, t, is_item in self.children(interface) if is_item]
        return items[0] if items else None

    def class_name(self, interface):
        """IZentravaPNMeasurement -> ZentravaPNMeasurement; a collection is named after its item."""
        if interface == ROOT:
            return ROOT_CLASS
        item = self.item_of(interface)
        return self.class_name(item) + "Collection" if item else interface[1:]

    @staticmethod
    def value_type(kind, ctype, enum):
        """The Python type of one parameter's value (the argument or the result)."""
        if enum:
            return enum
        if kind in ("in", "out", "inout"):
            return SCALAR_TYPES[ctype]
        return KIND_TYPES[kind]

    # ---- documentation ---------------------------------------------------------------------

    @staticmethod
    def docstring(paragraphs, indent=BODY):
        """A docstring wrapped to the line length. A paragraph is a text, or a list of texts
        each starting a line; quoted command texts are never broken."""
        lines = []
        for paragraph in paragraphs:
            if lines:
                lines.append("")
            for text in [paragraph] if isinstance(paragraph, str) else paragraph:
                if '"""' in text or "\\" in text:
                    raise GenError("text cannot stand in a docstring: %s" % text)
                kept = re.sub(r'"[^"]*"', lambda m: m.group(0).replace(" ", "\0"), text)
                lines += [line.replace("\0", " ") for line in textwrap.wrap(
                    kept, LINE_LENGTH - len(indent) - 3, break_on_hyphens=False, break_long_words=False)]
        if len(lines) == 1 and len(indent) + len(lines[0]) + 6 <= LINE_LENGTH:
            return [indent + '"""%s"""' % lines[0]]
        return [indent + '"""' + lines[0]] + [indent + line if line else "" for line in lines[1:]] + \
            [indent + '"""']

    def attribute_doc(self, attr, py_type):
        member = attribute_member(self.model, attr)
        text = "%s, %s. C attribute %s (%s, id %d)" % (py_type, ACCESS_WORDS[attr.access], attr.constant,
                                                        attr.ctype, attr.id)
        if not attr.member.startswith("const "):
            text += ", COM property %s.%s" % (attr.interface, attr.member)
        text += "."
        if member is not None:
            text += " Query %s." % commands(member.query)
            if attr.access == "ReadWrite":
                text += " Setting %s." % commands(member.setting)
        text += " Models: %s." % MODEL_WORDS[member.models if member else "both"]
        if simulated_default(member) != "-":
            text += " Simulated: %s." % simulated_default(member)
        return text

    def function_doc(self, export, params, inputs, outputs):
        com = " (COM %s.%s)" % (export.interface, export.member) if export.interface and export.member else ""
        sent = member_commands(self.model, export)
        text = ["Calls %s%s.%s" % (export.name, com, " Sends %s." % sent if sent != "-" else "")]
        member = self.model.member("%s.%s" % (export.interface, export.member)) \
            if export.interface in self.model.interfaces else None
        if member is not None:
            text[0] += " Models: %s." % MODEL_WORDS[member.models]
        if inputs:
            text.append(["Arguments:"] + ["    %s: %s%s." % (
                p[1], self.value_type(p[0], p[2], p[3]),
                ", optional: the value sent in (zero or nothing when not given)" if p[0] in OPTIONAL_INPUTS else "")
                for p in inputs])
        if outputs:
            text.append("Returns %s." % ", ".join("%s (%s)" % (p[1], self.value_type(p[0], p[2], p[3]))
                                                  for p in outputs))
        return text

    # ---- one class per interface -----------------------------------------------------------

    def attribute_lines(self, name, attr, enum):
        py_type = enum or SCALAR_TYPES[attr.ctype]
        suffix = TYPE_SUFFIX[attr.ctype] if not enum else "enum"
        extra = ", %s" % enum if enum else ""
        out = ["    @property", "    def %s(self) -> %s:" % (name, py_type)]
        out += self.docstring([self.attribute_doc(attr, py_type)])
        out.append(BODY + "return get_%s(self, %d%s)" % (suffix, attr.id, extra))
        if attr.access == "ReadWrite":
            out += ["", "    @%s.setter" % name, "    def %s(self, value: %s) -> None:" % (name, py_type),
                    BODY + "set_%s(self, %d%s, value)" % (suffix, attr.id, extra)]
        return out

    def function_lines(self, name, export, params):
        inputs = [p for p in params if p[0] in INPUT_KINDS]
        outputs = [p for p in params if p[0] in OUTPUT_KINDS]
        required = [p for p in inputs if p[0] not in OPTIONAL_INPUTS]
        optional = [p for p in inputs if p[0] in OPTIONAL_INPUTS]
        arguments = ["self"] + ["%s: %s" % (p[1], self.value_type(p[0], p[2], p[3])) for p in required]
        arguments += ["%s: %s | None = None" % (p[1], self.value_type(p[0], p[2], p[3])) for p in optional]
        types = [self.value_type(p[0], p[2], p[3]) for p in outputs]
        result = "None" if not types else types[0] if len(types) == 1 else "Tuple[%s]" % ", ".join(types)
        out = wrap("    def %s(" % name, arguments, ") -> %s:" % result, 12)
        out += self.docstring(self.function_doc(export, params, inputs, outputs))
        out += wrap(BODY + ("result = " if types else "") + "_%s(" % export.name,
                    ["self"] + [p[1] for p in inputs], ")", 12)
        if types:
            out.append(BODY + 'return cast("%s", result)' % result)
        return out

    def interface_members(self, interface):
        """(Python name, source lines) of every member of one interface's class."""
        members = []
        for name, target, item in self.children(interface):
            if not item:
                kind = self.class_name(target)
                members.append((name, ["    @property", "    def %s(self) -> %s:" % (name, kind)] + self.docstring(
                    ["The %s interface (COM %s)." % (name, target)]) + [BODY + "return self._child(%s)" % kind]))
        for (owner, member), a in self.attributes.items():
            if owner == interface:
                enum = self.enum_of(self.model.member("%s.%s" % (owner, member)).type) \
                    if owner in self.model.interfaces else None
                members.append((snake(member), self.attribute_lines(snake(member), a, enum)))
        for e in self.exports.get(interface, []):
            if e.name in DRIVER_OWN:
                continue
            name = self.function_name(e)
            members.append((name, self.function_lines(name, e, self.params(e))))
        names = [n for n, _ in members]
        reserved = RESERVED_ITEM if self.is_item(interface) else RESERVED_COLLECTION if self.item_of(
            interface) else ()
        twice = sorted({n for n in names if names.count(n) > 1 or n in reserved})
        if twice:
            raise GenError("%s: Python names given twice: %s" % (interface, ", ".join(twice)))
        return sorted(members)

    def params(self, export):
        return self.wrapper_params(export) if export.group in ("method", "register") else self.plain_params(export)

    def is_item(self, interface):
        return any(target == interface and item for i in self.paths for _, target, item in self.children(i))

    def interface_class(self, interface):
        name = self.class_name(interface)
        item = self.item_of(interface)
        if item:
            target = self.model.interface(item)
            family = self.model.families[target.app]
            count = family.measurements if target.object == "measurement" else family.markers
            prefix = "Measurement" if target.object == "measurement" else "Marker"
            names = tuple("%s%d" % (prefix, n) for n in range(1, count + 1))
            out = ["class %s(Collection[%s]):" % (name, self.class_name(item))]
            out += self.docstring(["The %ss of COM %s by name or by number from 1: %s." % (
                target.object, interface, ", ".join(names))], CLASS_BODY)
            out += ["    __slots__ = ()", "    _item_class = %s" % self.class_name(item)]
            out += wrap("    _names = (", ["%r" % n for n in names[:-1]] + ["%r," % names[-1]], ")", 8)
        else:
            out = ["class %s(%s):" % (name, "Item" if self.is_item(interface) else "Node")]
            out += self.docstring(["COM %s%s." % (interface, ", reached as %s" % self.paths[interface]
                                                   if self.paths[interface] else "")], CLASS_BODY)
            out.append("    __slots__ = ()")
        for _, lines in self.interface_members(interface):
            out += [""] + lines
        return "\n".join(out) + "\n"

    def function_objects(self):
        out = []
        for interface, exports in sorted(self.exports.items()):
            for e in sorted(exports, key=lambda e: e.name):
                if e.name in DRIVER_OWN:
                    continue
                params = ["(%r, %r, %r, %s)," % p for p in self.params(e)]
                head = "_%s = CFunction(%r, (" % (e.name, e.name)
                if len(head) <= LINE_LENGTH:
                    out += [head] + ["    " + p for p in params] + ["))"]
                else:
                    out += ["_%s = CFunction(" % e.name, "    %r, (" % e.name] + ["        " + p for p in params]
                    out.append("    ))")
        return "\n".join(out) + "\n"

    # ---- the module ------------------------------------------------------------------------

    def check_reached(self):
        missing = [a.constant for (i, _), a in self.attributes.items() if i not in self.paths]
        missing += [e.name for i, es in self.exports.items() for e in es if i not in self.paths]
        if missing:
            raise GenError("not reachable from the driver object: %s" % ", ".join(sorted(missing)))

    def enums(self):
        out = []
        for enum, name, values in named_enums(self.model):
            out.append("class %s(IntEnum):" % name)
            out += self.docstring(["COM %s." % enum.name], CLASS_BODY)
            out += ["    %s = %d" % (member, v.number) for v, member in values]
            out += ["", ""]
        return "\n".join(out)

    def constants(self):
        out = ["%s = %d" % (a.constant, a.id) for a in self.model.attributes]
        seen = set()
        for enum in self.model.enums.values():
            for v in enum.values:
                if v.constant not in seen:
                    seen.add(v.constant)
                    out.append("%s = %d" % (v.constant, v.number))
        return "\n".join(out) + "\n"

    def tables(self):
        out = ["ATTRIBUTES = {"]
        for (interface, member), a in sorted(self.attributes.items(), key=lambda kv: kv[1].id):
            path = self.member_path(interface, snake(member))
            out += wrap("    %r: AttributeInfo(" % a.constant,
                        [str(a.id), repr(a.ctype), repr(a.access == "ReadWrite"), repr(path)], "),", 8)
        out += ["}", "", "FUNCTIONS = {"]
        for interface, exports in sorted(self.exports.items()):
            for e in sorted(exports, key=lambda e: e.name):
                path = self.member_path(interface, self.function_name(e))
                types = repr(self.c_types(e))
                if len(types) + 9 > LINE_LENGTH:  # C types have no blanks: break between them
                    types = "\n".join(textwrap.wrap(types, LINE_LENGTH - 8, initial_indent=" " * 8,
                                                     subsequent_indent=" " * 9)).strip()
                out += wrap("    %r: FunctionInfo(" % e.name, [types, repr(path)], "),", 8)
        out.append("}")
        return "\n".join(out) + "\n"

    def exported(self):
        """What `from _model import *` gives the package: constants, enumerations, classes, tables."""
        names = [a.constant for a in self.model.attributes]
        names += sorted({v.constant for e in self.model.enums.values() for v in e.values})
        names += [enum_class_name(e) for e in self.model.enums.values()]
        names += [self.class_name(i) for i in self.order] + ["ATTRIBUTES", "FUNCTIONS"]
        return "__all__ = [\n%s]\n" % "".join("    %r,\n" % n for n in names)

    def module(self):
        self.check_reached()
        classes = [self.interface_class(i) for i in self.order]
        return "\n".join([
            '"""The driver\'s object model for Python. Generated by tools/modelgen/gen_python.py from',
            'model/*.model; do not edit."""', "",
            "from __future__ import annotations", "",
            "from enum import IntEnum",
            "from typing import Tuple, cast", "",
            "import numpy",
            "from numpy.typing import NDArray", "",
            "from ._nodes import (AttributeInfo, CFunction, Collection, FunctionInfo, Item, Node, RealArray,",
            "                     get_bool, get_enum, get_int, get_real, get_text, set_bool, set_enum,",
            "                     set_int, set_real, set_text)", "",
            "# ---- C constants", "", self.constants(),
            "# ---- enumerations", "", "", self.enums(),
            "# ---- exported functions and the kinds of their parameters", "", self.function_objects(), "",
            "# ---- object tree", "", "\n\n".join(classes), "",
            "# ---- C names and their Python paths", "", self.tables(), self.exported()])


def wrap(head, items, tail, indent):
    """head (ending in an opening bracket), the items and tail on one line; else the items on
    one continuation line; else one item a line. Continuation lines start at indent."""
    one = head + ", ".join(items) + tail
    if len(one) <= LINE_LENGTH:
        return [one]
    joined = " " * indent + ", ".join(items) + tail
    if len(joined) <= LINE_LENGTH:
        return [head, joined]
    return [head] + [" " * indent + item + "," for item in items[:-1]] + [" " * indent + items[-1] + tail]

def main():
    parser = model_options(__doc__)
    options = parser.parse_args()
    try:
        text = Generator(load(options.model)).module()
    except (GenError, NameClash) as e:
        print("gen_python.py: %s" % e, file=sys.stderr)
        return 1
    os.makedirs(os.path.dirname(os.path.abspath(options.out)), exist_ok=True)
    write_if_changed(options.out, text)
    return 0


if __name__ == "__main__":
    sys.exit(main())
