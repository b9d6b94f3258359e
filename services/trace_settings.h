// What DriverSetup says about method tracing; the tracer reads it when a
// session starts.
#pragma once

#include <string>

namespace ztv {

struct TraceSettings {
    bool enabled = false;
    std::string name;        // requested file name; empty means the default name
    long sizeMax = 1000000;  // bytes
    bool arrays = false;
    long arraySizeMax = 10;  // elements
    long saveInterval = 1;   // minutes
    std::string transform;   // stylesheet
};

}  // namespace ztv
