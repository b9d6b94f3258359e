#include "apps/log_plot.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace {

constexpr double kWidth = 900, kHeight = 560;
constexpr double kLeft = 80, kRight = 30, kTop = 50, kBottom = 60;

// "1 Hz", "100 kHz", "10 MHz": the label of a decade.
std::string DecadeLabel(int exponent) {
    static const char* const kUnits[] = {"Hz", "kHz", "MHz", "GHz"};
    const int group = std::clamp(exponent / 3, 0, 3);
    char text[32];
    std::snprintf(text, sizeof text, "%g %s", std::pow(10.0, exponent - 3 * group), kUnits[group]);
    return text;
}

struct Frame {
    double decadeLo, decadeHi, yLo, yHi;
    double X(double x) const {
        return kLeft + (std::log10(x) - decadeLo) / (decadeHi - decadeLo) * (kWidth - kLeft - kRight);
    }
    double Y(double y) const { return kTop + (yHi - y) / (yHi - yLo) * (kHeight - kTop - kBottom); }
};

void Line(FILE* f, double x1, double y1, double x2, double y2, const char* style) {
    std::fprintf(f, "<line x1=\"%.1f\" y1=\"%.1f\" x2=\"%.1f\" y2=\"%.1f\" %s/>\n", x1, y1, x2, y2, style);
}

void Text(FILE* f, double x, double y, const char* anchor, const std::string& text, const char* extra = "") {
    std::fprintf(f, "<text x=\"%.1f\" y=\"%.1f\" text-anchor=\"%s\" %s>%s</text>\n", x, y, anchor, extra, text.c_str());
}

void Grid(FILE* f, const Frame& frame) {
    const double plotLeft = kLeft, plotRight = kWidth - kRight, plotTop = kTop, plotBottom = kHeight - kBottom;
    for (int e = static_cast<int>(frame.decadeLo); e <= static_cast<int>(frame.decadeHi); ++e) {
        const double x = frame.X(std::pow(10.0, e));
        Line(f, x, plotTop, x, plotBottom, "stroke=\"#bbb\"");
        Text(f, x, plotBottom + 20, "middle", DecadeLabel(e));
        for (int m = 2; m <= 9 && e < frame.decadeHi; ++m) {
            const double minor = frame.X(m * std::pow(10.0, e));
            Line(f, minor, plotTop, minor, plotBottom, "stroke=\"#e6e6e6\"");
        }
    }
    const double step = frame.yHi - frame.yLo > 120 ? 20 : 10;
    for (double y = frame.yLo; y <= frame.yHi; y += step) {
        Line(f, plotLeft, frame.Y(y), plotRight, frame.Y(y), "stroke=\"#bbb\"");
        char label[16];
        std::snprintf(label, sizeof label, "%g", y);
        Text(f, plotLeft - 8, frame.Y(y) + 4, "end", label);
    }
    std::fprintf(f, "<rect x=\"%.1f\" y=\"%.1f\" width=\"%.1f\" height=\"%.1f\" fill=\"none\" stroke=\"#333\"/>\n",
                 plotLeft, plotTop, plotRight - plotLeft, plotBottom - plotTop);
}

}  // namespace

bool WriteLogPlotSvg(const char* path, const std::string& title, const std::vector<double>& x,
                     const std::vector<double>& y) {
    const std::size_t n = std::min(x.size(), y.size());
    if (n < 2 || x.front() <= 0.0) return false;
    const auto [lo, hi] = std::minmax_element(y.begin(), y.begin() + static_cast<long>(n));
    const Frame frame{std::floor(std::log10(x.front())), std::ceil(std::log10(x[n - 1])), std::floor(*lo / 10) * 10,
                      std::ceil(*hi / 10) * 10};
    FILE* f = std::fopen(path, "w");
    if (!f) return false;
    std::fprintf(f, "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"%g\" height=\"%g\" "
                    "font-family=\"sans-serif\" font-size=\"12\">\n", kWidth, kHeight);
    std::fprintf(f, "<rect width=\"100%%\" height=\"100%%\" fill=\"white\"/>\n");
    Grid(f, frame);
    std::fprintf(f, "<polyline fill=\"none\" stroke=\"#1f5fbf\" stroke-width=\"1.2\" points=\"");
    for (std::size_t i = 0; i < n; ++i) std::fprintf(f, "%.1f,%.1f ", frame.X(x[i]), frame.Y(y[i]));
    std::fprintf(f, "\"/>\n");
    Text(f, kWidth / 2, 30, "middle", title, "font-size=\"15\"");
    Text(f, (kLeft + kWidth - kRight) / 2, kHeight - 15, "middle", "Offset frequency");
    char rotate[64];
    std::snprintf(rotate, sizeof rotate, "transform=\"rotate(-90 20 %.1f)\"", (kTop + kHeight - kBottom) / 2);
    Text(f, 20, (kTop + kHeight - kBottom) / 2, "middle", "L(f) (dBc/Hz)", rotate);
    std::fprintf(f, "</svg>\n");
    return std::fclose(f) == 0;
}
