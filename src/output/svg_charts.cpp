// SVG chart drawing for the report. Charts append markup to one string;
// shapes repeated per bin, cell or point are kept to a few short attributes
// (a scaled group supplies the geometry) because a page may hold 10^5 of them.
#include "output/svg_charts.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <initializer_list>

#include "output/html_escape.h"
#include "output/nice_ticks.h"
#include "output/number_text.h"

namespace {

// Linear map from a data interval onto a coordinate interval. Halving
// first keeps differences of values near the double limit finite.
struct Scale {
  double d0, d1, r0, r1;
  double at(double v) const {
    return r0 + (v * 0.5 - d0 * 0.5) / (d1 * 0.5 - d0 * 0.5) * (r1 - r0);
  }
};

bool usable_interval(double lo, double hi) {
  return std::isfinite(lo) && std::isfinite(hi) && hi > lo;
}

// Labels longer than this are cut with an ellipsis on the axes; the whole
// name stays in the label's tooltip.
constexpr size_t kAxisLabelChars = 16;

// "X Y": a point, or the two numbers of a size.
void append_xy(std::string &out, double x, double y) {
  append_coord(out, x);
  out += ' ';
  append_coord(out, y);
}

void attr(std::string &out, const char *name, double v) {
  out += ' ';
  out += name;
  out += "=\"";
  append_coord(out, v);
  out += '"';
}

// `label` names the chart for screen readers; charts that sit under a
// heading saying what they are pass none.
void open_svg(std::string &out, const char *cls, double w, double h, const char *label) {
  out += "<svg class=\"";
  out += cls;
  out += "\" viewBox=\"0 0 ";
  append_xy(out, w, h);
  if (label != nullptr) {
    out += "\" role=\"img\" aria-label=\"";
    out += label;
  }
  out += "\">";
}

void text_at(std::string &out, double x, double y, double v) {
  out += "<text";
  attr(out, "x", x);
  attr(out, "y", y);
  out += '>';
  append_shown(out, v);
  out += "</text>";
}

// Tick labels and tick marks along a horizontal axis at y = `base`.
void x_axis(std::string &out, const Scale &s, const std::vector<double> &ticks, double base) {
  out += "<path class=\"axis\" d=\"M";
  append_xy(out, s.r0, base);
  out += 'H';
  append_coord(out, s.r1);
  for (double t : ticks) {
    out += 'M';
    append_xy(out, s.at(t), base);
    out += "v4";
  }
  out += "\"/>";
  if (ticks.empty()) return;
  out += "<g class=\"xt\">";
  for (double t : ticks) text_at(out, s.at(t), base + 15, t);
  out += "</g>";
}

// Light grid lines and labels for a vertical axis at x = `at`; `cls` picks
// the label side ("yt" left, "yr" right).
void y_axis(std::string &out, const Scale &s, const std::vector<double> &ticks, double at,
            double x_end, const char *cls) {
  out += "<path class=\"grid\" d=\"";
  for (double t : ticks) {
    out += 'M';
    append_xy(out, std::min(at, x_end), s.at(t));
    out += 'H';
    append_coord(out, std::max(at, x_end));
  }
  out += "\"/><g class=\"";
  out += cls;
  out += "\">";
  const double label_x = x_end > at ? at - 4 : at + 4;
  for (double t : ticks) text_at(out, label_x, s.at(t), t);
  out += "</g>";
}

// True when two neighbouring ticks print the same.
bool repeated_labels(const std::vector<double> &ticks) {
  std::string previous, current;
  for (size_t i = 0; i < ticks.size(); ++i) {
    current.clear();
    append_shown(current, ticks[i]);
    if (i > 0 && current == previous) return true;
    previous.swap(current);
  }
  return false;
}

// A vertical line per value at the given x positions, in one path.
void mark_path(std::string &out, const char *cls, std::initializer_list<double> xs, double y0,
               double y1) {
  out += "<path class=\"mk ";
  out += cls;
  out += "\" d=\"";
  for (double x : xs) {
    out += 'M';
    append_xy(out, x, y0);
    out += 'V';
    append_coord(out, y1);
  }
  out += '"';
}

void mark_title(std::string &out, const char *name, double value) {
  out += name;
  out += ' ';
  append_exact(out, value);
}

// Histogram geometry, in the histogram's viewBox.
constexpr double kHistW = 320, kHistH = 172;
constexpr double kHistX0 = 44, kHistX1 = 312, kHistY0 = 8, kHistY1 = 140;
// The compact chart drops the axis labels and uses the whole width.
constexpr double kCompactH = 148, kCompactX0 = 6;

// Bar heights are in hundredths of the tallest bar, whole numbers: finer
// steps would not show at the chart's size. A bin that is not empty keeps
// at least one step so that it stays visible.
int64_t bar_height(int64_t count, int64_t top) {
  if (count <= 0) return 0;
  return std::max<int64_t>(
      1, std::llround(100.0 * static_cast<double>(count) / static_cast<double>(top)));
}

void histogram_bars(std::string &out, std::span<const int64_t> counts,
                    std::span<const double> edges, int64_t top, double x0, bool full) {
  const double bins = static_cast<double>(counts.size());
  // The compact group's bars take their common width from the style sheet
  // (".cb rect"), which saves a tenth of a large page.
  out += full ? "<g transform=\"translate(" : "<g class=\"cb\" transform=\"translate(";
  append_xy(out, x0, kHistY1);
  out += ") scale(";
  append_exact(out, std::round((kHistX1 - x0) / bins * 1000) / 1000);
  out += " -";
  append_exact(out, (kHistY1 - kHistY0) / 100);
  out += ")\">";
  for (size_t b = 0; b < counts.size(); ++b) {
    out += "<rect class=\"bar\" x=\"";
    append_count(out, b);
    out += full ? "\" width=\"1\" height=\"" : "\" height=\"";
    append_count(out, static_cast<uint64_t>(bar_height(counts[b], top)));
    if (!full) {
      out += "\"/>";
      continue;
    }
    out += "\"><title>";
    if (std::isfinite(edges[b + 1])) {
      out += '[';
      append_exact(out, edges[b]);
      out += ", ";
      append_exact(out, edges[b + 1]);
      out += "): ";
    } else {
      out += "one bin, all values: ";  // one bin has an infinite width
    }
    out += std::to_string(counts[b]);
    out += "</title></rect>";
  }
  out += "</g>";
}

void histogram_marks(std::string &out, const HistogramMarks &marks, const Scale &xs,
                     bool spread, bool full) {
  const auto x_of = [&](double v) {
    if (!spread || !std::isfinite(v)) return (xs.r0 + xs.r1) / 2;
    // Whole units are fine enough for a line and keep compact charts small.
    const double x = std::clamp(xs.at(v), xs.r0, xs.r1);
    return full ? x : std::round(x);
  };
  // One path per mark: the two quartiles, the median, the mean, each with
  // its exact values as the tooltip on full-size charts.
  struct Mark {
    const char *cls;
    std::initializer_list<double> xs;
    const char *names[2];
    double values[2];
  };
  const Mark list[] = {
      {"q", {x_of(marks.lower_quartile), x_of(marks.upper_quartile)},
       {"lower quartile", ", upper quartile"}, {marks.lower_quartile, marks.upper_quartile}},
      {"md", {x_of(marks.median)}, {"median", nullptr}, {marks.median, 0}},
      {"mn", {x_of(marks.mean)}, {"mean", nullptr}, {marks.mean, 0}},
  };
  for (const Mark &mk : list) {
    mark_path(out, mk.cls, mk.xs, kHistY0, kHistY1);
    if (!full) {
      out += "/>";
      continue;
    }
    out += "><title>";
    for (int t = 0; t < 2 && mk.names[t] != nullptr; ++t) mark_title(out, mk.names[t], mk.values[t]);
    out += "</title></path>";
  }
}

}  // namespace

