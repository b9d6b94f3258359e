"""Driver errors as Python exceptions: the status code and the driver's full text."""

import builtins
import ctypes

from . import _library

# Warnings and errors of the C face (IVI-C codes); positive values below the
# warnings are buffer sizes a text output asks for.
WARNING_BASE = 0x3FFA0000
VI_NULL = 0


class Error(Exception):
    """A driver call failed. status is the C face's ViStatus, text the driver's description;
    the message may name what was being done first."""

    def __init__(self, status, text, doing=None):
        super().__init__("%s: %s" % (doing, text) if doing else text)
        self.status = status
        self.text = text

    def __repr__(self):
        return "%s(0x%08X, %r)" % (type(self).__name__, self.status & 0xFFFFFFFF, self.text)


class TimeoutError(Error, builtins.TimeoutError):
    """The instrument did not answer in time, or an operation outlasted its limit."""


class InstrumentStatusError(Error):
    """The instrument reported errors; read them with system.get_error_code() or error_query()."""


class ModelNotSupportedError(Error):
    """The instrument model does not have this feature."""


class InvalidValueError(Error, ValueError):
    """A value the driver does not accept."""


class SelectorError(Error, LookupError):
    """A repeated-capability selector names no measurement or marker."""


_CLASSES = {
    0xBFFA4215: TimeoutError,  # I/O time-out
    0xBFFA4217: TimeoutError,  # maximum time of an operation exceeded
    0xBFFF0015: TimeoutError,  # VISA time-out
    0xBFFA0001: InstrumentStatusError,
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


def _recorded_text(vi):
    """The error text recorded for a session (or for the thread with VI_NULL), or None."""
    code = ctypes.c_int32()
    lib = _library.LIB
    needed = lib.Ztv_GetError(vi, ctypes.byref(code), 0, None)
    if needed <= 0:
        return None
    text = ctypes.create_string_buffer(needed)
    if lib.Ztv_GetError(vi, ctypes.byref(code), needed, text) != 0:
        return None
    return text.value.decode("utf-8", "replace")


def _message_text(vi, status):
    text = ctypes.create_string_buffer(256)
    lib = _library.LIB
    if lib.Ztv_error_message(vi, status, text) < 0 and lib.Ztv_error_message(VI_NULL, status, text) < 0:
        return ""
    return text.value.decode("utf-8", "replace")


def error_for(vi, status, doing=None):
    """The exception for a failed call on session vi (VI_NULL when there is none)."""
    code = status & 0xFFFFFFFF
    text = _recorded_text(vi) if vi else None
    if not text:
        text = _recorded_text(VI_NULL)
    if not text:
        text = _message_text(vi, status) or _UNRECORDED.get(code, "status 0x%08X" % code)
    return _CLASSES.get(code, Error)(status, text, doing)


def check(vi, status):
    if status < 0:
        raise error_for(vi, status)
    return status
