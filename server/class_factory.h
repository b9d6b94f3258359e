#pragma once

#include "zentrava/com.h"

namespace ztv {

// The driver class's factory, created on first request and kept by the module.
IClassFactory* DriverClassObject();

}  // namespace ztv
