#include "emulator/instrument/screen_image.h"

#include <strings.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <vector>

#include "emulator/instrument/traces.h"

namespace emulator {

namespace {

constexpr int kWidth = 160;
constexpr int kHeight = 120;

// Palette indices of the drawing.
enum Color : std::uint8_t { kBackground, kGrid, kTrace };
constexpr std::uint8_t kRgb[3][3] = {{8, 8, 24}, {70, 70, 90}, {255, 220, 40}};

std::vector<std::uint8_t> Draw() {
    std::vector<std::uint8_t> pixels(kWidth * kHeight, kBackground);  // top row first
    for (int y = 0; y < kHeight; ++y) {
        for (int x = 0; x < kWidth; ++x) {
            if (x % 16 == 0 || y % 12 == 0 || x == kWidth - 1 || y == kHeight - 1) pixels[y * kWidth + x] = kGrid;
        }
    }
    Trace trace = MeasuredTrace(Application::PhaseNoise, 1, Sweep{0.0, 0.0, kWidth});
    int previous = -1;
    for (int x = 0; x < kWidth; ++x) {
        // -40 dBc/Hz at the top, -180 dBc/Hz at the bottom.
        double level = std::clamp((-40.0 - trace.y[static_cast<std::size_t>(x)]) / 140.0, 0.0, 1.0);
        int y = static_cast<int>(level * (kHeight - 1));
        int from = previous < 0 ? y : std::min(previous, y), to = previous < 0 ? y : std::max(previous, y);
        for (int row = from; row <= to; ++row) pixels[row * kWidth + x] = kTrace;
        previous = y;
    }
    return pixels;
}

void Put16(std::string& out, unsigned v) {
    out += static_cast<char>(v & 0xFF);
    out += static_cast<char>((v >> 8) & 0xFF);
}

void Put32(std::string& out, unsigned v) {
    Put16(out, v & 0xFFFF);
    Put16(out, v >> 16);
}

std::string Bitmap(const std::vector<std::uint8_t>& pixels) {
    constexpr unsigned rowBytes = (kWidth * 3 + 3) & ~3u;
    constexpr unsigned imageBytes = rowBytes * kHeight;
    std::string out = "BM";
    Put32(out, 54 + imageBytes);
    Put32(out, 0);
    Put32(out, 54);
    Put32(out, 40);  // BITMAPINFOHEADER
    Put32(out, kWidth);
    Put32(out, kHeight);
    Put16(out, 1);
    Put16(out, 24);
    Put32(out, 0);
    Put32(out, imageBytes);
    Put32(out, 2835);  // 72 dpi
    Put32(out, 2835);
    Put32(out, 0);
    Put32(out, 0);
    for (int y = kHeight - 1; y >= 0; --y) {  // bottom row first
        for (int x = 0; x < kWidth; ++x) {
            const std::uint8_t* rgb = kRgb[pixels[y * kWidth + x]];
            out += static_cast<char>(rgb[2]);
            out += static_cast<char>(rgb[1]);
            out += static_cast<char>(rgb[0]);
        }
        out.append(rowBytes - kWidth * 3, '\0');
    }
    return out;
}

// LZW stream that never grows its table: a clear code before the code width
// would have to change keeps every code 3 bits wide for a 4-colour palette.
std::string GifImageData(const std::vector<std::uint8_t>& pixels) {
    constexpr int kMinCodeSize = 2, kClear = 4, kEnd = 5, kCodeBits = 3;
    std::string codes;
    unsigned accumulator = 0;
    int bits = 0;
    auto emit = [&](unsigned code) {
        accumulator |= code << bits;
        bits += kCodeBits;
        while (bits >= 8) {
            codes += static_cast<char>(accumulator & 0xFF);
            accumulator >>= 8;
            bits -= 8;
        }
    };
    int sinceClear = 0;
    emit(kClear);
    for (std::uint8_t p : pixels) {
        // After a clear, each literal adds one table entry; the width would grow at 8.
        if (sinceClear == 2) {
            emit(kClear);
            sinceClear = 0;
        }
        emit(p);
        ++sinceClear;
    }
    emit(kEnd);
    if (bits > 0) codes += static_cast<char>(accumulator & 0xFF);

    std::string out(1, static_cast<char>(kMinCodeSize));
    for (std::size_t i = 0; i < codes.size(); i += 255) {
        std::size_t n = std::min<std::size_t>(255, codes.size() - i);
        out += static_cast<char>(n);
        out.append(codes, i, n);
    }
    out += '\0';
    return out;
}

std::string Gif(const std::vector<std::uint8_t>& pixels) {
    std::string out = "GIF89a";
    Put16(out, kWidth);
    Put16(out, kHeight);
    out += static_cast<char>(0x81);  // global colour table of 4 entries
    out += '\0';
    out += '\0';
    for (int i = 0; i < 4; ++i) {
        for (int c = 0; c < 3; ++c) out += static_cast<char>(i < 3 ? kRgb[i][c] : 0);
    }
    out += ',';
    Put16(out, 0);
    Put16(out, 0);
    Put16(out, kWidth);
    Put16(out, kHeight);
    out += '\0';
    out += GifImageData(pixels);
    out += ';';
    return out;
}

}  // namespace

std::string ScreenImage(std::string_view format) {
    std::vector<std::uint8_t> pixels = Draw();
    if (format.size() == 3 && strncasecmp(format.data(), "GIF", 3) == 0) return Gif(pixels);
    return Bitmap(pixels);
}

}  // namespace emulator