void histogram_svg(std::string &out, std::span<const int64_t> counts,
                   std::span<const double> edges, const HistogramMarks &marks, bool full) {
  open_svg(out, "hist", kHistW, full ? kHistH : kCompactH, full ? "Histogram" : nullptr);
  if (counts.empty() || edges.size() != counts.size() + 1) {
    out += "</svg>";
    return;
  }
  int64_t top = 1;
  for (int64_t c : counts) top = std::max(top, c);
  const double x0 = full ? kHistX0 : kCompactX0;
  if (full) {
    // The axis ends at the first round tick at or above the tallest bar, so
    // that every bar can be read against a tick above it.
    const double step = std::max(1.0, nice_step(0, static_cast<double>(top), 3));
    const double axis_top = std::ceil(static_cast<double>(top) / step) * step;
    if (axis_top < 9e18) top = static_cast<int64_t>(axis_top);
    const Scale ys{0, static_cast<double>(top), kHistY1, kHistY0};
    std::vector<double> yticks;
    for (double t : nice_ticks(0, static_cast<double>(top), 3))
      if (t == std::floor(t)) yticks.push_back(t);  // counts are whole
    y_axis(out, ys, yticks, kHistX0, kHistX1, "yt");
  }
  histogram_bars(out, counts, edges, top, x0, full);

  const double lo = edges.front(), hi = edges.back();
  const bool spread = usable_interval(lo, hi);
  // A zero or negative bin width (a constant variable) puts every value in
  // one place: the axis then has no scale, and the marks sit in the middle.
  const Scale xs = spread ? Scale{lo, hi, x0, kHistX1} : Scale{0, 1, x0, kHistX1};
  if (full) {
    // A range too narrow for four digits (a constant variable's bins are
    // 1e-5 of its value wide) would label every tick alike: one label then.
    const std::vector<double> ticks = spread ? nice_ticks(lo, hi, 5) : std::vector<double>{};
    const bool readable = !ticks.empty() && !repeated_labels(ticks);
    x_axis(out, xs, readable ? ticks : std::vector<double>{}, kHistY1);
    if (!readable) text_at(out, (x0 + kHistX1) / 2, kHistY1 + 15, lo);
  }
  histogram_marks(out, marks, xs, spread, full);
  out += "</svg>";
}

