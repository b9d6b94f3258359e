#pragma once

#include <string>

namespace emulator {

// The standard SCPI text of an error code ("Undefined header" for -113).
std::string ErrorText(int code);
// The event status bit an error of this code sets.
int EventBitOf(int code);

}  // namespace emulator
