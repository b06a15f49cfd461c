#include "watch_plot.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#if defined(TVX_HAVE_CAIRO)
#include <cairo.h>
#endif

namespace tvx::tool {

#if defined(TVX_HAVE_CAIRO)
namespace {

constexpr int kWidth = 1000;
constexpr int kHeight = 600;
constexpr double kLeft = 80, kRight = 200, kTop = 30, kBottom = 60;
constexpr int kTicks = 5;

// Distinct line colours, cycled.
constexpr double kColours[][3] = {{0.12, 0.47, 0.71}, {1.0, 0.5, 0.05}, {0.17, 0.63, 0.17}, {0.84, 0.15, 0.16},
                                  {0.58, 0.4, 0.74},  {0.55, 0.34, 0.29}, {0.89, 0.47, 0.76}, {0.5, 0.5, 0.5}};

void text(cairo_t* cr, double x, double y, const char* t, double alignX) {
    cairo_text_extents_t e;
    cairo_text_extents(cr, t, &e);
    cairo_move_to(cr, x - alignX * e.width, y);
    cairo_show_text(cr, t);
}

}  // namespace
#endif

bool writePlot(const std::string& path, const std::vector<double>& timesMs, const std::vector<PlotSeries>& series,
               std::string* error) {
    if (timesMs.empty() || series.empty()) {
        *error = "no blocks were received: nothing to plot";
        return false;
    }
#if !defined(TVX_HAVE_CAIRO)
    (void)path;
    *error = "this build of tvx draws no charts (built without cairo)";
    return false;
#else
    double lo = INFINITY, hi = -INFINITY;
    for (const PlotSeries& s : series)
        for (double v : s.values)
            if (std::isfinite(v)) lo = std::min(lo, v), hi = std::max(hi, v);
    if (!std::isfinite(lo)) lo = 0, hi = 1;
    if (hi - lo < 1e-12) lo -= 1, hi += 1;
    const double t0 = timesMs.front() / 1000.0;
    double t1 = timesMs.back() / 1000.0;
    if (t1 - t0 < 1e-9) t1 = t0 + 1;
    const double plotW = kWidth - kLeft - kRight, plotH = kHeight - kTop - kBottom;
    auto px = [&](double tMs) { return kLeft + (tMs / 1000.0 - t0) / (t1 - t0) * plotW; };
    auto py = [&](double v) { return kTop + (hi - v) / (hi - lo) * plotH; };

    cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_RGB24, kWidth, kHeight);
    cairo_t* cr = cairo_create(surface);
    cairo_set_source_rgb(cr, 1, 1, 1);
    cairo_paint(cr);
    cairo_select_font_face(cr, "sans-serif", CAIRO_FONT_SLANT_NORMAL, CAIRO_FONT_WEIGHT_NORMAL);
    cairo_set_font_size(cr, 12);

    // Axes, grid and tick labels.
    cairo_set_line_width(cr, 1);
    char label[64];
    for (int i = 0; i <= kTicks; ++i) {
        const double v = lo + (hi - lo) * i / kTicks;
        const double y = py(v);
        cairo_set_source_rgb(cr, 0.9, 0.9, 0.9);
        cairo_move_to(cr, kLeft, y);
        cairo_line_to(cr, kLeft + plotW, y);
        cairo_stroke(cr);
        cairo_set_source_rgb(cr, 0, 0, 0);
        std::snprintf(label, sizeof label, "%.6g", v);
        text(cr, kLeft - 6, y + 4, label, 1.0);
        const double t = t0 + (t1 - t0) * i / kTicks;
        std::snprintf(label, sizeof label, "%.2f", t - t0);
        text(cr, kLeft + plotW * i / kTicks, kTop + plotH + 18, label, 0.5);
    }
    cairo_set_source_rgb(cr, 0, 0, 0);
    cairo_rectangle(cr, kLeft, kTop, plotW, plotH);
    cairo_stroke(cr);
    text(cr, kLeft + plotW / 2, kHeight - 15, "time (s)", 0.5);

    // One line per value, and the legend.
    cairo_set_line_width(cr, 1.5);
    for (size_t s = 0; s < series.size(); ++s) {
        const double* c = kColours[s % (sizeof kColours / sizeof kColours[0])];
        cairo_set_source_rgb(cr, c[0], c[1], c[2]);
        bool drawing = false;
        for (size_t i = 0; i < series[s].values.size() && i < timesMs.size(); ++i) {
            const double v = series[s].values[i];
            if (!std::isfinite(v)) {
                drawing = false;
                continue;
            }
            if (drawing)
                cairo_line_to(cr, px(timesMs[i]), py(v));
            else
                cairo_move_to(cr, px(timesMs[i]), py(v));
            drawing = true;
        }
        cairo_stroke(cr);
        const double ly = kTop + 10 + 18.0 * static_cast<double>(s);
        cairo_move_to(cr, kLeft + plotW + 15, ly);
        cairo_line_to(cr, kLeft + plotW + 35, ly);
        cairo_stroke(cr);
        cairo_set_source_rgb(cr, 0, 0, 0);
        text(cr, kLeft + plotW + 40, ly + 4, series[s].label.c_str(), 0.0);
    }
    cairo_destroy(cr);
    const cairo_status_t status = cairo_surface_write_to_png(surface, path.c_str());
    cairo_surface_destroy(surface);
    if (status != CAIRO_STATUS_SUCCESS) {
        *error = std::string("cannot write ") + path + ": " + cairo_status_to_string(status);
        return false;
    }
    return true;
#endif
}

}  // namespace tvx::tool
