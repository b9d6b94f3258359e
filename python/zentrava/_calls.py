"""Calling one exported function: Python arguments to C arguments and C results back.

Each parameter of a function has a kind (written by the generator); a slot of that
kind holds the C arguments of one call and turns what the driver stored into the
Python result. Outputs whose size the driver tells only afterwards (texts, arrays)
start from a safe size and the call is repeated once with the size it asked for.
"""

from __future__ import annotations

import ctypes
import enum
import operator
from typing import TYPE_CHECKING, Any, Callable, Dict, Iterator, Optional, Sequence, Tuple, Type

import numpy

from . import _library
from ._errors import WARNING_BASE, check

if TYPE_CHECKING:
    from ._nodes import Node

# Room for the longest trace the instrument measures; a larger result is read again.
ARRAY_ELEMENTS = 100001
BYTE_ELEMENTS = 1 << 20
TEXT_SIZE = 256


def encode(text: str) -> bytes:
    return text.encode("utf-8")


def decode(raw: bytes) -> str:
    return raw.decode("utf-8", "replace")


def convert_in(ctype: str, value: Any) -> Any:
    if ctype == "ViBoolean":
        return 1 if value else 0
    if ctype == "ViReal64":
        return float(value)
    if ctype == "IUnknown*":
        return value
    return operator.index(value)


def convert_out(ctype: str, kind: Optional[Type[enum.IntEnum]], value: Any) -> Any:
    if ctype == "ViBoolean":
        return bool(value)
    if kind is not None:
        try:
            return kind(value)
        except ValueError:
            return value
    return value


class Param:
    __slots__ = ("kind", "name", "ctype", "enum", "slot")

    def __init__(self, kind: str, name: str, ctype: Optional[str],
                 enum: Optional[Type[enum.IntEnum]]) -> None:
        self.kind, self.name, self.ctype, self.enum = kind, name, ctype or "", enum
        self.slot = SLOTS[kind]


class _Slot:
    output = False
    args: Tuple[Any, ...] = ()

    def __init__(self, param: Param, node: Node, value: Any) -> None:
        pass

    def grow(self, status: int) -> bool:
        return False

    def result(self) -> Any:
        return None


class _Session(_Slot):
    def __init__(self, param: Param, node: Node, value: Any) -> None:
        self.args = (node._driver._vi,)


class _Selector(_Slot):
    def __init__(self, param: Param, node: Node, value: Any) -> None:
        self.args = (node._selector,)


class _In(_Slot):
    def __init__(self, param: Param, node: Node, value: Any) -> None:
        self.args = (convert_in(param.ctype, value),)


class _TextIn(_Slot):
    def __init__(self, param: Param, node: Node, value: Any) -> None:
        if not isinstance(value, str):
            raise TypeError("%s takes str, not %s" % (param.name, type(value).__name__))
        self.args = (encode(value),)


class _RealArrayIn(_Slot):
    def __init__(self, param: Param, node: Node, value: Any) -> None:
        self.data = numpy.ascontiguousarray(value, dtype=numpy.float64).ravel()
        self.args = (len(self.data), self.data.ctypes.data_as(ctypes.POINTER(ctypes.c_double)))


class _ByteArrayIn(_Slot):
    def __init__(self, param: Param, node: Node, value: Any) -> None:
        data = bytes(value)
        self.data = (ctypes.c_ubyte * max(len(data), 1)).from_buffer_copy(data or b"\0")
        self.args = (len(data), self.data)


class _Scalar(_Slot):
    """An out or in-out scalar: a cell the driver writes into."""
    output = True

    def __init__(self, param: Param, node: Node, value: Any) -> None:
        self.param = param
        start = convert_in(param.ctype, value) if value is not None else 0
        self.cell = _library.c_type(param.ctype)(start)
        self.args = (ctypes.byref(self.cell),)

    def result(self) -> Any:
        return convert_out(self.param.ctype, self.param.enum, self.cell.value)


class _TextOut(_Slot):
    """(BufferSize, ViChar[]): the driver answers the size it needs when the text does not fit."""
    output = True

    def __init__(self, param: Param, node: Node, value: Any) -> None:
        self.allocate(TEXT_SIZE)

    def allocate(self, size: int) -> None:
        self.text = ctypes.create_string_buffer(size)
        self.args = (size, self.text)

    def grow(self, status: int) -> bool:
        if len(self.text) < status < WARNING_BASE:
            self.allocate(status)
            return True
        return False

    def result(self) -> str:
        return decode(self.text.value)


