"""The C++ COM signature of every object-model member, in one place.

Whatever calls into the generated interfaces (the interface headers, the member
bodies, the IVI-C wrappers) takes the function names, parameter lists and C++ types
from here, so that all of them agree.

    from cpp_signatures import member_signatures
    for sig in member_signatures(member, model):
        print(sig.declaration())      # 'HRESULT get_Enabled(VARIANT_BOOL* val)'

Rules:
- a property has a getter get_NAME (indices first, then the output 'val') and, when
  writable, a setter put_NAME (indices first, then the input 'val');
- a child object is a read-only property: get_NAME(Interface** val), a collection's
  Item takes its index first: get_Item(BSTR Name, IZentravaPNMeasurement** val);
- a method takes its parameters in declared order; a result that is not Void comes
  last as the output RESULT_NAME.
"""

from dataclasses import dataclass, field
from typing import Optional

# Name of a method's result parameter; property accessors call their value "val".
RESULT_NAME = "pVal"
VALUE_NAME = "val"

_SCALARS = {"Boolean": "VARIANT_BOOL", "Int32": "LONG", "Double": "double", "String": "BSTR"}
_ARRAYS = ("Double[]", "Byte[]")
# External interface types and their C++ spelling.
EXTERNAL_INTERFACES = {"Ivi.Visa.Interop.IFormattedIO488": "visa::IFormattedIO488"}


@dataclass
class CppParam:
    name: str
    model_type: str  # the model's type: Boolean, Int32, Double, String, an enum, Double[], Byte[], an interface
    direction: str  # in, out (getter value or method result), inout
    ctype: str  # the C++ type as declared, e.g. 'BSTR*', 'SAFEARRAY**', 'ZentravaTriggerSlopeEnum'
    is_result: bool = False  # the method's result or the getter's value


@dataclass
class CppSignature:
    interface: str
    member: object  # the model's Member
    function: str  # get_X, put_X or the method name
    kind: str  # get, put, method
    params: list = field(default_factory=list)

    @property
    def result(self) -> Optional[CppParam]:
        for p in self.params:
            if p.is_result:
                return p
        return None

    def parameter_list(self):
        return ", ".join("%s %s" % (p.ctype, p.name) for p in self.params)

    def declaration(self):
        return "HRESULT %s(%s)" % (self.function, self.parameter_list())

    def argument_list(self):
        return ", ".join(p.name for p in self.params)


def type_kind(model_type, model):
    """'scalar', 'enum', 'array', 'interface' or 'external' for a model type."""
    if model_type in _SCALARS:
        return "scalar"
    if model_type in model.enums:
        return "enum"
    if model_type in _ARRAYS:
        return "array"
    if model_type in EXTERNAL_INTERFACES:
        return "external"
    if model_type in model.interfaces:
        return "interface"
    raise ValueError("unknown model type %s" % model_type)


def value_type(model_type, model):
    """C++ type of an input value of the model type."""
    kind = type_kind(model_type, model)
    if kind == "scalar":
        return _SCALARS[model_type]
    if kind == "enum":
        return model_type
    if kind == "array":
        return "SAFEARRAY*"
    if kind == "external":
        return EXTERNAL_INTERFACES[model_type] + "*"
    return model_type + "*"


def cpp_type(model_type, direction, model):
    """C++ type of a parameter: inputs by value, outputs and in-out values by pointer."""
    base = value_type(model_type, model)
    return base if direction == "in" else base + "*"


def _param(name, model_type, direction, model, is_result=False):
    return CppParam(name, model_type, direction, cpp_type(model_type, direction, model), is_result)


def _indices(member, model):
    return [_param(p.name, p.type, "in", model) for p in member.indices]


def member_signatures(member, model):
    """The C++ functions of one member, in declaration order (getter before setter)."""
    iface = member.interface
    if member.kind == "child":
        return [CppSignature(iface, member, "get_" + member.name, "get",
                             _indices(member, model) + [_param(VALUE_NAME, member.target, "out", model, True)])]
    if member.kind == "property":
        sigs = [CppSignature(iface, member, "get_" + member.name, "get",
                             _indices(member, model) + [_param(VALUE_NAME, member.type, "out", model, True)])]
        if member.access == "ReadWrite":
            sigs.append(CppSignature(iface, member, "put_" + member.name, "put",
                                     _indices(member, model) + [_param(VALUE_NAME, member.type, "in", model)]))
        return sigs
    params = [_param(p.name, p.type, p.direction, model) for p in member.params]
    if member.result != "Void":
        params.append(_param(RESULT_NAME, member.result, "out", model, True))
    return [CppSignature(iface, member, member.name, "method", params)]


def interface_signatures(interface, model):
    """Every C++ function of an interface, in declared order (the vtable order)."""
    return [sig for m in interface.members for sig in member_signatures(m, model)]


__all__ = ["CppParam", "CppSignature", "RESULT_NAME", "VALUE_NAME", "EXTERNAL_INTERFACES", "type_kind",
           "value_type", "cpp_type", "member_signatures", "interface_signatures"]
