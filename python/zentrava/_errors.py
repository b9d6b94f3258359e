"""Driver errors as Python exceptions: the status code and the driver's full text."""

from __future__ import annotations

import builtins
import ctypes
import dataclasses
from typing import Dict, List, Optional, Tuple, Type

from . import _library

# Warnings and errors of the C face (IVI-C codes); positive values below the
# warnings are buffer sizes a text output asks for.
WARNING_BASE = 0x3FFA0000
VI_NULL = 0
INSTRUMENT_STATUS = 0xBFFA0001
# An instrument that answers every query with an error must not hold the reader forever.
QUEUE_LIMIT = 100


@dataclasses.dataclass(frozen=True)
class ErrorQueryResult:
    """One entry of the instrument's error queue."""
    code: int
    message: str

    def __str__(self) -> str:
        return "%d: %s" % (self.code, self.message)


class Error(Exception):
    """A driver call failed. status is the C face's ViStatus, text the driver's description;
    the message may name what was being done first."""

    def __init__(self, status: int, text: str, doing: Optional[str] = None) -> None:
        super().__init__("%s: %s" % (doing, text) if doing else text)
        self.status = status
        self.text = text

    def __repr__(self) -> str:
        return "%s(0x%08X, %r)" % (type(self).__name__, self.status & 0xFFFFFFFF, self.text)


class TimeoutError(Error, builtins.TimeoutError):
    """The instrument did not answer in time, or an operation outlasted its limit."""


class InstrumentStatusError(Error):
    """The instrument reported errors. errors holds the entries drained from its error
    queue, which the text lists too."""

    def __init__(self, status: int, text: str, doing: Optional[str] = None,
                 errors: Tuple[ErrorQueryResult, ...] = ()) -> None:
        listed = "".join("\ninstrument error %s" % entry for entry in errors)
        super().__init__(status, text + listed, doing)
        self.errors = errors


class ModelNotSupportedError(Error):
    """The instrument model does not have this feature."""


class InvalidValueError(Error, ValueError):
    """A value the driver does not accept."""


class SelectorError(Error, LookupError):
    """A repeated-capability selector names no measurement or marker."""


_CLASSES: Dict[int, Type[Error]] = {
    0xBFFA4215: TimeoutError,  # I/O time-out
    0xBFFA4217: TimeoutError,  # maximum time of an operation exceeded
    0xBFFF0015: TimeoutError,  # VISA time-out (VI_ERROR_TMO)
    0x80040015: TimeoutError,  # VISA time-out as the COM face's HRESULT
    INSTRUMENT_STATUS: InstrumentStatusError,
    0xBFFA4216: ModelNotSupportedError,
    0xBFFA0010: InvalidValueError,
    0xBFFA0063: SelectorError,
    0xBFFA0064: SelectorError,
    0xBFFA0065: SelectorError,
    0xBFFA0066: SelectorError,
    0xBFFA0067: SelectorError,
}


# Statuses the C face returns without recording a text.
_UNRECORDED = {0xBFFF000E: "Invalid session: it was closed or never opened."}


def _recorded(vi: int) -> Tuple[int, Optional[str]]:
    """The error code and text recorded for a session (or for the thread with VI_NULL)."""
    code = ctypes.c_int32()
    lib = _library.LIB
    needed = lib.Ztv_GetError(vi, ctypes.byref(code), 0, None)
    if needed <= 0:
        return 0, None
    text = ctypes.create_string_buffer(needed)
    if lib.Ztv_GetError(vi, ctypes.byref(code), needed, text) != 0:
        return 0, None
    return code.value & 0xFFFFFFFF, text.value.decode("utf-8", "replace")


def _message_text(vi: int, status: int) -> str:
    text = ctypes.create_string_buffer(256)
    lib = _library.LIB
    if lib.Ztv_error_message(vi, status, text) < 0 and \
            lib.Ztv_error_message(VI_NULL, status, text) < 0:
        return ""
    return text.value.decode("utf-8", "replace")


def error_queue(vi: int, limit: int = QUEUE_LIMIT) -> List[ErrorQueryResult]:
    """Takes entries from the instrument's error queue, up to limit or to "No error" (code 0)."""
    entries: List[ErrorQueryResult] = []
    for _ in range(limit):
        code = ctypes.c_int32()
        message = ctypes.create_string_buffer(256)
        status = _library.LIB.Ztv_error_query(vi, ctypes.byref(code), message)
        if status < 0:
            raise error_for(vi, status, "reading the error queue")
        if code.value == 0:
            break
        entries.append(ErrorQueryResult(code.value, message.value.decode("utf-8", "replace")))
    return entries


def error_for(vi: int, status: int, doing: Optional[str] = None) -> Error:
    """The exception for a failed call on session vi (VI_NULL when there is none). The class
    comes from the status, or else from the error the session recorded with it."""
    code = status & 0xFFFFFFFF
    recorded, text = _recorded(vi) if vi else (0, None)
    if not text:
        recorded, text = _recorded(VI_NULL)
    if not text:
        text = _message_text(vi, status) or _UNRECORDED.get(code, "status 0x%08X" % code)
    kind = _CLASSES.get(code) or _CLASSES.get(recorded) or Error
    if kind is InstrumentStatusError and vi:
        try:
            entries = tuple(error_queue(vi))
        except Error:
            entries = ()  # the error at hand says more than why the queue could not be read
        return InstrumentStatusError(status, text, doing, entries)
    return kind(status, text, doing)


def check(vi: int, status: int) -> int:
    if status < 0:
        raise error_for(vi, status)
    return status
