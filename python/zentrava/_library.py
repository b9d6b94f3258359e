"""Finding and loading libzentrava, and typing every exported function.

The library is looked for in this order: the file named by $ZENTRAVA_LIBRARY,
the library installed beside the package, the library of the prefix the package
was built against (pip writes its library folder into the file PREFIX_FILE when
pkg-config knows zentrava), the versioned library on the loader path. The loaded
library is the package's only global state.
"""

from __future__ import annotations

import ctypes
import os
from typing import Any, List, Mapping, Tuple

SONAME = "libzentrava.so.1"
PREFIX_FILE = "prefix-libdir"
HINT = ("set ZENTRAVA_LIBRARY to the path of libzentrava.so.1, in the folder that "
        "`pkg-config --variable=libdir zentrava` names")

# C types of the exported functions' arguments.
_SCALARS = {
    "ViSession": ctypes.c_uint32,
    "ViAttr": ctypes.c_uint32,
    "ViStatus": ctypes.c_int32,
    "ViInt32": ctypes.c_int32,
    "ViInt16": ctypes.c_int16,
    "ViBoolean": ctypes.c_uint16,
    "ViReal64": ctypes.c_double,
    "ViByte": ctypes.c_ubyte,
    "ViConstString": ctypes.c_char_p,
    "ViRsrc": ctypes.c_char_p,
    "IUnknown*": ctypes.c_void_p,
}


def c_type(name: str) -> Any:
    """The ctypes type of a C argument type as the model data spells it."""
    if name in _SCALARS:
        return _SCALARS[name]
    if name.startswith("ViChar["):
        return ctypes.c_char_p
    if name.endswith("[]"):
        return ctypes.POINTER(_SCALARS[name[:-2]])
    if name.endswith("*"):
        return ctypes.POINTER(c_type(name[:-1]))
    raise ValueError("no ctypes type for %s" % name)


def _places() -> List[Tuple[str, str]]:
    """(description, path to load) in lookup order."""
    chosen = os.environ.get("ZENTRAVA_LIBRARY")
    if chosen:
        return [("$ZENTRAVA_LIBRARY", chosen)]
    package = os.path.dirname(os.path.abspath(__file__))
    places = [("beside the package", os.path.join(package, SONAME))]
    try:
        with open(os.path.join(package, PREFIX_FILE), encoding="utf-8") as recorded:
            places.append(("in the prefix the package was built against",
                           os.path.join(recorded.read().strip(), SONAME)))
    except FileNotFoundError:
        pass
    return places + [("on the loader path", SONAME)]


def load(functions: Mapping[str, Any]) -> ctypes.CDLL:
    failures = []
    for where, path in _places():
        try:
            library = ctypes.CDLL(path)
        except OSError as e:
            failures.append("%s (%s): %s" % (where, path, e))
            continue
        for name, info in functions.items():
            function = getattr(library, name)
            function.argtypes = [c_type(t) for t in info.c_types]
            function.restype = ctypes.c_int32
        _type_extensions(library)
        return library
    raise ImportError("zentrava: cannot load the driver library; looked " + "; ".join(failures)
                      + ".\nzentrava: " + HINT)


def _type_extensions(library: ctypes.CDLL) -> None:
    """Exported functions beyond the object model's."""
    wait = library.Ztv_WaitForServiceRequest
    wait.argtypes = [ctypes.c_uint32, ctypes.c_int32, ctypes.POINTER(ctypes.c_int16)]
    wait.restype = ctypes.c_int32
    listing = library.Ztv_ListResources
    listing.argtypes = [ctypes.c_char_p, ctypes.c_int32, ctypes.c_char_p]
    listing.restype = ctypes.c_int32
    snapshot = library.Ztv_Snapshot
    snapshot.argtypes = [ctypes.c_uint32, ctypes.c_char_p, ctypes.c_int32, ctypes.c_char_p]
    snapshot.restype = ctypes.c_int32


# Set once by the package when it is imported.
LIB: Any = None
