"""The classes IVI-Python asks every driver for: the utility and the direct I/O of a session."""

from __future__ import annotations

import ctypes
from typing import (TYPE_CHECKING, Callable, Generic, List, Optional, Tuple, TypeVar, Union,
                    overload)

from . import _calls, _library
from ._errors import INSTRUMENT_STATUS, ErrorQueryResult, InstrumentStatusError, check, error_queue
from ._model import (IVI_ATTR_INSTRUMENT_FIRMWARE_REVISION, IVI_ATTR_INSTRUMENT_MANUFACTURER,
                     IVI_ATTR_INSTRUMENT_MODEL, IVI_ATTR_QUERY_INSTRUMENT_STATUS,
                     IVI_ATTR_SIMULATE,
                     IVI_ATTR_SPECIFIC_DRIVER_REVISION, IVI_ATTR_SPECIFIC_DRIVER_VENDOR,
                     IVI_ATTR_SUPPORTED_INSTRUMENT_MODELS, ZTV_ATTR_SYSTEM_SERIAL_NUMBER,
                     ZTV_ATTR_SYSTEM_TIMEOUT_MILLISECONDS)
from ._nodes import get_bool, get_int, get_text, set_int

if TYPE_CHECKING:
    from ._driver import Zentrava


_T = TypeVar("_T")


class _SessionAttribute(Generic[_T]):
    """A read-only property of IviUtility: one attribute of the session, read with `read`."""

    def __init__(self, read: Callable[[Zentrava, int], _T], attribute: int,
                 doc: Optional[str] = None) -> None:
        self._read = read
        self._attribute = attribute
        self.__doc__ = doc

    @overload
    def __get__(self, utility: None, owner: type) -> _SessionAttribute[_T]: ...

    @overload
    def __get__(self, utility: IviUtility, owner: type) -> _T: ...

    def __get__(self, utility: Optional[IviUtility],
                owner: type) -> Union[_T, _SessionAttribute[_T]]:
        if utility is None:
            return self
        return self._read(utility._driver, self._attribute)


class IviUtility:
    """Identity, driver state, the instrument's error queue and reset of one session."""

    __slots__ = ("_driver",)

    def __init__(self, driver: Zentrava) -> None:
        self._driver = driver

    driver_version = _SessionAttribute(get_text, IVI_ATTR_SPECIFIC_DRIVER_REVISION,
                                       "The driver's version, major.minor.build[.internal].")
    driver_vendor = _SessionAttribute(get_text, IVI_ATTR_SPECIFIC_DRIVER_VENDOR)
    instrument_manufacturer = _SessionAttribute(get_text, IVI_ATTR_INSTRUMENT_MANUFACTURER)
    instrument_model = _SessionAttribute(get_text, IVI_ATTR_INSTRUMENT_MODEL)
    instrument_serial_number = _SessionAttribute(get_text, ZTV_ATTR_SYSTEM_SERIAL_NUMBER)
    instrument_firmware = _SessionAttribute(get_text, IVI_ATTR_INSTRUMENT_FIRMWARE_REVISION)
    query_instrument_status_enabled = _SessionAttribute(
        get_bool, IVI_ATTR_QUERY_INSTRUMENT_STATUS,
        "Whether every call that reaches the instrument checks its status afterwards.")
    simulation_enabled = _SessionAttribute(get_bool, IVI_ATTR_SIMULATE)

    @property
    def supported_instrument_models(self) -> Tuple[str, ...]:
        """The models as the instrument names itself, one per element."""
        return tuple(get_text(self._driver, IVI_ATTR_SUPPORTED_INSTRUMENT_MODELS).split(","))

    def error_query(self) -> Optional[ErrorQueryResult]:
        """The oldest entry of the instrument's error queue, taken from it; None when empty."""
        entries = error_queue(self._driver.session, 1)
        return entries[0] if entries else None

    def error_query_all(self) -> List[ErrorQueryResult]:
        """Every entry of the instrument's error queue, oldest first, which is then empty."""
        return error_queue(self._driver.session)

    def raise_on_device_error(self) -> None:
        """Drains the error queue and raises zentrava.InstrumentStatusError listing the
        entries when there are any."""
        entries = self.error_query_all()
        if entries:
            raise InstrumentStatusError(INSTRUMENT_STATUS, "The instrument reported %d error%s."
                                        % (len(entries), "" if len(entries) == 1 else "s"),
                                        errors=tuple(entries))

    def reset(self) -> None:
        """Places the instrument in its known state (*RST) and sets it up for the driver."""
        check(self._driver.session, _library.LIB.Ztv_reset(self._driver.session))


class IviDirectIo:
    """Commands and replies exchanged with the instrument as they stand. The C face reads a
    reply whole; what read_bytes leaves of it is what the next read returns first."""

    __slots__ = ("_driver", "_rest")

    def __init__(self, driver: Zentrava) -> None:
        self._driver = driver
        self._rest = b""

    @property
    def session(self) -> int:
        """The C face's ViSession of this session."""
        return self._driver.session

    @property
    def io_timeout_ms(self) -> int:
        """The I/O time-out in milliseconds, of these calls and of the driver's own."""
        return get_int(self._driver, ZTV_ATTR_SYSTEM_TIMEOUT_MILLISECONDS)

    @io_timeout_ms.setter
    def io_timeout_ms(self, timeout_ms: int) -> None:
        set_int(self._driver, ZTV_ATTR_SYSTEM_TIMEOUT_MILLISECONDS, timeout_ms)

    def write_string(self, data: str) -> None:
        """Sends the text as it stands; add the line feed that ends a command."""
        self.write_bytes(_calls.encode(data))

    def write_bytes(self, data: bytes) -> None:
        """Sends the bytes as they stand. The C face takes a terminated text: no zero bytes."""
        if b"\0" in data:
            raise ValueError("direct I/O cannot send a zero byte")
        vi = self._driver.session
        check(vi, _library.LIB.Ztv_SystemWrite(vi, bytes(data)))

    def read_string(self) -> str:
        """Reads one reply, its ending line feed included."""
        return _calls.decode(self._reply())

    def read_bytes(self, count: int) -> bytes:
        """Reads at most count bytes of a reply."""
        reply = self._reply()
        self._rest = reply[count:]
        return reply[:count]

    def _reply(self) -> bytes:
        if self._rest:
            reply, self._rest = self._rest, b""
            return reply
        vi = self._driver.session
        size = _calls.BYTE_ELEMENTS
        buffer = ctypes.create_string_buffer(size)
        actual = ctypes.c_int32()
        check(vi, _library.LIB.Ztv_SystemRead(vi, size, buffer, ctypes.byref(actual)))
        return buffer.raw[:actual.value]
