"""Loader of the driver's object-model data (model/**/*.model).

    from model import load
    m = load("/path/to/repo/model")      # raises ModelError listing every fault as file:line

The data files are line-oriented (format in model/README.md). Loading reads every
file, expands the shared trace templates into one interface per application, builds
the IVI-C attribute and export tables, and validates the result (model_checks.py).
Only the standard library is used.
"""

import os
import re

from model_cells import (ENUM_CONVERSION, SETTING_CONVERSIONS, CellError, parse_access, parse_c_args,
                         parse_commands, parse_flags, parse_ivic, parse_keyed, parse_models, parse_object_kind,
                         parse_params, parse_property_type, parse_simple_type, parse_simulation, split_columns)
from model_objects import (ATTRIBUTE_TYPES, Attribute, CArg, Enum, EnumValue, Export, Family, Interface,
                           Member, Model, Param, Simulation, Source)
from model_exports import wrapper_args
from face_names import words

SPECIFIC_BASE = "IVI_SPECIFIC_ATTR_BASE"
INHERENT_BASE = "IVI_INHERENT_ATTR_BASE"

# Optional key=value cells of a member line by kind (interface lines add models=); a property's
# setting= and sim= are its columns, every other key is a flag.
MEMBER_KEYS = {"child": ("index", "select"), "property": ("setting", "sim", "custom"),
               "method": ("custom", "items", "sim")}
PROPERTY_COLUMNS = ("setting", "sim")
# What a bind may write: a new name, the member's own command texts and keys.
BIND_KEYS = {"child": ("rename",), "property": ("rename", "query", "setting", "sim", "custom"),
             "method": ("rename", "sends", "custom", "items", "sim")}
# A value's optional cells: what a hand-written member sends for it, and condition=none on a status
# register that has no condition and transition parts.
VALUE_KEYS = ("models", "command", "condition")
FAMILY_KEYS = ("mnemonic", "trace", "measurements", "markers", "measurement", "marker", "models", "attributes")
FAMILY_OPTIONAL_KEYS = ("models", "attributes")
DEFAULT_REPLY_LENGTH = 6
# The value a simulated scalar property reads until one is set: the most common one in the data.
DEFAULT_SIMULATED_SCALAR = "0"


class ModelError(Exception):
    def __init__(self, messages):
        super().__init__("\n".join(messages))
        self.messages = messages


class _Use:
    """A 'use' block: one application's binding of one trace template."""

    def __init__(self, app, key, source):
        self.app, self.key, self.source = app, key, source
        self.binds = {}  # member name -> (columns, source)
        self.omits = {}  # member name -> source


class _Template:
    def __init__(self, key, pattern, obj, source):
        self.key, self.pattern, self.object, self.source = key, pattern, obj, source
        self.members = []


