#include "platform/visa/open_options.h"

#include <cstdlib>

#include "platform/text/number_codec.h"
#include "platform/visa/text_util.h"

namespace visa {

OpenOptions OpenOptions::Parse(std::string_view text) {
    OpenOptions options;
    while (!text.empty()) {
        const auto end = text.find_first_of(",;");
        const std::string_view entry = text.substr(0, end);
        text = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);
        const auto equals = entry.find('=');
        if (equals == std::string_view::npos) continue;
        options.entries_.emplace_back(std::string(codec::TrimBlanks(entry.substr(0, equals))),
                                      std::string(codec::TrimBlanks(entry.substr(equals + 1))));
    }
    return options;
}

std::optional<std::string> OpenOptions::Get(std::string_view key) const {
    // The last entry wins, so that appended options override earlier ones.
    for (auto it = entries_.rbegin(); it != entries_.rend(); ++it) {
        if (EqualsNoCase(it->first, key)) return it->second;
    }
    return std::nullopt;
}

Status OpenOptions::Port(std::string_view key, const char* environmentVariable,
                         std::optional<std::uint16_t>* port) const {
    std::string source = std::string(key);
    std::optional<std::string> text = Get(key);
    if (!text) {
        const char* fromEnvironment = std::getenv(environmentVariable);
        if (fromEnvironment == nullptr || *fromEnvironment == '\0') return Status::Ok();
        text = fromEnvironment;
        source = environmentVariable;
    }
    const auto value = ParseDecimal(*text, 1, 65535);
    if (!value) {
        return Status::Fail(E_VISA_INV_SETUP,
                            source + " must be a port number from 1 to 65535, not \"" + *text + "\".");
    }
    *port = static_cast<std::uint16_t>(*value);
    return Status::Ok();
}

}  // namespace visa
