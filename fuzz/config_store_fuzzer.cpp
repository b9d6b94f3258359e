// The IVI configuration store file.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "platform/ivi/store_xml_reader.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    ivi::StoreContents contents;
    std::string error;
    ivi::ReadStoreXml(std::string_view(reinterpret_cast<const char*>(data), size), contents, error);
    return 0;
}