const char *diverging_class(double v, double limit) {
  static constexpr const char *kClasses[] = {"k0", "k1", "k2", "k3", "k4", "k5",
                                             "k6", "k7", "k8", "k9", "k10"};
  if (std::isnan(v) || !(limit > 0)) return "kn";
  const double ratio = v / limit;  // NaN for an infinite value over an infinite limit
  if (std::isnan(ratio)) return "kn";
  const double t = std::clamp(ratio, -1.0, 1.0);
  return kClasses[static_cast<int>(std::lround((t + 1) * 5))];
}

std::string diverging_css() {
  // Eleven steps of the red-blue diverging ramp, blue for -1, red for +1;
  // its ends stay apart for the common colour-vision deficiencies.
  static constexpr const char *kFills[] = {"#053061", "#2166ac", "#4393c3", "#92c5de",
                                           "#d1e5f0", "#f7f7f7", "#fddbc7", "#f4a582",
                                           "#d6604d", "#b2182b", "#67001f"};
  std::string css;
  for (int k = 0; k < 11; ++k) {
    css += ".k";
    css += std::to_string(k);
    css += "{fill:";
    css += kFills[k];
    css += "}";
  }
  css += ".kn{fill:#bbb}";
  return css;
}

namespace {

// Heat-map geometry: the largest grid and cell, and the widest label margin.
constexpr double kHeatGrid = 600, kHeatMaxCell = 48, kHeatMaxMargin = 124;

// Where the grid starts (after the label margins) and the cell size.
struct HeatGeometry {
  double left, top, cw, ch;
};

// A margin wide enough for the longest label at its font size, counting
// characters (not bytes) at an average glyph width of 0.62 em.
double label_margin(const std::vector<std::string> &labels, size_t count, double font) {
  size_t widest = 0;
  for (size_t i = 0; i < count; ++i) {
    const std::string shown = shortened_label(labels[i], kAxisLabelChars);
    size_t chars = 0;
    for (unsigned char c : shown) chars += (c & 0xC0) != 0x80;
    widest = std::max(widest, chars);
  }
  return std::min(kHeatMaxMargin, 8 + static_cast<double>(widest) * font * 0.62);
}

double row_font(double ch) { return std::min(11.0, ch * 0.8); }

void heat_label(std::string &out, const std::string &label) {
  const std::string shown = shortened_label(label, kAxisLabelChars);
  if (shown != label) {
    out += "<title>";
    append_html_text(out, label);
    out += "</title>";
  }
  append_html_text(out, shown);
}

void heat_labels(std::string &out, const HeatmapInput &in, const HeatGeometry &g) {
  out += "<g class=\"rl\" font-size=\"";
  append_coord(out, row_font(g.ch));
  out += "\">";
  for (size_t i = 0; i < in.rows; ++i) {
    out += "<text";
    attr(out, "x", g.left - 4);
    attr(out, "y", g.top + (static_cast<double>(i) + 0.5) * g.ch);
    out += '>';
    heat_label(out, in.row_labels[i]);
    out += "</text>";
  }
  out += "</g><g class=\"cl\" font-size=\"";
  append_coord(out, row_font(g.cw));
  out += "\">";
  for (size_t j = 0; j < in.cols; ++j) {
    out += "<text transform=\"translate(";
    append_xy(out, g.left + (static_cast<double>(j) + 0.5) * g.cw, g.top - 4);
    out += ") rotate(-90)\">";
    heat_label(out, in.col_labels[j]);
    out += "</text>";
  }
  out += "</g>";
}

void heat_cells(std::string &out, const HeatmapInput &in, const HeatGeometry &g) {
  out += "<g class=\"cells\" transform=\"translate(";
  append_xy(out, g.left, g.top);
  out += ") scale(";
  append_exact(out, g.cw);
  out += ' ';
  append_exact(out, g.ch);
  out += ")\">";
  for (size_t i = 0; i < in.rows; ++i) {
    for (size_t j = 0; j < in.cols; ++j) {
      const double v = in.values[i * in.cols + j];
      out += "<rect class=\"cell ";
      out += diverging_class(v, in.limit);
      out += "\" x=\"";
      append_count(out, j);
      out += "\" y=\"";
      append_count(out, i);
      out += "\" width=\"1\" height=\"1\"><title>";
      append_html_text(out, in.row_labels[i]);
      out += " \u00d7 ";
      append_html_text(out, in.col_labels[j]);
      out += ": ";
      append_html_text(out, in.value_name);
      out += " = ";
      append_exact(out, v);
      out += "</title></rect>";
    }
  }
  out += "</g>";
}

// The dark ends of the ramp need light text.
bool dark_fill(double v, double limit) {
  return std::isfinite(v) && limit > 0 && std::fabs(v / limit) >= 0.7;
}

void heat_values(std::string &out, const HeatmapInput &in, const HeatGeometry &g) {
  out += "<g class=\"cv\" font-size=\"";
  append_coord(out, std::min({11.0, g.cw * 0.28, g.ch * 0.5}));
  out += "\">";
  for (size_t i = 0; i < in.rows; ++i) {
    for (size_t j = 0; j < in.cols; ++j) {
      const double v = in.values[i * in.cols + j];
      out += dark_fill(v, in.limit) ? "<text class=\"w\"" : "<text";
      attr(out, "x", g.left + (static_cast<double>(j) + 0.5) * g.cw);
      attr(out, "y", g.top + (static_cast<double>(i) + 0.5) * g.ch);
      out += '>';
      char buf[32];
      const int len = std::snprintf(buf, sizeof buf, "%.2f", v);
      out.append(buf, static_cast<size_t>(len));
      out += "</text>";
    }
  }
  out += "</g>";
}

}  // namespace

