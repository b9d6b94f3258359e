// Internal: in-process server modules, loaded once and kept loaded.
#pragma once

#include <string>

#include "zentrava/com.h"

namespace com_detail {

// Loads the module (if not yet loaded) and asks its DllGetClassObject.
HRESULT ClassObjectFromModule(const std::string& path, REFCLSID clsid, REFIID riid, void** ppv);

}  // namespace com_detail
