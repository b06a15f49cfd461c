// The chart 'tvx watch --plot' writes when it ends: one line per value over
// time, with axes, tick labels and a legend, as a PNG drawn with cairo.
#pragma once

#include <string>
#include <vector>

namespace tvx::tool {

struct PlotSeries {
    std::string label;
    std::vector<double> values;  // one per sample
};

// Writes the chart of `series` against `timesMs` to `path`; false with
// `error` set when it cannot (no samples, no cairo in this build, a file
// that cannot be written).
bool writePlot(const std::string& path, const std::vector<double>& timesMs, const std::vector<PlotSeries>& series,
               std::string* error);

}  // namespace tvx::tool
