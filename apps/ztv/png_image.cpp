#include "apps/ztv/png_image.h"

#include <png.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>

namespace ztv_tool {

namespace {

std::uint32_t Little(const std::vector<ViByte>& b, std::size_t at, int bytes) {
    std::uint32_t v = 0;
    for (int i = bytes - 1; i >= 0; --i) v = (v << 8) | b[at + static_cast<std::size_t>(i)];
    return v;
}

struct Pixels {
    std::uint32_t width = 0, height = 0;
    std::vector<png_byte> rgb;  // top row first
};

bool Decode(const std::vector<ViByte>& b, Pixels* out, std::string* error) {
    if (b.size() < 54 || b[0] != 'B' || b[1] != 'M') {
        *error = "the screen image is not a bitmap";
        return false;
    }
    const std::uint32_t offset = Little(b, 10, 4);
    const std::int32_t width = static_cast<std::int32_t>(Little(b, 18, 4));
    const std::int32_t height = static_cast<std::int32_t>(Little(b, 22, 4));
    const std::uint32_t bits = Little(b, 28, 2), compression = Little(b, 30, 4);
    if ((bits != 24 && bits != 32) || compression != 0 || width <= 0 || height == 0) {
        *error = "the screen bitmap is of a kind not converted (" + std::to_string(bits) + " bits per pixel)";
        return false;
    }
    out->width = static_cast<std::uint32_t>(width);
    out->height = static_cast<std::uint32_t>(std::abs(height));
    const std::size_t pixelBytes = bits / 8, rowBytes = (out->width * pixelBytes + 3) & ~std::size_t{3};
    if (offset + rowBytes * out->height > b.size()) {
        *error = "the screen bitmap is cut short";
        return false;
    }
    out->rgb.resize(static_cast<std::size_t>(out->width) * out->height * 3);
    for (std::uint32_t row = 0; row < out->height; ++row) {
        // Positive heights store the bottom row first.
        const std::uint32_t source = height > 0 ? out->height - 1 - row : row;
        for (std::uint32_t x = 0; x < out->width; ++x) {
            const std::size_t in = offset + source * rowBytes + x * pixelBytes;
            const std::size_t at = (static_cast<std::size_t>(row) * out->width + x) * 3;
            out->rgb[at] = b[in + 2];
            out->rgb[at + 1] = b[in + 1];
            out->rgb[at + 2] = b[in];
        }
    }
    return true;
}

}  // namespace

bool WriteBitmapAsPng(const std::vector<ViByte>& bitmap, const std::string& path, std::string* error) {
    Pixels pixels;
    if (!Decode(bitmap, &pixels, error)) return false;
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    image.width = pixels.width;
    image.height = pixels.height;
    image.format = PNG_FORMAT_RGB;
    if (!png_image_write_to_file(&image, path.c_str(), 0, pixels.rgb.data(), 0, nullptr)) {
        *error = "cannot write " + path + ": " + image.message;
        return false;
    }
    return true;
}

}  // namespace ztv_tool
