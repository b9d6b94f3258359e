// Repeated-capability selectors of the C face ("Measurement2:Marker3").
#include <cstddef>
#include <cstdint>
#include <string>

#include "ivic/selector.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string selector(reinterpret_cast<const char*>(data), size);  // C strings end at the first NUL
    ztv::SelectorLevels(selector.c_str());
    return 0;
}