class _FixedTextOut(_Slot):
    """ViChar[256]."""
    output = True

    def __init__(self, param: Param, node: Node, value: Any) -> None:
        self.text = ctypes.create_string_buffer(256)
        self.args = (self.text,)

    def result(self) -> str:
        return decode(self.text.value)


class _TextRead(_Slot):
    """(BufferSize, ViChar[], ActualCount): raw text read from the instrument."""
    output = True

    def __init__(self, param: Param, node: Node, value: Any) -> None:
        self.text = ctypes.create_string_buffer(BYTE_ELEMENTS)
        self.count = ctypes.c_int32()
        self.args = (BYTE_ELEMENTS, self.text, ctypes.byref(self.count))

    def result(self) -> str:
        return decode(self.text.raw[:self.count.value])


class _ArrayOut(_Slot):
    """(BufferSize, Data[], ActualSize): the actual size is the result's full length."""
    output = True
    dtype: Any = numpy.float64
    element: Any = ctypes.c_double
    capacity = ARRAY_ELEMENTS

    def __init__(self, param: Param, node: Node, value: Any) -> None:
        self.allocate(self.capacity)

    def allocate(self, capacity: int) -> None:
        self.data = numpy.empty(capacity, dtype=self.dtype)
        self.actual = ctypes.c_int32()
        self.args = (capacity, self.data.ctypes.data_as(ctypes.POINTER(self.element)),
                     ctypes.byref(self.actual))

    def grow(self, status: int) -> bool:
        if self.actual.value > len(self.data):
            self.allocate(self.actual.value)
            return True
        return False

    def result(self) -> Any:
        n = self.actual.value
        return self.data if n == len(self.data) else self.data[:n].copy()


class _ByteArrayOut(_ArrayOut):
    dtype, element, capacity = numpy.uint8, ctypes.c_ubyte, BYTE_ELEMENTS

    def result(self) -> bytes:
        return bytes(self.data[:self.actual.value].tobytes())


class _ByteArrayInOut(_ByteArrayOut):
    """The caller's bytes go in and the driver's come back in the same buffer, whose size
    is also the input's: it starts as exactly the caller's bytes (none when none are
    given) and grows with zeros when the result needs more room."""

    def __init__(self, param: Param, node: Node, value: Any) -> None:
        self.value = bytes(value or b"")
        self.allocate(len(self.value))

    def allocate(self, capacity: int) -> None:
        super().allocate(capacity)
        self.data[:] = 0
        self.data[:len(self.value)] = numpy.frombuffer(self.value, dtype=numpy.uint8)


SLOTS: Dict[str, Type[_Slot]] = {
    "session": _Session, "selector": _Selector, "in": _In, "text in": _TextIn,
    "real array in": _RealArrayIn, "byte array in": _ByteArrayIn, "inout": _Scalar,
    "out": _Scalar, "text out": _TextOut, "text out 256": _FixedTextOut, "text read": _TextRead,
    "real array out": _ArrayOut, "byte array out": _ByteArrayOut,
    "byte array in-out": _ByteArrayInOut,
}
# Kinds the caller gives a value for; the optional ones default to zero or nothing.
REQUIRED_INPUTS = ("in", "text in", "real array in", "byte array in")
OPTIONAL_INPUTS = ("inout", "byte array in-out")
INPUTS = REQUIRED_INPUTS + OPTIONAL_INPUTS


def call(function: Callable[..., int], params: Sequence[Param], values: Sequence[Any],
         node: Node) -> Any:
    """Calls the C function with the node's session and selector and the caller's values
    (one for each parameter that takes an input, in order); returns its outputs."""
    given: Iterator[Any] = iter(values)
    slots = [p.slot(p, node, next(given) if p.kind in INPUTS else None) for p in params]
    vi = node._driver._vi
    while True:
        status = function(*[a for s in slots for a in s.args])
        check(vi, status)
        # Every slot must see the status; do not stop at the first one that grows.
        if not any([s.grow(status) for s in slots]):
            break
    results = tuple(s.result() for s in slots if s.output)
    if not results:
        return None
    return results[0] if len(results) == 1 else results
