#pragma once

#include <string>

namespace emulator {

// The errors the instrument's own commands report.
constexpr int kDataTypeError = -104;
constexpr int kParameterNotAllowed = -108;
constexpr int kMissingParameter = -109;
constexpr int kUndefinedHeader = -113;
constexpr int kDataOutOfRange = -222;
constexpr int kIllegalParameterValue = -224;

// The standard SCPI text of an error code ("Undefined header" for -113).
std::string ErrorText(int code);
// The event status bit an error of this code sets.
int EventBitOf(int code);

}  // namespace emulator
