"""The building blocks of the generated object tree.

A node is one interface of the driver reached from a session: it carries the
driver and the repeated-capability levels (measurement, then marker names) that
make the selector of the C calls below it. Attributes, functions and children
are class attributes the generator writes; collections add item access.
"""

import collections
import ctypes
import enum
import operator

from . import _calls, _library
from ._errors import WARNING_BASE, error_for

AttributeInfo = collections.namedtuple("AttributeInfo", "id c_type writable path")
FunctionInfo = collections.namedtuple("FunctionInfo", "c_types path")

_NUMBER_CELLS = {"ViInt32": ctypes.c_int32, "ViReal64": ctypes.c_double, "ViBoolean": ctypes.c_uint16}


def read_attribute(vi, selector, attribute_id, c_type):
    """The value of an attribute, as int, float, bool or str."""
    lib = _library.LIB
    if c_type == "ViString":
        size = _calls.TEXT_SIZE
        while True:
            text = ctypes.create_string_buffer(size)
            status = lib.Ztv_GetAttributeViString(vi, selector, attribute_id, size, text)
            if status < 0:
                raise error_for(vi, status)
            if not size < status < WARNING_BASE:
                return _calls.decode(text.value)
            size = status
    cell = _NUMBER_CELLS[c_type]()
    status = getattr(lib, "Ztv_GetAttribute" + c_type)(vi, selector, attribute_id, ctypes.byref(cell))
    if status < 0:
        raise error_for(vi, status)
    return bool(cell.value) if c_type == "ViBoolean" else cell.value


def write_attribute(vi, selector, attribute_id, c_type, value):
    if c_type == "ViString":
        if not isinstance(value, str):
            raise TypeError("a text attribute takes str, not %s" % type(value).__name__)
        value = _calls.encode(value)
    else:
        value = _calls.convert_in(c_type, value)
    status = getattr(_library.LIB, "Ztv_SetAttribute" + c_type)(vi, selector, attribute_id, value)
    if status < 0:
        raise error_for(vi, status)


class _Member:
    """A class attribute of a node class that knows its own name."""

    name = None

    def __set_name__(self, owner, name):
        self.name = name


class Attribute(_Member):
    """An IVI-C attribute read and written as a Python property."""

    def __init__(self, attribute_id, c_type, writable, enum):
        self.id, self.c_type, self.writable, self.enum = attribute_id, c_type, writable, enum

    def __get__(self, node, owner=None):
        if node is None:
            return self
        value = read_attribute(node._driver._vi, node._selector, self.id, self.c_type)
        return value if self.enum is None else _calls.convert_out(self.c_type, self.enum, value)

    def __set__(self, node, value):
        if not self.writable:
            raise AttributeError("%s is read-only" % self.name)
        if isinstance(value, enum.IntEnum) and not isinstance(value, self.enum or ()):
            raise TypeError("%s takes %s, not %s" % (self.name, self.enum.__name__ if self.enum else "int",
                                                     type(value).__name__))
        write_attribute(node._driver._vi, node._selector, self.id, self.c_type, value)


class Function(_Member):
    """An exported C function, called as a method of the node that reaches it."""

    def __init__(self, c_name, params):
        self.c_name = c_name
        self.params = [_calls.Param(*p) for p in params]
        self.required = [p.name for p in self.params if p.kind in _calls.REQUIRED_INPUTS]
        self.optional = [p.name for p in self.params if p.kind in _calls.OPTIONAL_INPUTS]

    def signature(self):
        return "%s(%s)" % (self.name, ", ".join(self.required + ["%s=None" % n for n in self.optional]))

    def bind(self, args, kwargs):
        names = self.required + self.optional
        if len(args) > len(names):
            raise TypeError("%s takes at most %d arguments" % (self.signature(), len(names)))
        inputs = dict(zip(names, args))
        for name, value in kwargs.items():
            if name not in names or name in inputs:
                raise TypeError("%s: unexpected or repeated argument %r" % (self.signature(), name))
            inputs[name] = value
        missing = [n for n in self.required if n not in inputs]
        if missing:
            raise TypeError("%s: missing %s" % (self.signature(), ", ".join(missing)))
        return inputs

    def __get__(self, node, owner=None):
        if node is None:
            return self

        def bound(*args, **kwargs):
            return _calls.call(getattr(_library.LIB, self.c_name), self.params, self.bind(args, kwargs), node)

        bound.__name__ = self.name
        bound.__doc__ = "%s: calls %s" % (self.signature(), self.c_name)
        return bound


class Child(_Member):
    """A child interface; made on first use and kept by the parent node."""

    def __init__(self, node_class):
        self.node_class = node_class

    def __get__(self, node, owner=None):
        if node is None:
            return self
        child = self.node_class(node._driver, node._levels)
        node.__dict__[self.name] = child
        return child


class Node:
    def __init__(self, driver, levels):
        object.__setattr__(self, "_driver", driver)
        object.__setattr__(self, "_levels", levels)
        object.__setattr__(self, "_selector", ":".join(levels).encode("utf-8"))

    def __setattr__(self, name, value):
        # A misspelt setting must not pass silently as a new Python attribute.
        if not name.startswith("_") and not hasattr(type(self), name):
            raise AttributeError("%s has no attribute %r" % (type(self).__name__, name))
        object.__setattr__(self, name, value)

    def __repr__(self):
        where = " %r" % ":".join(self._levels) if self._levels else ""
        return "<zentrava %s%s>" % (type(self).__name__, where)


class Collection(Node):
    """Measurements or markers: items by name or by number from 1, in order, with len()."""

    _item_class = None
    _names = ()

    def __len__(self):
        return len(self._names)

    def __iter__(self):
        return (self[name] for name in self._names)

    def __contains__(self, name):
        return name in self._names

    def keys(self):
        return list(self._names)

    def __getitem__(self, key):
        if not isinstance(key, str):
            number = operator.index(key)
            if not 1 <= number <= len(self._names):
                raise IndexError("%s has items 1 to %d, not %d" % (type(self).__name__, len(self._names), number))
            key = self._names[number - 1]
        return self._item_class(self._driver, self._levels + (key,))
