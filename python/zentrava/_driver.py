"""A driver session: the root of the object tree."""

import ctypes
import json

from . import _library
from ._errors import VI_NULL, check, error_for
from ._model import ATTRIBUTES, IZentrava
from ._nodes import read_attribute, write_attribute

_TYPE_OF_ID = {info.id: info.c_type for info in ATTRIBUTES.values()}


class Driver(IZentrava):
    """A session with one instrument, or a simulated one.

        with zentrava.Driver("TCPIP0::10.0.0.7::hislip0::INSTR") as d:
            d.attenuation = 10.5

    options is the driver's option string ("QueryInstrStatus=true, DriverSetup=Model=Q7310A");
    simulate=True adds Simulate=true to it, and then no resource is needed.
    """

    def __init__(self, resource="", id_query=True, reset=False, options="", simulate=False):
        super().__init__(self, ())
        self._vi = VI_NULL
        if simulate:
            options = "Simulate=true" + (", " + options if options else "")
        vi = ctypes.c_uint32()
        status = _library.LIB.Ztv_InitWithOptions(resource.encode("utf-8"), bool(id_query), bool(reset),
                                                  options.encode("utf-8"), ctypes.byref(vi))
        if status < 0:
            raise error_for(VI_NULL, status, "cannot open %r with options %r" % (resource, options))
        self._vi = vi.value
        self._open = True

    @property
    def session(self):
        """The C face's ViSession, for calls made directly into the library."""
        return self._vi

    def close(self):
        """Ends the session; closing again does nothing."""
        if not getattr(self, "_open", False):
            return
        self._open = False
        status = _library.LIB.Ztv_close(self._vi)
        if status < 0:
            raise error_for(self._vi, status)

    def __enter__(self):
        return self

    def __exit__(self, *exc):
        self.close()

    def __del__(self):
        if getattr(self, "_open", False) and _library.LIB is not None:
            _library.LIB.Ztv_close(self._vi)

    def wait_for_srq(self, timeout=10.0):
        """Waits up to timeout seconds for the instrument's service request and returns its
        status byte; zentrava.TimeoutError when none comes. HiSLIP waits without traffic,
        a raw socket or serial line polls *STB?. Enable the request first, for example with
        "*ESE 1;*SRE 32" and "*OPC" after starting a measurement."""
        status_byte = ctypes.c_int16()
        check(self._vi, _library.LIB.Ztv_WaitForServiceRequest(self._vi, int(timeout * 1000),
                                                               ctypes.byref(status_byte)))
        return status_byte.value & 0xFF

    def snapshot(self):
        """Every readable setting of the instrument as a dict (see ztv snapshot): "identity",
        "resource", "time", "settings" keyed as ztv get takes them, and "unreadable"."""
        size = 1 << 20
        while True:
            text = ctypes.create_string_buffer(size)
            status = _library.LIB.Ztv_Snapshot(self._vi, b"", size, text)
            if status <= size:
                break
            size = status * 2  # the settings are read anew and may have grown
        check(self._vi, status)
        return json.loads(text.value.decode("utf-8"))

    def get_attribute(self, attribute_id, selector=""):
        """Reads an attribute by its C constant (zentrava.ZTV_ATTR_...), typed by the attribute table."""
        return read_attribute(self._vi, selector.encode("utf-8"), attribute_id, self._type_of(attribute_id))

    def set_attribute(self, attribute_id, value, selector=""):
        write_attribute(self._vi, selector.encode("utf-8"), attribute_id, self._type_of(attribute_id), value)

    @staticmethod
    def _type_of(attribute_id):
        if attribute_id not in _TYPE_OF_ID:
            raise KeyError("no attribute with id %d" % attribute_id)
        return _TYPE_OF_ID[attribute_id]
