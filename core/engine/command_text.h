// Fills a member's command text: "%d" right after "TRAC" or "MARK" takes the
// trace or marker number, every other conversion the next value in order.
#pragma once

#include <span>
#include <string>
#include <string_view>

#include "zentrava/com.h"

namespace ztv::engine {

// One value for a command: a number for "%d", a double for "%g"-style
// conversions, a text for "%s".
struct CommandArg {
    enum class Kind { Integer, Real, Text } kind;
    LONG integer = 0;
    double real = 0;
    std::string text;
    // For the method trace: the parameter's name, and whether the integer is
    // a VARIANT_BOOL.
    const char* name = nullptr;
    bool boolean = false;

    static CommandArg Integer(LONG v) { return {Kind::Integer, v, 0, {}, nullptr, false}; }
    static CommandArg Real(double v) { return {Kind::Real, 0, v, {}, nullptr, false}; }
    static CommandArg Text(std::string v) { return {Kind::Text, 0, 0, std::move(v), nullptr, false}; }
};

// The repeated-capability numbers of the object the command is for (index + 1).
struct CommandNumbers {
    LONG trace = 1;
    LONG marker = 1;
};

std::string FormatCommandText(std::string_view format, const CommandNumbers& numbers,
                              std::span<const CommandArg> args = {});

}  // namespace ztv::engine
