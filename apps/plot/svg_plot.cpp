#include "apps/plot/svg_plot.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <string>

#include "apps/text/number_text.h"

namespace {

using apptext::Fixed;
using apptext::General;

constexpr double kWidth = 900, kHeight = 560;
constexpr double kLeft = 80, kRight = 30, kTop = 50, kBottom = 60;

// "1 Hz", "100 kHz", "10 MHz": the label of a decade of frequency.
std::string DecadeLabel(int exponent) {
    static const char* const kUnits[] = {"Hz", "kHz", "MHz", "GHz"};
    const int group = std::clamp(exponent / 3, 0, 3);
    return General(std::pow(10.0, exponent - 3 * group)) + " " + kUnits[group];
}

std::string Number(double value) { return General(std::abs(value) < 1e-12 ? 0.0 : value); }

// Positions in the drawing, to a tenth of a pixel.
std::string Coordinate(double value) { return Fixed(value, 1); }

// Text inside SVG: the characters XML gives a meaning escaped.
std::string Escaped(const std::string& text) {
    std::string out;
    for (char c : text) {
        if (c == '<')
            out += "&lt;";
        else if (c == '>')
            out += "&gt;";
        else if (c == '&')
            out += "&amp;";
        else if (c == '"')
            out += "&quot;";
        else
            out += c;
    }
    return out;
}

// A step of 1, 2 or 5 times a power of ten that cuts the span into about `parts`.
double NiceStep(double span, int parts) {
    const double raw = span / parts;
    const double power = std::pow(10.0, std::floor(std::log10(raw)));
    for (double m : {1.0, 2.0, 5.0}) {
        if (m * power >= raw) return m * power;
    }
    return 10.0 * power;
}

struct Axis {
    double lo, hi;
    bool log;
    double Fraction(double v) const { return log ? (std::log10(v) - lo) / (hi - lo) : (v - lo) / (hi - lo); }
};

// Axis limits: whole decades on a logarithmic axis, whole steps otherwise.
Axis MakeAxis(double lo, double hi, bool log) {
    if (log)
        return {std::floor(std::log10(lo)), std::max(std::ceil(std::log10(hi)), std::floor(std::log10(lo)) + 1), true};
    if (hi <= lo) {
        lo -= 1;
        hi += 1;
    }
    const double step = NiceStep(hi - lo, 8);
    return {std::floor(lo / step) * step, std::ceil(hi / step) * step, false};
}

struct Frame {
    Axis x, y;
    double X(double v) const { return kLeft + x.Fraction(v) * (kWidth - kLeft - kRight); }
    double Y(double v) const { return kHeight - kBottom - y.Fraction(v) * (kHeight - kTop - kBottom); }
};

void Line(FILE* f, double x1, double y1, double x2, double y2, const char* style) {
    std::fprintf(f, "<line x1=\"%s\" y1=\"%s\" x2=\"%s\" y2=\"%s\" %s/>\n", Coordinate(x1).c_str(),
                 Coordinate(y1).c_str(), Coordinate(x2).c_str(), Coordinate(y2).c_str(), style);
}

void Text(FILE* f, double x, double y, const char* anchor, const std::string& text, const char* extra = "") {
    std::fprintf(f, "<text x=\"%s\" y=\"%s\" text-anchor=\"%s\" %s>%s</text>\n", Coordinate(x).c_str(),
                 Coordinate(y).c_str(), anchor, extra, Escaped(text).c_str());
}

void XGrid(FILE* f, const Frame& frame, double top, double bottom) {
    if (frame.x.log) {
        for (int e = static_cast<int>(frame.x.lo); e <= static_cast<int>(frame.x.hi); ++e) {
            const double x = frame.X(std::pow(10.0, e));
            Line(f, x, top, x, bottom, "stroke=\"#bbb\"");
            Text(f, x, bottom + 20, "middle", DecadeLabel(e));
            for (int m = 2; m <= 9 && e < frame.x.hi; ++m) {
                const double minor = frame.X(m * std::pow(10.0, e));
                Line(f, minor, top, minor, bottom, "stroke=\"#e6e6e6\"");
            }
        }
        return;
    }
    const double step = NiceStep(frame.x.hi - frame.x.lo, 8);
    for (double v = frame.x.lo; v <= frame.x.hi + step / 2; v += step) {
        Line(f, frame.X(v), top, frame.X(v), bottom, "stroke=\"#bbb\"");
        Text(f, frame.X(v), bottom + 20, "middle", Number(v));
    }
}

void Grid(FILE* f, const Frame& frame) {
    const double left = kLeft, right = kWidth - kRight, top = kTop, bottom = kHeight - kBottom;
    XGrid(f, frame, top, bottom);
    const double step = NiceStep(frame.y.hi - frame.y.lo, 8);
    for (double v = frame.y.lo; v <= frame.y.hi + step / 2; v += step) {
        Line(f, left, frame.Y(v), right, frame.Y(v), "stroke=\"#bbb\"");
        Text(f, left - 8, frame.Y(v) + 4, "end", Number(v));
    }
    std::fprintf(f, "<rect x=\"%s\" y=\"%s\" width=\"%s\" height=\"%s\" fill=\"none\" stroke=\"#333\"/>\n",
                 Coordinate(left).c_str(), Coordinate(top).c_str(), Coordinate(right - left).c_str(),
                 Coordinate(bottom - top).c_str());
}

void Curves(FILE* f, const Frame& frame, const Plot& plot, std::size_t n) {
    std::fprintf(f, "<polyline fill=\"none\" stroke=\"#1f5fbf\" stroke-width=\"1.2\" points=\"");
    for (std::size_t i = 0; i < n; ++i) {
        std::fprintf(f, "%s,%s ", Coordinate(frame.X(plot.x[i])).c_str(), Coordinate(frame.Y(plot.y[i])).c_str());
    }
    std::fprintf(f, "\"/>\n");
    for (const PlotSegment& s : plot.limits) {
        if (frame.x.log && (s.x1 <= 0 || s.x2 <= 0)) continue;
        Line(f, frame.X(s.x1), frame.Y(s.y1), frame.X(s.x2), frame.Y(s.y2),
             "stroke=\"#c0392b\" stroke-width=\"1.5\" stroke-dasharray=\"6 3\"");
    }
    for (const PlotMarker& m : plot.markers) {
        if (frame.x.log && m.x <= 0) continue;
        const double x = frame.X(m.x), y = frame.Y(m.y);
        std::fprintf(f, "<path d=\"M%s,%s l-5,-9 h10 z\" fill=\"#2a9d3a\"/>\n", Coordinate(x).c_str(),
                     Coordinate(y - 1).c_str());
        Text(f, x, y - 13, "middle", m.label, "fill=\"#2a9d3a\"");
    }
}

}  // namespace

