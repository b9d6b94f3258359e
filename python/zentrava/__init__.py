"""Zentrava: an IVI-Python driver for the Orvane Technologies Q7310A and Q7310B signal
source analyzers.

    import zentrava
    with zentrava.Zentrava("TCPIP0::10.0.0.7::hislip0::INSTR") as d:
        print(d.ivi_utility.instrument_model)
        d.attenuation = 10.5

The object tree, the enumerations and the C constants are generated from the
driver's model data, every member typed and documented. Every call goes through
libzentrava's C face (ctypes); a session is as thread-safe as the C face is: one
session may be used from several threads, each call is one C call on the session.
The package keeps no state of its own besides the loaded library.
"""

import ctypes

from . import _library, _model

_library.LIB = _library.load(_model.FUNCTIONS)

from ._model import *  # noqa: E402,F401,F403  constants, enumerations, classes, tables
# "X as X": the names this package gives its users (what type checkers call re-exported).
from ._driver import Driver as Driver, Options as Options, Zentrava as Zentrava  # noqa: E402
from ._errors import Error as Error, ErrorQueryResult as ErrorQueryResult  # noqa: E402
from ._errors import InstrumentStatusError as InstrumentStatusError  # noqa: E402
from ._errors import InvalidValueError as InvalidValueError  # noqa: E402
from ._errors import ModelNotSupportedError as ModelNotSupportedError  # noqa: E402
from ._errors import SelectorError as SelectorError, TimeoutError as TimeoutError  # noqa: E402
from ._ivi import IviDirectIo as IviDirectIo, IviUtility as IviUtility  # noqa: E402


def library() -> ctypes.CDLL:
    """The loaded C library, every function typed (argtypes and restype set)."""
    library: ctypes.CDLL = _library.LIB
    return library


def list_resources(options: str = "") -> list[tuple[str, str]]:
    """Every resource the driver could open now, as (resource, identity) pairs; the
    identity is the instrument's *IDN? reply, "" where none answered. options as for
    Ztv_ListResources, for example "ProbeTimeout=50" or
    "GPIBAdapter=ASRL/dev/ttyUSB0::INSTR"."""
    size = 256
    while True:
        buffer = ctypes.create_string_buffer(size)
        needed: int = _library.LIB.Ztv_ListResources(options.encode("utf-8"), size, buffer)
        if needed <= 0:
            break
        size = needed
    pairs = (line.partition("	") for line in buffer.value.decode("utf-8").splitlines())
    return [(resource, identity) for resource, _, identity in pairs]
