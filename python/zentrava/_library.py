"""Finding and loading libzentrava, and typing every exported function.

The library is looked for in this order: the file named by $ZENTRAVA_LIBRARY,
the library installed beside the package, the versioned library on the loader
path. The loaded library is the package's only global state.
"""

import ctypes
import os

SONAME = "libzentrava.so.1"

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


def c_type(name):
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


def _places():
    """(description, path to load) in lookup order."""
    chosen = os.environ.get("ZENTRAVA_LIBRARY")
    if chosen:
        return [("$ZENTRAVA_LIBRARY", chosen)]
    beside = os.path.join(os.path.dirname(os.path.abspath(__file__)), SONAME)
    return [("beside the package", beside), ("on the loader path", SONAME)]


def load(functions):
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
    raise ImportError("zentrava: cannot load the driver library; looked " + "; ".join(failures))


def _type_extensions(library):
    """Exported functions beyond the object model's."""
    wait = library.Ztv_WaitForServiceRequest
    wait.argtypes = [ctypes.c_uint32, ctypes.c_int32, ctypes.POINTER(ctypes.c_int16)]
    wait.restype = ctypes.c_int32
    snapshot = library.Ztv_Snapshot
    snapshot.argtypes = [ctypes.c_uint32, ctypes.c_char_p, ctypes.c_int32, ctypes.c_char_p]
    snapshot.restype = ctypes.c_int32


# Set once by the package when it is imported.
LIB = None
