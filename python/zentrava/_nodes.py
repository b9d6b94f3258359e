"""The building blocks of the generated object tree.

A node is one interface of the driver reached from a session: it carries the
driver and the repeated-capability levels (measurement, then marker names) that
make the selector of the C calls below it. The generator writes one class per
interface whose properties and methods call the typed helpers here.
"""

from __future__ import annotations

import ctypes
import enum
import numbers
import operator
from typing import (TYPE_CHECKING, Any, Dict, Generic, Iterator, NamedTuple, Sequence, Tuple, Type,
                    TypeVar, Union, cast)

import numpy
from numpy.typing import NDArray

from . import _calls, _library
from ._errors import WARNING_BASE, error_for

if TYPE_CHECKING:
    from ._driver import Zentrava

# What a real array argument takes: a sequence of numbers or a float64 array.
RealArray = Union[Sequence[float], NDArray[numpy.float64]]


class AttributeInfo(NamedTuple):
    id: int
    c_type: str
    writable: bool
    path: str


class FunctionInfo(NamedTuple):
    c_types: Tuple[str, ...]
    path: str


E = TypeVar("E", bound=enum.IntEnum)
N = TypeVar("N", bound="Node")


class Node:
    """One interface of a session; its properties and methods call the C face."""

    __slots__ = ("_driver", "_levels", "_selector", "_children")

    def __init__(self, driver: Zentrava, levels: Tuple[str, ...]) -> None:
        self._driver = driver
        self._levels = levels
        self._selector = ":".join(levels).encode("utf-8")
        self._children: Dict[type, Node] = {}

    def _child(self, kind: Type[N]) -> N:
        """A child interface, made on first use and kept."""
        child = self._children.get(kind)
        if child is None:
            child = self._children[kind] = kind(self._driver, self._levels)
        return cast(N, child)

    def __repr__(self) -> str:
        where = " %r" % ":".join(self._levels) if self._levels else ""
        return "<zentrava %s%s>" % (type(self).__name__, where)


class Item(Node):
    """One measurement or marker of a collection."""

    __slots__ = ()

    @property
    def name(self) -> str:
        """The repeated capability's physical name (Measurement1, Marker3)."""
        return self._levels[-1]


I = TypeVar("I", bound=Item)  # noqa: E741  the item class of a collection


class Collection(Node, Generic[I]):
    """Measurements or markers: items by name or by number from 1, in order, with len()."""

    __slots__ = ()
    _item_class: Type[I]
    _names: Tuple[str, ...] = ()

    def __len__(self) -> int:
        return len(self._names)

    def __iter__(self) -> Iterator[I]:
        return (self[name] for name in self._names)

    def __contains__(self, name: object) -> bool:
        return name in self._names

    def keys(self) -> Tuple[str, ...]:
        """The items' names, in order."""
        return self._names

    def __getitem__(self, key: int | str) -> I:
        if isinstance(key, str):
            if key not in self._names:
                raise KeyError("%s has no item %r; its items are %s"
                               % (type(self).__name__, key, ", ".join(self._names)))
        else:
            number = operator.index(key)
            if not 1 <= number <= len(self._names):
                raise IndexError("%s has items 1 to %d, not %d"
                                 % (type(self).__name__, len(self._names), number))
            key = self._names[number - 1]
        return self._item_class(self._driver, self._levels + (key,))


# ---- attributes: one reader and one writer per C type ------------------------------------

def _failed(node: Node, status: int) -> Exception:
    return error_for(node._driver._vi, status)


def _read(function: Any, node: Node, attribute_id: int, cell: Any) -> Any:
    """Reads a number attribute into cell with the C face's reader for its type."""
    status = function(node._driver._vi, node._selector, attribute_id, ctypes.byref(cell))
    if status < 0:
        raise _failed(node, status)
    return cell.value


def get_int(node: Node, attribute_id: int) -> int:
    value: int = _read(_library.LIB.Ztv_GetAttributeViInt32, node, attribute_id,
                       ctypes.c_int32())
    return value


def get_real(node: Node, attribute_id: int) -> float:
    value: float = _read(_library.LIB.Ztv_GetAttributeViReal64, node, attribute_id,
                         ctypes.c_double())
    return value


def get_bool(node: Node, attribute_id: int) -> bool:
    return bool(_read(_library.LIB.Ztv_GetAttributeViBoolean, node, attribute_id,
                      ctypes.c_uint16()))


def get_text(node: Node, attribute_id: int) -> str:
    size = _calls.TEXT_SIZE
    while True:
        text = ctypes.create_string_buffer(size)
        status = _library.LIB.Ztv_GetAttributeViString(node._driver._vi, node._selector,
                                                       attribute_id, size, text)
        if status < 0:
            raise _failed(node, status)
        if not size < status < WARNING_BASE:
            return _calls.decode(text.value)
        size = status  # the size the text needs


def get_enum(node: Node, attribute_id: int, kind: Type[E]) -> E:
    """The value as its enumeration; a number this driver does not name stays a number."""
    value = get_int(node, attribute_id)
    try:
        return kind(value)
    except ValueError:
        return cast(E, value)


def _set(node: Node, c_type: str, attribute_id: int, value: Any) -> None:
    status = getattr(_library.LIB, "Ztv_SetAttribute" + c_type)(
        node._driver._vi, node._selector, attribute_id, value)
    if status < 0:
        raise _failed(node, status)


def set_int(node: Node, attribute_id: int, value: int) -> None:
    _set(node, "ViInt32", attribute_id, operator.index(value))


def set_real(node: Node, attribute_id: int, value: float) -> None:
    if not isinstance(value, numbers.Real):
        raise TypeError("a real setting takes a number, not %s" % type(value).__name__)
    _set(node, "ViReal64", attribute_id, float(value))


def set_bool(node: Node, attribute_id: int, value: bool) -> None:
    _set(node, "ViBoolean", attribute_id, 1 if value else 0)


def set_text(node: Node, attribute_id: int, value: str) -> None:
    if not isinstance(value, str):
        raise TypeError("a text setting takes str, not %s" % type(value).__name__)
    _set(node, "ViString", attribute_id, _calls.encode(value))


def set_enum(node: Node, attribute_id: int, kind: Type[E], value: E) -> None:
    if isinstance(value, enum.IntEnum) and not isinstance(value, kind):
        raise TypeError("this setting takes %s, not %s" % (kind.__name__, type(value).__name__))
    set_int(node, attribute_id, value)


# ---- functions -----------------------------------------------------------------------------

class CFunction:
    """An exported C function as the generated methods call it: each parameter's kind says
    how a Python value becomes C arguments and how a result comes back."""

    __slots__ = ("c_name", "params")

    def __init__(self, c_name: str, params: Tuple[Tuple[str, str, str | None, Any], ...]) -> None:
        self.c_name = c_name
        self.params = [_calls.Param(*p) for p in params]

    def __call__(self, node: Node, *values: Any) -> Any:
        """values are the caller's inputs in the order of the C parameters that take one."""
        return _calls.call(getattr(_library.LIB, self.c_name), self.params, values, node)
