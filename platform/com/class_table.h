// Internal: the process-wide table of class objects registered with
// CoRegisterClassObject.
#pragma once

#include "zentrava/com.h"

namespace com_detail {

// The class object registered for clsid in one of the given contexts,
// AddRef'ed for the caller, or null.
IUnknown* FindRegisteredClassObject(REFCLSID clsid, DWORD context);

}  // namespace com_detail
