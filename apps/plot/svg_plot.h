#pragma once

#include <string>
#include <vector>

// A trace as a line plot: axes with grid and labels, logarithmic X (decades)
// where the X axis is an offset frequency, markers and limit lines.
struct PlotMarker {
    double x;
    double y;
    std::string label;
};

// Straight pieces (x start, y start, x stop, y stop) of a limit line.
struct PlotSegment {
    double x1, y1, x2, y2;
};

struct Plot {
    std::string title;
    std::string xLabel;  // with its unit: "Offset frequency (Hz)"
    std::string yLabel;
    bool logX = false;
    std::vector<double> x;
    std::vector<double> y;
    std::vector<PlotMarker> markers;
    std::vector<PlotSegment> limits;
    std::vector<std::string> metadata;  // lines of the <metadata> element: where the trace comes from
};

// Writes the plot as an SVG file. Returns false when the file cannot be
// written or there is nothing to draw (fewer than two points, or a
// logarithmic axis reaching 0 or below).
bool WriteSvgPlot(const char* path, const Plot& plot);