void heatmap_svg(std::string &out, const HeatmapInput &in) {
  if (in.rows == 0 || in.cols == 0 || in.values.size() < in.rows * in.cols ||
      in.row_labels.size() < in.rows || in.col_labels.size() < in.cols) {
    open_svg(out, "heat", 10, 10, "Heat map");
    out += "</svg>";
    return;
  }
  HeatGeometry g;
  g.cw = std::min(kHeatMaxCell, kHeatGrid / static_cast<double>(in.cols));
  g.ch = std::min(kHeatMaxCell, kHeatGrid / static_cast<double>(in.rows));
  g.left = label_margin(in.row_labels, in.rows, row_font(g.ch));
  g.top = label_margin(in.col_labels, in.cols, row_font(g.cw));
  open_svg(out, "heat", g.left + g.cw * static_cast<double>(in.cols) + 8,
           g.top + g.ch * static_cast<double>(in.rows) + 8, "Heat map");
  heat_cells(out, in, g);
  if (in.show_values) heat_values(out, in, g);
  heat_labels(out, in, g);
  out += "</svg>";
}

void color_legend_svg(std::string &out, double limit) {
  open_svg(out, "legend", 300, 34, "Colour scale");
  for (int k = 0; k < 11; ++k) {
    out += "<rect class=\"k";
    out += std::to_string(k);
    out += '"';
    attr(out, "x", 10 + k * 25.0);
    out += " y=\"2\" width=\"25\" height=\"14\"/>";
  }
  out += "<g class=\"xt\">";
  for (int k = 0; k <= 4; ++k) text_at(out, 22.5 + k * 62.5, 30, limit * (k - 2) / 2.0);
  out += "</g></svg>";
}

