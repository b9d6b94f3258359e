"""Python face of the Zentrava driver for the Q7310A and Q7310B signal source analyzers.

    import zentrava
    with zentrava.Driver("TCPIP0::10.0.0.7::hislip0::INSTR") as d:
        print(d.identity.instrument_model)
        d.attenuation = 10.5

The object tree, the enumerations and the C constants are generated from the
driver's model data. Every call goes through libzentrava's C face (ctypes);
a session is as thread-safe as the C face is: one Driver may be used from several
threads, each call is one C call on the session. The package keeps no state of
its own besides the loaded library.
"""

import ctypes

from . import _library, _model

_library.LIB = _library.load(_model.FUNCTIONS)

from ._model import *  # noqa: E402,F401,F403  constants, enumerations, ATTRIBUTES, FUNCTIONS
from ._driver import Driver  # noqa: E402,F401
from ._errors import (Error, InstrumentStatusError, InvalidValueError, ModelNotSupportedError,  # noqa: E402,F401
                      SelectorError, TimeoutError)


def library():
    """The loaded C library, every function typed (argtypes and restype set)."""
    return _library.LIB


def list_resources(options=""):
    """Every resource the driver could open now, as (resource, identity) pairs; the identity is the
    instrument's *IDN? reply, "" where none answered. options as for Ztv_ListResources, for example
    "ProbeTimeout=50" or "GPIBAdapter=ASRL/dev/ttyUSB0::INSTR"."""
    size = 256
    while True:
        buffer = ctypes.create_string_buffer(size)
        needed = _library.LIB.Ztv_ListResources(options.encode("utf-8"), size, buffer)
        if needed <= 0:
            break
        size = needed
    return [line.partition("\t")[::2] for line in buffer.value.decode("utf-8").splitlines()]
