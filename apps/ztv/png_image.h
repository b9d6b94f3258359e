#pragma once

#include <string>
#include <vector>

#include "zentrava/Zentrava.h"

namespace ztv_tool {

// Converts a Windows bitmap (uncompressed, 24 or 32 bits per pixel) into a
// PNG file. False, with the reason in `error`, when the bitmap is of another
// kind or the file cannot be written.
bool WriteBitmapAsPng(const std::vector<ViByte>& bitmap, const std::string& path, std::string* error);

}  // namespace ztv_tool