namespace {

constexpr double kScreeW = 600, kScreeH = 300;
constexpr double kScreeX0 = 56, kScreeX1 = 548, kScreeY0 = 12, kScreeY1 = 256;

void scree_bars(std::string &out, std::span<const double> ev, std::span<const double> pct,
                const Scale &ys) {
  const double slot = (kScreeX1 - kScreeX0) / static_cast<double>(ev.size());
  double cumulative = 0;
  for (size_t i = 0; i < ev.size(); ++i) {
    cumulative += i < pct.size() ? pct[i] : 0;
    const double top = ys.at(std::max(ev[i], 0.0));
    out += "<rect class=\"ev\"";
    attr(out, "x", kScreeX0 + (static_cast<double>(i) + 0.15) * slot);
    attr(out, "y", top);
    attr(out, "width", slot * 0.7);
    attr(out, "height", kScreeY1 - top);
    out += "><title>component ";
    out += std::to_string(i + 1);
    out += ": eigenvalue ";
    append_exact(out, ev[i]);
    out += ", explained ";
    append_exact(out, i < pct.size() ? pct[i] : NAN);
    out += " %, cumulative ";
    append_exact(out, cumulative);
    out += " %</title></rect>";
  }
}

void scree_line(std::string &out, size_t count, std::span<const double> pct) {
  const double slot = (kScreeX1 - kScreeX0) / static_cast<double>(count);
  const Scale rs{0, 100, kScreeY1, kScreeY0};
  out += "<polyline class=\"cum\" points=\"";
  double cumulative = 0;
  for (size_t i = 0; i < count && i < pct.size(); ++i) {
    cumulative += pct[i];
    if (i > 0) out += ' ';
    append_coord(out, kScreeX0 + (static_cast<double>(i) + 0.5) * slot);
    out += ',';
    append_coord(out, rs.at(std::clamp(cumulative, 0.0, 100.0)));
  }
  out += "\"/>";
}

void scree_component_labels(std::string &out, size_t count) {
  const double slot = (kScreeX1 - kScreeX0) / static_cast<double>(count);
  const size_t every = count <= 20 ? 1 : 5;
  out += "<g class=\"xt\">";
  for (size_t i = 0; i < count; ++i) {
    if ((i + 1) % every != 0 && i != 0) continue;
    text_at(out, kScreeX0 + (static_cast<double>(i) + 0.5) * slot, kScreeY1 + 15,
            static_cast<double>(i + 1));
  }
  out += "</g><text class=\"an\" x=\"302\" y=\"292\">component</text>";
}

}  // namespace

void scree_svg(std::string &out, std::span<const double> eigenvalues,
               std::span<const double> explained_percent) {
  open_svg(out, "scree", kScreeW, kScreeH, "Scree plot");
  if (eigenvalues.empty()) {
    out += "</svg>";
    return;
  }
  double top = 0;
  for (double v : eigenvalues)
    if (std::isfinite(v)) top = std::max(top, v);
  if (!(top > 0)) top = 1;
  const double step = nice_step(0, top, 4);
  top = std::ceil(top / step) * step;
  const Scale ys{0, top, kScreeY1, kScreeY0};
  y_axis(out, ys, nice_ticks(0, top, 4), kScreeX0, kScreeX1, "yt");
  const Scale rs{0, 100, kScreeY1, kScreeY0};
  out += "<g class=\"yr\">";
  for (int p = 0; p <= 100; p += 25) text_at(out, kScreeX1 + 4, rs.at(p), p);
  out += "</g>";
  scree_bars(out, eigenvalues, explained_percent, ys);
  scree_line(out, eigenvalues.size(), explained_percent);
  out += "<path class=\"axis\" d=\"M";
  append_xy(out, kScreeX0, kScreeY1);
  out += 'H';
  append_coord(out, kScreeX1);
  out += "\"/>";
  scree_component_labels(out, eigenvalues.size());
  out += "</svg>";
}

