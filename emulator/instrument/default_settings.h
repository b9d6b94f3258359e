#pragma once

#include <string>
#include <vector>

namespace emulator {

// What a freshly reset instrument answers for a setting nobody has written,
// by normalized header nodes. Unknown settings read as "0".
std::string DefaultSetting(const std::vector<std::string>& nodes, int tracePoints);

}  // namespace emulator
