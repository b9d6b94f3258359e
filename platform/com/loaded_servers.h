// Internal: in-process servers linked into the process.
#pragma once

#include "zentrava/com.h"

namespace com_detail {

// Asks each loaded server in turn; CLASS_E_CLASSNOTAVAILABLE when none serves the class.
HRESULT ClassObjectFromLoadedServers(REFCLSID clsid, REFIID riid, void** ppv);

}  // namespace com_detail
