"""A driver session: the root of the object tree."""

from __future__ import annotations

import ctypes
import json
import warnings
from typing import Any, Optional, TypedDict, Union

from . import _library
from ._errors import VI_NULL, check, error_for
from ._ivi import IviDirectIo, IviUtility
from ._model import ATTRIBUTES, ZentravaBase
from ._nodes import get_bool, get_int, get_real, get_text, set_bool, set_int, set_real, set_text

_TYPE_OF_ID = {info.id: info.c_type for info in ATTRIBUTES.values()}
_READERS = {"ViInt32": get_int, "ViReal64": get_real, "ViBoolean": get_bool, "ViString": get_text}
_WRITERS = {"ViInt32": set_int, "ViReal64": set_real, "ViBoolean": set_bool, "ViString": set_text}


class Options(TypedDict, total=False):
    """Driver options of a session; left out, the driver's defaults hold."""
    simulate: bool
    range_check: bool
    cache: bool
    query_instr_status: bool
    record_coercions: bool
    interchange_check: bool
    driver_setup: str


# Each option's name in the driver's option string.
_OPTION_NAMES = {"simulate": "Simulate", "range_check": "RangeCheck", "cache": "Cache",
                 "query_instr_status": "QueryInstrStatus", "record_coercions": "RecordCoercions",
                 "interchange_check": "InterchangeCheck", "driver_setup": "DriverSetup"}


def option_string(options: Union[Options, str, None], simulate: bool = False) -> str:
    """The driver's option string for Options, an option string or nothing."""
    if options is None:
        text = ""
    elif isinstance(options, str):
        text = options
    else:
        unknown = sorted(set(options) - set(_OPTION_NAMES))
        if unknown:
            raise ValueError("unknown option %s; the options are %s"
                             % (", ".join(unknown), ", ".join(_OPTION_NAMES)))
        parts = []
        for key, value in options.items():
            if key == "driver_setup":
                parts.append("DriverSetup=%s" % value)  # the rest of the string, as it stands
            elif isinstance(value, bool):
                parts.append("%s=%s" % (_OPTION_NAMES[key], "true" if value else "false"))
            else:
                raise TypeError("option %s takes bool, not %s" % (key, type(value).__name__))
        # DriverSetup takes everything after it, so it comes last.
        text = ", ".join(sorted(parts, key=lambda part: part.startswith("DriverSetup=")))
    if simulate:
        text = "Simulate=true" + (", " + text if text else "")
    return text


class Zentrava(ZentravaBase):
    """A session with one Q7310A or Q7310B, or a simulated one.

        with zentrava.Zentrava("TCPIP0::10.0.0.7::hislip0::INSTR") as d:
            d.attenuation = 10.5

    options are Options ({"simulate": True, "query_instr_status": True}) or the driver's
    option string ("QueryInstrStatus=true, DriverSetup=Model=Q7310A"). simulate=True adds
    Simulate=true, and then no resource is needed.
    """

    __slots__ = ("_vi", "_open", "_utility", "_direct_io")

    def __init__(self, resource_name: str = "", id_query: bool = True, reset: bool = False,
                 options: Union[Options, str, None] = None, *, simulate: bool = False) -> None:
        super().__init__(self, ())
        self._open = False
        self._vi = VI_NULL
        text = option_string(options, simulate)
        vi = ctypes.c_uint32()
        status = _library.LIB.Ztv_InitWithOptions(resource_name.encode("utf-8"), bool(id_query),
                                                  bool(reset), text.encode("utf-8"),
                                                  ctypes.byref(vi))
        if status < 0:
            raise error_for(VI_NULL, status,
                            "cannot open %r with options %r" % (resource_name, text))
        self._vi = vi.value
        self._open = True
        self._utility = IviUtility(self)
        self._direct_io = IviDirectIo(self)

    @property
    def ivi_utility(self) -> IviUtility:
        """Identity, driver state, error queue and reset, as IVI-Python names them."""
        return self._utility

    @property
    def ivi_direct_io(self) -> IviDirectIo:
        """Commands and replies sent as they stand, and the I/O time-out."""
        return self._direct_io

    @property
    def session(self) -> int:
        """The C face's ViSession, for calls made directly into the library."""
        return self._vi

    def close(self) -> None:
        """Ends the session; closing again does nothing."""
        if not self._open:
            return
        self._open = False
        status = _library.LIB.Ztv_close(self._vi)
        if status < 0:
            raise error_for(self._vi, status)

    def __enter__(self) -> Zentrava:
        return self

    def __exit__(self, *exc: Any) -> None:
        self.close()

    def __del__(self) -> None:
        if getattr(self, "_open", False) and _library.LIB is not None:
            _library.LIB.Ztv_close(self._vi)

    def wait_for_srq(self, *, timeout_ms: int = 10000, timeout: Optional[float] = None) -> int:
        """Waits up to timeout_ms milliseconds for the instrument's service request and
        returns its status byte; zentrava.TimeoutError when none comes. HiSLIP waits without
        traffic, a raw socket or serial line polls *STB?. Enable the request first, for
        example with "*ESE 1;*SRE 32" and "*OPC" after starting a measurement.

        timeout (seconds) is the old form of timeout_ms and warns that it is deprecated."""
        if timeout is not None:
            warnings.warn("wait_for_srq(timeout=seconds) is deprecated: give timeout_ms, in "
                          "milliseconds like every time-out of the package", DeprecationWarning,
                          stacklevel=2)
            timeout_ms = round(timeout * 1000)
        status_byte = ctypes.c_int16()
        check(self._vi, _library.LIB.Ztv_WaitForServiceRequest(self._vi, int(timeout_ms),
                                                               ctypes.byref(status_byte)))
        return status_byte.value & 0xFF

    def snapshot(self) -> dict[str, Any]:
        """Every readable setting of the instrument as a dict (see ztv snapshot):
        "identity", "resource", "time", "settings" keyed as ztv get takes them,
        and "unreadable"."""
        size = 1 << 20
        while True:
            text = ctypes.create_string_buffer(size)
            status: int = _library.LIB.Ztv_Snapshot(self._vi, b"", size, text)
            if status <= size:
                break
            size = status * 2  # the settings are read anew and may have grown
        check(self._vi, status)
        result: dict[str, Any] = json.loads(text.value.decode("utf-8"))
        return result

    def get_attribute(self, attribute_id: int, selector: str = "") -> Union[int, float, bool, str]:
        """Reads an attribute by its C constant (zentrava.ZTV_ATTR_...), typed by the
        attribute table; selector names the measurement or marker ("Measurement1:Marker2")."""
        reader: Any = _READERS[self._type_of(attribute_id)]
        value: Union[int, float, bool, str] = reader(self._at(selector), attribute_id)
        return value

    def set_attribute(self, attribute_id: int, value: Union[int, float, bool, str],
                      selector: str = "") -> None:
        """Writes an attribute by its C constant, typed by the attribute table."""
        writer: Any = _WRITERS[self._type_of(attribute_id)]
        writer(self._at(selector), attribute_id, value)

    def _at(self, selector: str) -> ZentravaBase:
        return ZentravaBase(self, tuple(selector.split(":")) if selector else ())

    @staticmethod
    def _type_of(attribute_id: int) -> str:
        if attribute_id not in _TYPE_OF_ID:
            raise KeyError("no attribute with id %d" % attribute_id)
        return _TYPE_OF_ID[attribute_id]


Driver = Zentrava  # the name programs written before the IVI-Python names use
