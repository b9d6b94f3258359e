#pragma once

#include <string>
#include <string_view>

namespace emulator {

// A small picture of the instrument screen (graticule and the phase-noise
// trace), encoded as "BMP" (24-bit, uncompressed) or "GIF"; other format
// names get the bitmap.
std::string ScreenImage(std::string_view format);

}  // namespace emulator
