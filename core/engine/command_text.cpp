#include "core/engine/command_text.h"

#include <algorithm>
#include <cstdio>

#include "platform/text/number_codec.h"

namespace ztv::engine {
namespace {

bool IsFlag(char c) { return c == '-' || c == '+' || c == ' ' || c == '#' || c == '0'; }
bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// One conversion with printf rules; arguments of another kind are converted
// to the kind the conversion wants.
std::string Convert(const std::string& directive, char conversion, const CommandArg& arg) {
    char buffer[128];
    int n = 0;
    switch (conversion) {
        case 'd':
        case 'i': {
            const LONG value = arg.kind == CommandArg::Kind::Real ? static_cast<LONG>(arg.real) : arg.integer;
            n = std::snprintf(buffer, sizeof buffer, directive.c_str(), static_cast<int>(value));
            break;
        }
        case 's': {
            if (arg.kind == CommandArg::Kind::Text) {
                std::string text(std::snprintf(nullptr, 0, directive.c_str(), arg.text.c_str()), '\0');
                std::snprintf(text.data(), text.size() + 1, directive.c_str(), arg.text.c_str());
                return text;
            }
            const std::string number =
                arg.kind == CommandArg::Kind::Integer ? std::to_string(arg.integer) : std::to_string(arg.real);
            n = std::snprintf(buffer, sizeof buffer, directive.c_str(), number.c_str());
            break;
        }
        default: {
            const double value = arg.kind == CommandArg::Kind::Integer ? static_cast<double>(arg.integer) : arg.real;
            n = std::snprintf(buffer, sizeof buffer, directive.c_str(), value);
            break;
        }
    }
    return n < 0 ? std::string() : std::string(buffer, static_cast<std::size_t>(std::min<int>(n, sizeof buffer - 1)));
}

}  // namespace

std::string FormatCommandText(std::string_view format, const CommandNumbers& numbers,
                              std::span<const CommandArg> args) {
    // Most commands (every plain query) hold no directive: they go out as written.
    std::size_t i = format.find('%');
    if (i == std::string_view::npos) return std::string(format);
    const codec::CLocaleScope cLocale;  // the instrument reads the C locale's numbers
    std::string out(format.substr(0, i));
    out.reserve(format.size() + 16);
    std::size_t next = 0;
    for (; i < format.size(); ++i) {
        if (format[i] != '%') {
            const std::size_t plain = std::min(format.find('%', i), format.size());
            out.append(format.substr(i, plain - i));
            i = plain - 1;
            continue;
        }
        if (i + 1 < format.size() && format[i + 1] == '%') {
            out += '%';
            ++i;
            continue;
        }
        std::size_t end = i + 1;
        while (end < format.size() && IsFlag(format[end])) ++end;
        while (end < format.size() && (IsDigit(format[end]) || format[end] == '.')) ++end;
        if (end >= format.size()) {
            out.append(format.substr(i));
            break;
        }
        const std::string directive(format.substr(i, end - i + 1));
        const char conversion = format[end];
        const std::string_view before = format.substr(0, i);
        if (conversion == 'd' && before.ends_with("TRAC")) {
            out += std::to_string(numbers.trace);
        } else if (conversion == 'd' && before.ends_with("MARK")) {
            out += std::to_string(numbers.marker);
        } else if (next < args.size()) {
            out += Convert(directive, conversion, args[next++]);
        }
        i = end;
    }
    return out;
}

}  // namespace ztv::engine
