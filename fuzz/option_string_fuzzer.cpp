// Option strings of Initialize, their DriverSetup part, and the VISA open
// options the DriverSetup text is handed to.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>

#include "core/option_parsing.h"
#include "platform/text/number_codec.h"
#include "platform/visa/open_options.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    for (const auto& [name, value] : ztv::ParseOptionPairs(text)) {
        ztv::ParseOptionBoolean(value);
        ztv::ParseDecimalInteger(value);
        ztv::EqualsIgnoreCase(codec::TrimBlanks(name), "DriverSetup");
    }
    const visa::OpenOptions options = visa::OpenOptions::Parse(text);
    std::optional<std::uint16_t> port;
    options.Port("VXI11Port", "ZENTRAVA_FUZZ_UNSET_PORT", &port);
    options.Port("HiSLIPPort", "ZENTRAVA_FUZZ_UNSET_PORT", &port);
    return 0;
}
