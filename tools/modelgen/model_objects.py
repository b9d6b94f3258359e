"""Plain objects of the loaded object model (see model.py for loading)."""

from dataclasses import dataclass, field
from typing import Optional

DEPTH = {"root": 0, "measurement": 1, "marker": 2}

# IVI-C value type of a property type; enumerations travel as ViInt32.
ATTRIBUTE_TYPES = {"Boolean": "ViBoolean", "Int32": "ViInt32", "Double": "ViReal64", "String": "ViString"}


def _named(items, name):
    """The item of that name, or None."""
    return next((item for item in items if item.name == name), None)


@dataclass
class Source:
    path: str
    line: int

    def __str__(self):
        return "%s:%d" % (self.path, self.line)


@dataclass
class Param:
    name: str
    type: str
    direction: str  # "in" or "inout"


@dataclass
class Simulation:
    mode: str  # "last" (last value set, else value) or "fixed"
    value: str


@dataclass
class Attribute:
    constant: str
    id: int
    offset: int
    base: str
    ctype: str  # ViBoolean, ViInt32, ViReal64, ViString
    access: str  # Read or ReadWrite
    depth: int
    interface: str  # owning interface (an IIvi* one for inherent attributes)
    member: str
    flags: dict
    source: Source


@dataclass
class CArg:
    direction: str  # in, out, inout
    name: str
    ctype: str


@dataclass
class ExportArg:
    kind: str  # "text in", "real array out", ... ; the C form of one COM argument
    param: str  # COM parameter name ("" for a method result)
    c_args: list


@dataclass
class Export:
    name: str
    group: str  # session, accessor, name, io, register, method
    c_args: list  # list of CArg, without the leading session and selector arguments for wrappers
    interface: Optional[str]
    member: Optional[str]
    depth: int
    source: Source
    args: list = field(default_factory=list)  # ExportArg per COM argument (wrappers only)


@dataclass
class Member:
    kind: str  # property, method, child
    name: str
    interface: str
    models: str
    flags: dict
    source: Source
    # property / child
    type: Optional[str] = None
    indices: list = field(default_factory=list)  # [Param] of an indexed property or child
    access: Optional[str] = None
    query: object = None  # list of command texts, or a marker string ("-", "(custom)", "(collection)")
    setting: object = None
    simulation: Optional[Simulation] = None
    attribute: Optional[Attribute] = None
    # method
    params: list = field(default_factory=list)
    result: Optional[str] = None
    sends: object = None
    exports: list = field(default_factory=list)
    # child
    target: Optional[str] = None
    template_source: Optional[Source] = None

    @property
    def custom(self):
        """Name of the hand-written body, or None for a member built from the generic pattern."""
        if "custom" in self.flags:
            return self.flags["custom"]
        if self.query == "(collection)":
            return "collection"
        return None

    @property
    def key(self):
        return "%s.%s" % (self.interface, self.name)


@dataclass
class Interface:
    name: str
    object: str  # root, measurement, marker
    app: Optional[str]
    source: Source
    members: list = field(default_factory=list)
    template: Optional[str] = None

    @property
    def depth(self):
        return DEPTH[self.object]

    @property
    def children(self):
        return [m for m in self.members if m.kind == "child"]

    @property
    def properties(self):
        return [m for m in self.members if m.kind == "property"]

    @property
    def methods(self):
        return [m for m in self.members if m.kind == "method"]

    def member(self, name):
        return _named(self.members, name)


@dataclass
class EnumValue:
    name: str
    number: int
    token: Optional[str]
    models: str
    constant: str
    source: Source
    # What a hand-written member sends for this value (None: nothing), and whether the status
    # register it names has only its event and enable parts.
    command: Optional[str] = None
    event_only: bool = False


@dataclass
class Enum:
    name: str
    has_tokens: bool
    reply_length: int
    source: Source
    values: list = field(default_factory=list)

    def value(self, name):
        return _named(self.values, name)


@dataclass
class Family:
    app: str
    mnemonic: str
    trace: str  # "TRAC1" or "TRAC%d"
    measurements: int
    markers: int
    models: str
    measurement_class: str
    measurement_clsid: str
    marker_class: str
    marker_clsid: str
    source: Source
    # Start of the attribute names its bindings derive: ZTV_ATTR_APPLICATION_PHASENOISE_MEASUREMENT.
    attributes: Optional[str] = None


@dataclass
class Model:
    interfaces: dict  # name -> Interface, in file order
    enums: dict  # name -> Enum
    attributes: list  # every Attribute, sorted by id
    exports: dict  # name -> Export
    families: dict  # app -> Family
    bases: dict  # base constant -> value

    def interface(self, name):
        return self.interfaces[name]

    def member(self, key):
        iface, _, name = key.partition(".")
        return self.interfaces[iface].member(name)

    def attribute(self, constant):
        for a in self.attributes:
            if a.constant == constant:
                return a
        return None
