// Joining a COM apartment on behalf of a C caller.
#pragma once

#include "zentrava/com.h"

namespace ztv {

// Single-threaded preferred; a thread already in the multi-threaded
// apartment falls back to it. An already-joined thread counts as success.
inline bool JoinApartment() {
    if (SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED))) return true;
    return SUCCEEDED(CoInitializeEx(nullptr, COINIT_MULTITHREADED));
}

}  // namespace ztv
