"""C argument lists of the exported IVI-C wrappers, derived from a member's COM signature.

A wrapper takes ViSession Vi, then (at depth 1 and 2) the selector string, then the C
form of each COM argument in COM order, then the C form of the method's result.
"""

from model_cells import CellError
from model_objects import CArg, ExportArg

_SCALAR_IN = {"String": ("text in", "ViConstString"), "Int32": ("integer in", "ViInt32"),
              "Double": ("real in", "ViReal64"), "Boolean": ("boolean in", "ViBoolean")}


def _param_arg(param, enums):
    typ, name = param.type, param.name
    if param.direction == "in":
        if typ in enums:
            return ExportArg("integer in", name, [CArg("in", name, "ViInt32")])
        if typ in _SCALAR_IN:
            kind, ctype = _SCALAR_IN[typ]
            return ExportArg(kind, name, [CArg("in", name, ctype)])
        if typ == "Double[]":
            return ExportArg("real array in", name, [CArg("in", "Count", "ViInt32"), CArg("in", "Data", "ViReal64[]")])
        if typ == "Byte[]":
            return ExportArg("byte array in", name, [CArg("in", "Count", "ViInt32"), CArg("in", "Data", "ViByte[]")])
    else:
        if typ == "Double":
            return ExportArg("reals in-out", name, [CArg("inout", name, "ViReal64*")])
        if typ == "String":
            return ExportArg("text out", name, [CArg("in", "BufferSize", "ViInt32"), CArg("out", name, "ViChar[]")])
        if typ == "Byte[]":
            return ExportArg("byte array in-out", name, [CArg("in", "BufferSize", "ViInt32"),
                                                         CArg("inout", "Data", "ViByte[]"),
                                                         CArg("out", "ActualSize", "ViInt32*")])
    raise CellError("no C form for parameter %s:%s (%s)" % (name, typ, param.direction))


def _result_arg(result):
    if result == "Void":
        return None
    if result in ("Double[]", "Byte[]"):
        element = "ViReal64[]" if result == "Double[]" else "ViByte[]"
        kind = "real array out" if result == "Double[]" else "byte array out"
        return ExportArg(kind, "", [CArg("in", "BufferSize", "ViInt32"), CArg("out", "Data", element),
                                    CArg("out", "ActualSize", "ViInt32*")])
    if result == "String":
        return ExportArg("text out", "", [CArg("in", "BufferSize", "ViInt32"), CArg("out", "Text", "ViChar[]")])
    raise CellError("no C form for result %s" % result)


def wrapper_args(member, enums, setter=False):
    """ExportArg list of the wrapper of a method, or of the get/put wrapper of an indexed property."""
    args = []
    if member.kind == "method":
        args = [_param_arg(p, enums) for p in member.params]
        result = _result_arg(member.result)
        if result:
            args.append(result)
    else:
        args = [_param_arg(p, enums) for p in member.indices]
        if member.type != "Int32" and member.type not in enums:
            raise CellError("indexed property wrappers carry integers, not %s" % member.type)
        if setter:
            args.append(ExportArg("integer in", "val", [CArg("in", "val", "ViInt32")]))
        else:
            args.append(ExportArg("integer out", "val", [CArg("out", "val", "ViInt32*")]))
    names = [c.name for a in args for c in a.c_args]
    if len(names) != len(set(names)):
        raise CellError("C argument names of the wrapper collide: %s" % ", ".join(names))
    return args