bool WriteSvgPlot(const char* path, const Plot& plot) {
    const std::size_t n = std::min(plot.x.size(), plot.y.size());
    if (n < 2) return false;
    const auto [xLo, xHi] = std::minmax_element(plot.x.begin(), plot.x.begin() + static_cast<long>(n));
    if (plot.logX && *xLo <= 0.0) return false;
    double yLo = *std::min_element(plot.y.begin(), plot.y.begin() + static_cast<long>(n));
    double yHi = *std::max_element(plot.y.begin(), plot.y.begin() + static_cast<long>(n));
    for (const PlotSegment& s : plot.limits) {
        yLo = std::min({yLo, s.y1, s.y2});
        yHi = std::max({yHi, s.y1, s.y2});
    }
    const Frame frame{MakeAxis(*xLo, *xHi, plot.logX), MakeAxis(yLo, yHi, false)};
    FILE* f = std::fopen(path, "w");
    if (!f) return false;
    std::fprintf(f,
                 "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"%s\" height=\"%s\" "
                 "font-family=\"sans-serif\" font-size=\"12\">\n",
                 General(kWidth).c_str(), General(kHeight).c_str());
    if (!plot.metadata.empty()) {
        std::fprintf(f, "<metadata>\n");
        for (const std::string& line : plot.metadata) std::fprintf(f, "%s\n", Escaped(line).c_str());
        std::fprintf(f, "</metadata>\n");
    }
    std::fprintf(f, "<rect width=\"100%%\" height=\"100%%\" fill=\"white\"/>\n");
    Grid(f, frame);
    Curves(f, frame, plot, n);
    Text(f, kWidth / 2, 30, "middle", plot.title, "font-size=\"15\"");
    Text(f, (kLeft + kWidth - kRight) / 2, kHeight - 15, "middle", plot.xLabel);
    const std::string rotate = "transform=\"rotate(-90 20 " + Coordinate((kTop + kHeight - kBottom) / 2) + ")\"";
    Text(f, 20, (kTop + kHeight - kBottom) / 2, "middle", plot.yLabel, rotate.c_str());
    std::fprintf(f, "</svg>\n");
    return std::fclose(f) == 0;
}
