// Self-registration: the keys that let clients create the driver by class id
// or ProgID, its AppID, and the type library description beside the module.
#pragma once

#include <string>

#include "zentrava/com.h"

namespace ztv {

HRESULT RegisterServer();
HRESULT UnregisterServer();

// Full path of the loaded library, and of the type library description installed beside it.
std::string ModulePath();
std::string TypeLibraryPath();

}  // namespace ztv
