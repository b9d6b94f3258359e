#pragma once

#include <string>
#include <vector>

// Writes y against x as an SVG line plot with a logarithmic X axis (decades,
// grid, labels), as phase-noise plots are drawn. Returns false when the file
// cannot be written or there is nothing to draw.
bool WriteLogPlotSvg(const char* path, const std::string& title, const std::vector<double>& x,
                     const std::vector<double>& y);
