"""Generates the object model of the Python package (python/zentrava) from the model data.

    python3 gen_python.py --model MODEL_DIR --out FILE

Writes one module: the C constants, the enumerations as IntEnum classes, the
argument types of every exported function, and one class per interface whose
members are the IVI-C attributes and functions reached through it, named in
snake case after the COM property path. ATTRIBUTES and FUNCTIONS map every C
name to the Python path that reaches it (collections shown with item 1).
"""

import argparse
import os
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))

from face_names import enum_class_name, enum_member_name, snake  # noqa: E402
from gen_ivic import write_if_changed  # noqa: E402
from model import load  # noqa: E402

ROOT = "IZentrava"
# The IVI inherent interfaces that the root object carries besides the model's own.
INHERENT_CHILDREN = {"IIviDriverIdentity": "identity", "IIviDriverOperation": "driver_operation"}
# Session functions the hand-written Driver class implements itself.
DRIVER_OWN = {"Ztv_init": "__init__", "Ztv_InitWithOptions": "__init__", "Ztv_close": "close"}

# Python form of the C arguments of the wrappers, by kind (see model_exports.py).
WRAPPER_KINDS = {
    "integer in": ("in", "ViInt32"), "real in": ("in", "ViReal64"), "boolean in": ("in", "ViBoolean"),
    "text in": ("text in", None), "real array in": ("real array in", None), "byte array in": ("byte array in", None),
    "reals in-out": ("inout", "ViReal64"), "text out": ("text out", None), "integer out": ("out", "ViInt32"),
    "real array out": ("real array out", None), "byte array out": ("byte array out", None),
    "byte array in-out": ("byte array in-out", None),
}


class GenError(Exception):
    pass


class Generator:
    def __init__(self, model):
        self.model = model
        self.attributes = {}  # (interface, member) -> Attribute
        for a in model.attributes:
            interface = a.interface or "IIviDriverIdentity"
            member = a.member if a.interface else a.constant[len("IVI_ATTR_"):]
            self.attributes[(interface, member)] = a
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

    def interface_members(self, interface):
        """(Python name, source line) of every member of one interface's class."""
        lines = []
        for name, target, item in self.children(interface):
            if not item:
                lines.append((name, "Child(%s)" % target))
        for (owner, member), a in self.attributes.items():
            if owner == interface:
                enum = self.enum_of(self.model.member("%s.%s" % (owner, member)).type) \
                    if owner in self.model.interfaces else None
                lines.append((snake(member), "Attribute(%d, %r, %r, %s)" % (a.id, a.ctype, a.access == "ReadWrite",
                                                                            enum)))
        for e in self.exports.get(interface, []):
            if e.name in DRIVER_OWN:
                continue
            params = self.wrapper_params(e) if e.group in ("method", "register") else self.plain_params(e)
            lines.append((self.function_name(e), "Function(%r, (%s))" % (e.name, "".join(
                "(%r, %r, %r, %s), " % p for p in params))))
        names = [n for n, _ in lines]
        twice = sorted({n for n in names if names.count(n) > 1})
        if twice:
            raise GenError("%s: Python names given twice: %s" % (interface, ", ".join(twice)))
        return sorted(lines)

    def interface_class(self, interface):
        item = [t for _, t, is_item in self.children(interface) if is_item]
        out = []
        if item:
            target = self.model.interface(item[0])
            family = self.model.families[target.app]
            count = family.measurements if target.object == "measurement" else family.markers
            prefix = "Measurement" if target.object == "measurement" else "Marker"
            out.append("class %s(Collection):" % interface)
            out.append("    _item_class = %s" % item[0])
            out.append("    _names = %r" % (tuple("%s%d" % (prefix, n) for n in range(1, count + 1)),))
        else:
            out.append("class %s(Node):" % interface)
        out += ["    %s = %s" % line for line in self.interface_members(interface)]
        if len(out) == 1:
            out.append("    pass")
        return "\n".join(out) + "\n"

    # ---- the module ------------------------------------------------------------------------

    def check_reached(self):
        missing = [a.constant for (i, _), a in self.attributes.items() if i not in self.paths]
        missing += [e.name for i, es in self.exports.items() for e in es if i not in self.paths]
        if missing:
            raise GenError("not reachable from the driver object: %s" % ", ".join(sorted(missing)))

    def enums(self):
        out, names = [], set()
        for enum in self.model.enums.values():
            name = enum_class_name(enum)
            if name in names:
                raise GenError("two enumerations named %s" % name)
            names.add(name)
            out.append("class %s(IntEnum):" % name)
            members = set()
            for v in enum.values:
                member = enum_member_name(enum, v)
                if member in members:
                    raise GenError("%s: two values named %s" % (enum.name, member))
                members.add(member)
                out.append("    %s = %d" % (member, v.number))
            out.append("")
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
            out.append("    %r: AttributeInfo(%d, %r, %r, %r)," % (a.constant, a.id, a.ctype, a.access == "ReadWrite",
                                                                   path))
        out += ["}", "", "FUNCTIONS = {"]
        for interface, exports in sorted(self.exports.items()):
            for e in sorted(exports, key=lambda e: e.name):
                path = self.member_path(interface, self.function_name(e))
                out.append("    %r: FunctionInfo(%r, %r)," % (e.name, self.c_types(e), path))
        out.append("}")
        return "\n".join(out) + "\n"

    def exported(self):
        """What `from _model import *` gives the package: constants, enumerations, tables."""
        names = [a.constant for a in self.model.attributes]
        names += sorted({v.constant for e in self.model.enums.values() for v in e.values})
        names += [enum_class_name(e) for e in self.model.enums.values()] + ["ATTRIBUTES", "FUNCTIONS"]
        return "__all__ = [\n%s]\n" % "".join("    %r,\n" % n for n in names)

    def module(self):
        self.check_reached()
        classes = [self.interface_class(i) for i in self.order]
        return "\n".join([
            '"""The driver\'s object model for Python. Generated by tools/modelgen/gen_python.py from',
            'model/*.model; do not edit."""', "",
            "from enum import IntEnum", "",
            "from ._nodes import Attribute, AttributeInfo, Child, Collection, Function, FunctionInfo, Node", "",
            "# ---- C constants", "", self.constants(),
            "# ---- enumerations", "", self.enums(),
            "# ---- object tree", ""] + classes + ["", "# ---- C names and their Python paths", "", self.tables(), self.exported()])


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--model", required=True)
    parser.add_argument("--out", required=True)
    options = parser.parse_args()
    try:
        text = Generator(load(options.model)).module()
    except GenError as e:
        print("gen_python.py: %s" % e, file=sys.stderr)
        return 1
    os.makedirs(os.path.dirname(os.path.abspath(options.out)), exist_ok=True)
    write_if_changed(options.out, text)
    return 0


if __name__ == "__main__":
    sys.exit(main())