namespace {

constexpr double kScatW = 600, kScatH = 430;
constexpr double kScatX0 = 64, kScatX1 = 588, kScatY0 = 10, kScatY1 = 380;

// The data range of one coordinate widened to round tick values; a single
// value gets a unit interval around it.
std::array<double, 2> padded_range(std::span<const std::array<double, 2>> points, int axis) {
  double lo = INFINITY, hi = -INFINITY;
  for (const auto &p : points) {
    if (!std::isfinite(p[0]) || !std::isfinite(p[1])) continue;
    lo = std::min(lo, p[axis]);
    hi = std::max(hi, p[axis]);
  }
  if (!(lo <= hi)) return {-1, 1};
  if (lo == hi) {
    const double pad = std::max(1.0, std::fabs(lo) * 0.5);
    return {lo - pad, hi + pad};
  }
  const double step = nice_step(lo, hi, 5);
  if (step == 0) return {lo, hi};  // the span overflows: no round ends
  const double rounded_lo = std::floor(lo / step) * step, rounded_hi = std::ceil(hi / step) * step;
  return {std::isfinite(rounded_lo) ? rounded_lo : lo, std::isfinite(rounded_hi) ? rounded_hi : hi};
}

// A coordinate rounded to a whole unit inside [lo, hi]; a coordinate that
// is not a number (a range too wide for doubles) sits at lo.
double pixel(double v, double lo, double hi) {
  const double r = std::round(v);
  return std::isnan(r) ? lo : std::clamp(r, lo, hi);
}

}  // namespace

void scatter_svg(std::string &out, std::span<const std::array<double, 2>> points,
                 const std::string &x_name, const std::string &y_name,
                 std::span<const std::string> labels, std::span<const int32_t> groups) {
  open_svg(out, "scatter", kScatW, kScatH, "Scatter plot");
  const auto xr = padded_range(points, 0), yr = padded_range(points, 1);
  const Scale xs{xr[0], xr[1], kScatX0, kScatX1}, ys{yr[0], yr[1], kScatY1, kScatY0};
  y_axis(out, ys, nice_ticks(yr[0], yr[1], 5), kScatX0, kScatX1, "yt");
  x_axis(out, xs, nice_ticks(xr[0], xr[1], 6), kScatY1);
  out += "<g class=\"pts\">";
  for (size_t k = 0; k < points.size(); ++k) {
    const auto &p = points[k];
    if (!std::isfinite(p[0]) || !std::isfinite(p[1])) continue;
    out += "<circle class=\"pt";
    if (k < groups.size() && groups[k] >= 0) {
      out += " g";
      append_count(out, static_cast<uint64_t>(groups[k] % 8));
    }
    out += '"';
    // Whole units: a unit is about a pixel, finer than the dots themselves.
    const double x = pixel(xs.at(p[0]), kScatX0, kScatX1);
    const double y = pixel(ys.at(p[1]), kScatY0, kScatY1);
    out += " cx=\"";
    append_count(out, static_cast<uint64_t>(x));
    out += "\" cy=\"";
    append_count(out, static_cast<uint64_t>(y));
    out += '"';
    if (k >= labels.size()) {
      out += " r=\"2\"/>";
      continue;
    }
    out += " r=\"2\"><title>";
    append_html_text(out, labels[k]);
    out += "</title></circle>";
  }
  out += "</g><text class=\"an\" x=\"326\" y=\"424\">";
  append_html_text(out, x_name);
  out += "</text><text class=\"an\" transform=\"translate(14 195) rotate(-90)\">";
  append_html_text(out, y_name);
  out += "</text></svg>";
}
