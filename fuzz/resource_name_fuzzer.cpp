// Resource descriptors as users and configuration stores write them.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "platform/visa/resource_name.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    visa::ResourceAddress address;
    visa::ParseResourceName(std::string_view(reinterpret_cast<const char*>(data), size), &address);
    return 0;
}