class _Loader:
    def __init__(self, root):
        self.root = root
        self.errors = []
        self.interfaces = {}
        self.enums = {}
        self.templates = {}
        self.families = {}
        self.uses = []
        self.bases = {}
        self.raw_attributes = []  # (member, constant, offset) of model properties
        self.fixed_attributes = []  # (kind, columns, source) of inherent and count lines
        self.exports = {}
        self.unresolved = []  # (property, {setting, sim} cells written) awaiting the defaults

    # ---- reporting -------------------------------------------------------------------------

    def error(self, source, message):
        self.errors.append("%s: %s" % (source, message))

    # ---- reading ---------------------------------------------------------------------------

    def read_all(self):
        paths = []
        for folder, _, files in os.walk(self.root):
            paths += [os.path.join(folder, f) for f in files if f.endswith(".model")]
        if not paths:
            self.errors.append("%s: no .model files" % self.root)
        for path in sorted(paths):
            self.read_file(path)

    def read_file(self, path):
        shown = os.path.relpath(path, os.path.dirname(os.path.abspath(self.root)))
        self.state = {"app": None, "owner": None, "enum": None, "use": None, "family": None}
        with open(path, encoding="utf-8") as f:
            for number, text in enumerate(f, 1):
                text = text.rstrip("\n")
                if not text.strip() or text.lstrip().startswith("#"):
                    continue
                source = Source(shown, number)
                directive, _, rest = text.strip().partition(" ")
                handler = getattr(self, "on_" + directive, None)
                if handler is None:
                    self.error(source, "unknown directive '%s'" % directive)
                    continue
                try:
                    handler(split_columns(rest), source)
                except CellError as e:
                    self.error(source, str(e))

    @staticmethod
    def need(cols, low, high, what):
        """high None: any number of optional key=value cells follow the low positional ones."""
        if high is None:
            expected = "at least %d" % low
        else:
            expected = str(low) if low == high else "%d to %d" % (low, high)
        if len(cols) < low or (high is not None and len(cols) > high):
            raise CellError("%s takes %s columns, found %d" % (what, expected, len(cols)))

    # ---- interfaces and members ------------------------------------------------------------

    def on_application(self, cols, source):
        self.need(cols, 1, 1, "application")
        self.state["app"] = cols[0]

    def on_interface(self, cols, source):
        self.need(cols, 2, 2, "interface")
        name, obj = cols[0], parse_object_kind(cols[1])
        self.state.update(owner=None, enum=None, use=None)
        if name in self.interfaces:
            self.error(source, "interface %s already defined at %s" % (name, self.interfaces[name].source))
            return
        iface = Interface(name, obj, self.state["app"], source)
        self.interfaces[name] = iface
        self.state["owner"] = iface

    def on_template(self, cols, source):
        self.need(cols, 3, 3, "template")
        key, pattern, obj = cols[0], cols[1], parse_object_kind(cols[2])
        self.state.update(owner=None, enum=None, use=None)
        if "{APP}" not in pattern:
            raise CellError("template interface name needs {APP}: %s" % pattern)
        if key in self.templates:
            raise CellError("template %s already defined at %s" % (key, self.templates[key].source))
        self.templates[key] = self.state["owner"] = _Template(key, pattern, obj, source)

    def owner(self, source):
        owner = self.state["owner"]
        if owner is None:
            raise CellError("member outside an interface or template")
        return owner

    @staticmethod
    def owner_name(owner):
        return owner.pattern if isinstance(owner, _Template) else owner.name

    def add_member(self, owner, member, source):
        if any(m.name == member.name for m in owner.members):
            raise CellError("member %s defined twice" % member.name)
        owner.members.append(member)

    def member_line(self, kind, cols, positional, source):
        """(owner, positional columns, models, flags, property columns) of a member line; an interface's
        property or method adds its IVI-C column to the template's positional ones."""
        owner = self.owner(source)
        templ = isinstance(owner, _Template)
        positional += kind != "child" and not templ
        self.need(cols, positional, None, kind)
        keyed = parse_keyed(cols[positional:], MEMBER_KEYS[kind] + (() if templ else ("models",)))
        models = None if templ else parse_models(keyed)
        keyed.pop("models", None)
        columns = {k: keyed.pop(k) for k in PROPERTY_COLUMNS if kind == "property" and k in keyed}
        return owner, cols[:positional], models, keyed, columns

    def on_child(self, cols, source):
        owner, fixed, models, flags, _ = self.member_line("child", cols, 2, source)
        member = Member("child", fixed[0], self.owner_name(owner), models, flags, source, target=fixed[1])
        if "index" in flags:
            name, _, typ = flags["index"].partition(":")
            member.indices = [Param(name, parse_simple_type(typ), "in")]
        self.add_member(owner, member, source)

    def on_property(self, cols, source):
        owner, fixed, models, flags, columns = self.member_line("property", cols, 4, source)
        typ, indices = parse_property_type(fixed[1])
        member = Member("property", fixed[0], self.owner_name(owner), models, flags, source,
                        type=typ, indices=[Param(n, t, "in") for n, t in indices], access=parse_access(fixed[2]),
                        query=parse_commands(fixed[3]))
        if len(fixed) > 4:
            self.bind_ivic(member, fixed[4])
        self.add_member(owner, member, source)
        self.unresolved.append((member, columns))

    def on_method(self, cols, source):
        owner, fixed, models, flags, _ = self.member_line("method", cols, 4, source)
        member = Member("method", fixed[0], self.owner_name(owner), models, flags, source,
                        params=[Param(*p) for p in parse_params(fixed[1])], result=parse_simple_type(fixed[2]),
                        sends=parse_commands(fixed[3]))
        if len(fixed) > 4:
            self.bind_ivic(member, fixed[4])
        self.add_member(owner, member, source)

    # ---- defaults of the property columns --------------------------------------------------

    def resolve_defaults(self):
        """Give each property the setting and simulated value its line leaves out; refuse written defaults."""
        for member, columns in self.unresolved:
            try:
                member.setting = self.written_or_default(
                    columns, "setting", parse_commands, self.default_setting(member))
                member.simulation = self.written_or_default(
                    columns, "sim", simulation, self.default_simulation(member))
            except CellError as e:
                self.error(member.source, "%s: %s" % (member.name, e))

    @staticmethod
    def written_or_default(columns, key, parse, default):
        if key not in columns:
            return default
        value = parse(columns[key])
        if value == default:
            raise CellError("%s=%s is the default; leave it out" % (key, columns[key]))
        return value

    def default_setting(self, m):
        """A read-write property's query without its '?', then a blank and the type's conversion."""
        conversion = SETTING_CONVERSIONS.get(m.type, ENUM_CONVERSION if m.type in self.enums else None)
        query = m.query
        if m.access == "Read" or m.indices or conversion is None or not isinstance(query, list) \
                or len(query) != 1 or not query[0].endswith("?"):
            return "-"
        return [query[0][:-1] + " " + conversion]

    def default_simulation(self, m):
        """Last value set, else zero for a scalar or the first value of an enumeration."""
        if m.indices:
            return None
        if m.type in SETTING_CONVERSIONS:
            return Simulation("last", DEFAULT_SIMULATED_SCALAR)
        enum = self.enums.get(m.type)
        return Simulation("last", enum.values[0].name) if enum and enum.values else None

    def bind_ivic(self, member, cell):
        attribute, exports = parse_ivic(cell)
        if attribute:
            if member.kind != "property":
                raise CellError("only properties have attributes")
            self.raw_attributes.append((member, attribute[0], attribute[1]))
        member.exports = exports

    # ---- enumerations ----------------------------------------------------------------------

    def on_enum(self, cols, source):
        self.need(cols, 2, 3, "enum")
        self.state.update(owner=None, use=None)
        if cols[1] not in ("tokens", "numbers"):
            raise CellError("enum kind must be tokens or numbers: %s" % cols[1])
        written = parse_keyed(cols[2:], ("reply",)).get("reply")
        if written is not None and not written.isdigit():
            raise CellError("reply= takes a number of characters: %s" % written)
        if written is not None and int(written) == DEFAULT_REPLY_LENGTH:
            raise CellError("reply=%s is the default; leave it out" % written)
        reply = int(written) if written is not None else DEFAULT_REPLY_LENGTH
        if cols[0] in self.enums:
            raise CellError("enum %s already defined at %s" % (cols[0], self.enums[cols[0]].source))
        self.state["enum"] = self.enums[cols[0]] = Enum(cols[0], cols[1] == "tokens", reply, source)

    def on_value(self, cols, source):
        self.need(cols, 4, None, "value")
        enum = self.state["enum"]
        if enum is None:
            raise CellError("value outside an enum")
        try:
            number = int(cols[1])
        except ValueError:
            raise CellError("value number is not an integer: %s" % cols[1])
        token = None
        if cols[2] != "-":
            if not (len(cols[2]) >= 2 and cols[2][0] == cols[2][-1] == '"'):
                raise CellError("token must be quoted: %s" % cols[2])
            token = cols[2][1:-1]
        if not re.fullmatch(r"ZTV_VAL_\w+", cols[3]):
            raise CellError("value constant must start with ZTV_VAL_: %s" % cols[3])
        keyed = parse_keyed(cols[4:], VALUE_KEYS)
        command = parse_commands(keyed["command"]) if "command" in keyed else None
        if command is not None and (not isinstance(command, list) or len(command) != 1 or not command[0]):
            raise CellError("command= takes one quoted command text: %s" % keyed["command"])
        if keyed.get("condition", "none") != "none":
            raise CellError("condition= takes only 'none': %s" % keyed["condition"])
        enum.values.append(EnumValue(cols[0], number, token, parse_models(keyed), cols[3], source,
                                     command[0] if command else None, "condition" in keyed))

    # ---- trace families --------------------------------------------------------------------

    def on_family(self, cols, source):
        self.need(cols, 1, None, "family")
        self.state.update(owner=None, enum=None, use=None)
        keyed = parse_keyed(cols[1:], FAMILY_KEYS)
        missing = [k for k in FAMILY_KEYS if k not in keyed and k not in FAMILY_OPTIONAL_KEYS]
        if missing:
            raise CellError("family misses %s" % ", ".join(missing))
        classes = {}
        for key in ("measurement", "marker"):
            m = re.fullmatch(r"(\w+) \{([0-9a-f-]{36})\}", keyed[key])
            if not m:
                raise CellError("family %s must read 'ClassName {clsid}': %s" % (key, keyed[key]))
            classes[key] = m.groups()
        if "attributes" in keyed and not re.fullmatch(r"ZTV_ATTR_\w+", keyed["attributes"]):
            raise CellError("family attributes must start with ZTV_ATTR_: %s" % keyed["attributes"])
        if keyed["trace"] not in ("TRAC1", "TRAC%d"):
            raise CellError("family trace must be TRAC1 or TRAC%%d: %s" % keyed["trace"])
        app = cols[0]
        if app != self.state["app"]:
            raise CellError("family %s declared under application %s" % (app, self.state["app"]))
        if app in self.families:
            raise CellError("family %s already declared at %s" % (app, self.families[app].source))
        family = Family(app, keyed["mnemonic"], keyed["trace"], int(keyed["measurements"]),
                        int(keyed["markers"]), parse_models(keyed), classes["measurement"][0],
                        classes["measurement"][1], classes["marker"][0], classes["marker"][1], source,
                        keyed.get("attributes"))
        self.families[app] = self.state["family"] = family

    def on_use(self, cols, source):
        self.need(cols, 1, 1, "use")
        family = self.state["family"]
        if family is None:
            raise CellError("use before the file's family line")
        self.state.update(owner=None, enum=None)
        use = _Use(family.app, cols[0], source)
        self.uses.append(use)
        self.state["use"] = use

    def current_use(self, what):
        use = self.state["use"]
        if use is None:
            raise CellError("%s outside a use block" % what)
        return use

    def on_bind(self, cols, source):
        use = self.current_use("bind")
        self.need(cols, 2, None, "bind")
        if cols[0] in use.binds or cols[0] in use.omits:
            raise CellError("member %s bound twice" % cols[0])
        use.binds[cols[0]] = (cols[1:], source)

    def on_omit(self, cols, source):
        use = self.current_use("omit")
        self.need(cols, 1, 1, "omit")
        if cols[0] in use.binds or cols[0] in use.omits:
            raise CellError("member %s bound twice" % cols[0])
        use.omits[cols[0]] = source

    # ---- fixed IVI-C items -----------------------------------------------------------------

    def on_base(self, cols, source):
        self.need(cols, 2, 2, "base")
        if cols[0] in self.bases:
            raise CellError("base %s given twice" % cols[0])
        try:
            self.bases[cols[0]] = int(cols[1])
        except ValueError:
            raise CellError("base value is not an integer: %s" % cols[1])

    def on_inherent(self, cols, source):
        self.need(cols, 5, 6, "inherent")
        self.fixed_attributes.append(("inherent", cols, source))

    def on_count(self, cols, source):
        self.need(cols, 3, 3, "count")
        self.fixed_attributes.append(("count", cols, source))

    def on_export(self, cols, source):
        self.need(cols, 4, 4, "export")
        name, group = cols[0], cols[1]
        if group not in ("session", "accessor", "name", "io"):
            raise CellError("export group must be session, accessor, name or io: %s" % group)
        iface, member = None, None
        if cols[3].startswith("IZentrava"):
            iface, _, member = cols[3].partition(".")
        export = Export(name, group, [CArg(*a) for a in parse_c_args(cols[2])], iface, member, 0, source)
        self.add_export(export)

    def add_export(self, export):
        if not re.fullmatch(r"Ztv_\w+", export.name):
            self.error(export.source, "exported function names start with Ztv_: %s" % export.name)
        elif export.name in self.exports:
            self.error(export.source, "export %s already defined at %s"
                       % (export.name, self.exports[export.name].source))
        else:
            self.exports[export.name] = export

    # ---- template expansion ----------------------------------------------------------------

    def expand_uses(self):
        seen = set()
        for use in self.uses:
            family = self.families[use.app]
            template = self.templates.get(use.key)
            if template is None:
                self.error(use.source, "unknown template %s" % use.key)
                continue
            if (use.app, use.key) in seen:
                self.error(use.source, "template %s used twice for %s" % (use.key, use.app))
                continue
            seen.add((use.app, use.key))
            name = template.pattern.replace("{APP}", use.app)
            if name in self.interfaces:
                self.error(use.source, "interface %s already defined at %s" % (name, self.interfaces[name].source))
                continue
            iface = Interface(name, template.object, use.app, use.source, template=use.key)
            self.interfaces[name] = iface
            for tm in template.members:
                if tm.name in use.omits:
                    continue
                if tm.kind == "child" and tm.name not in use.binds:
                    # Children carry no IVI-C item; every application keeps them.
                    iface.members.append(self.instantiate(tm, family, use.key, name, ["-"], use.source))
                    continue
                if tm.name not in use.binds:
                    self.error(use.source, "%s of template %s is neither bound nor omitted" % (tm.name, use.key))
                    continue
                cols, source = use.binds[tm.name]
                try:
                    iface.members.append(self.instantiate(tm, family, use.key, name, cols, source))
                except CellError as e:
                    self.error(source, str(e))
            for unknown in set(use.binds) | set(use.omits):
                if not any(tm.name == unknown for tm in template.members):
                    src = use.binds[unknown][1] if unknown in use.binds else use.omits[unknown]
                    self.error(src, "template %s has no member %s" % (use.key, unknown))

    @staticmethod
    def substitute(commands, family):
        if not isinstance(commands, list):
            return commands
        out = [c.replace("{MN}", family.mnemonic).replace("{TR}", family.trace) for c in commands]
        return [c.replace("{APP}", family.app) for c in out]

    def instantiate(self, tm, family, key, iface_name, cols, source):
        m = Member(tm.kind, tm.name, iface_name, family.models, dict(tm.flags), source,
                   type=tm.type, indices=list(tm.indices), access=tm.access,
                   query=self.substitute(tm.query, family), setting=self.substitute(tm.setting, family),
                   simulation=tm.simulation, params=list(tm.params), result=tm.result,
                   sends=self.substitute(tm.sends, family),
                   target=tm.target.replace("{APP}", family.app) if tm.target else None,
                   template_source=tm.source)
        self.apply_overrides(m, parse_keyed(cols[1:], BIND_KEYS[m.kind]))
        if m.kind != "child":
            self.bind_ivic(m, self.bound_ivic(family, key, m, cols[0]))
        elif cols[0] != "-":
            raise CellError("a child has no IVI-C item: %s" % cols[0])
        return m

    @staticmethod
    def bound_ivic(family, key, m, cell):
        """A bind's IVI-C cell with its attribute name: '+N' alone takes the family's attributes= start,
        the template key and the member's words (ZTV_ATTR_..._MEASUREMENT_MARKER_X_VALUE); only a
        name the rule does not give is written."""
        derived = None
        if family.attributes:
            derived = "%s_%s_%s" % (family.attributes, key.upper(), words(m.name).upper())
        if re.fullmatch(r"\+\d+", cell):
            if derived is None:
                raise CellError("attribute %s needs its name, or attributes= on the family line" % cell)
            return "%s %s" % (derived, cell)
        if derived is not None and cell.split(" ")[0] == derived:
            raise CellError("attribute %s follows from family, template and member; write %s alone"
                            % (derived, cell.split(" ", 1)[1]))
        return cell

    @staticmethod
    def apply_overrides(m, keyed):
        """A bind's key=value cells: only what differs from the template may be written."""
        for key, text in keyed.items():
            if key == "rename":
                if not text.isidentifier() or text == m.name:
                    raise CellError("rename needs a new member name: %s" % text)
                m.name = text
                continue
            if key in ("query", "setting", "sends"):
                field, value = key, parse_commands(text)
            elif key == "sim" and m.kind == "property":
                field, value = "simulation", simulation(text)
            else:
                field, value = None, text
            if value == (getattr(m, field) if field else m.flags.get(key)):
                raise CellError("override %s=%s of %s repeats the template text" % (key, text, m.name))
            if field:
                setattr(m, field, value)
            else:
                m.flags[key] = value

    # ---- IVI-C tables ----------------------------------------------------------------------

    def build_attributes(self):
        attributes = []
        for base in (SPECIFIC_BASE, INHERENT_BASE):
            if base not in self.bases:
                self.errors.append("%s: missing 'base %s' line" % (self.root, base))
                return attributes
        for member, constant, offset in self.raw_attributes:
            ctype = self.attribute_type(member)
            if ctype is None:
                self.error(member.source, "property %s of type %s cannot be an attribute" % (member.name, member.type))
                continue
            iface = self.interfaces[member.interface]
            attr = Attribute(constant, self.bases[SPECIFIC_BASE] + offset, offset, SPECIFIC_BASE, ctype,
                             member.access, iface.depth, member.interface, member.name, {}, member.source)
            member.attribute = attr
            attributes.append(attr)
        for kind, cols, source in self.fixed_attributes:
            try:
                attributes.append(self.fixed_attribute(kind, cols, source))
            except CellError as e:
                self.error(source, str(e))
        return sorted(attributes, key=lambda a: a.id)

    def attribute_type(self, member):
        if member.indices:
            return None
        if member.type in ATTRIBUTE_TYPES:
            return ATTRIBUTE_TYPES[member.type]
        return "ViInt32" if member.type in self.enums else None

    def fixed_attribute(self, kind, cols, source):
        m = re.fullmatch(r"\+(\d+)", cols[1])
        if not m:
            raise CellError("attribute offset must read +N: %s" % cols[1])
        offset = int(m.group(1))
        if kind == "count":
            iface, _, member = cols[2].partition(".")
            # A collection on a measurement (its markers) is reached through the measurement's selector.
            depth = self.interfaces[iface].depth if iface in self.interfaces else 0
            return Attribute(cols[0], self.bases[SPECIFIC_BASE] + offset, offset, SPECIFIC_BASE, "ViInt32",
                             "Read", depth, iface, member, {}, source)
        if cols[2] not in ATTRIBUTE_TYPES.values():
            raise CellError("attribute type must be one of %s: %s" % (", ".join(ATTRIBUTE_TYPES.values()), cols[2]))
        iface, member = "", cols[4]
        if not cols[4].startswith("const "):
            iface, _, member = cols[4].partition(".")
        flags = parse_flags(cols[5]) if len(cols) > 5 else {}
        return Attribute(cols[0], self.bases[INHERENT_BASE] + offset, offset, INHERENT_BASE, cols[2],
                         parse_access(cols[3]), 0, iface, member, flags, source)

    def build_wrapper_exports(self):
        for iface in self.interfaces.values():
            for m in iface.members:
                if m.kind == "child" or not m.exports:
                    continue
                if m.kind == "method" and len(m.exports) != 1:
                    self.error(m.source, "a method has exactly one exported wrapper")
                    continue
                if m.kind == "property" and len(m.exports) != 2:
                    self.error(m.source, "an indexed property has a getter and a setter wrapper")
                    continue
                group = "method" if m.kind == "method" else "register"
                for position, name in enumerate(m.exports):
                    try:
                        args = wrapper_args(m, self.enums, setter=position == 1)
                    except CellError as e:
                        self.error(m.source, str(e))
                        continue
                    c_args = [c for a in args for c in a.c_args]
                    self.add_export(Export(name, group, c_args, iface.name, m.name, iface.depth, m.source, args))


def simulation(cell):
    mode, value = parse_simulation(cell)
    return Simulation(mode, value) if mode else None


def load(root):
    """Load and validate every *.model file below root; raise ModelError on any fault."""
    from model_checks import check_model

    loader = _Loader(root)
    loader.read_all()
    if not loader.errors:
        loader.resolve_defaults()
    if not loader.errors:
        loader.expand_uses()
    model = None
    if not loader.errors:
        attributes = loader.build_attributes()
        loader.build_wrapper_exports()
        model = Model(loader.interfaces, loader.enums, attributes, loader.exports, loader.families, loader.bases)
        loader.errors += check_model(model)
    if loader.errors:
        raise ModelError(loader.errors)
    return model


def default_root():
    """The repository's model/ folder, found from this file's place in tools/modelgen/."""
    return os.path.normpath(os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "model"))


__all__ = ["load", "default_root", "ModelError"]
