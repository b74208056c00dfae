// The group comparison of the report: one box plot per variable with a box
// per group (whiskers at the extremes, box at the quartiles, a line at the
// median and a dot at the mean), then the table of the groups' figures.
#include "output/report_groups.h"

#include <algorithm>
#include <cmath>
#include <utility>

#include "output/html_escape.h"
#include "output/nice_ticks.h"
#include "output/number_text.h"

namespace {

// The colours of groups 0 to 7 (then again from 0) in the score plot.
const char *const kGroupColours[] = {"#1b9e77", "#d95f02", "#7570b3", "#e7298a",
                                     "#66a61e", "#e6ab02", "#a6761d", "#666"};

}  // namespace

std::string group_tests_style() {
  return ".gt tr:first-child th{text-align:right;padding-right:10px}"
         ".gt td,.gt th{vertical-align:top;padding-bottom:4px}";
}

std::string group_style() {
  std::string css =
      ".boxes{max-width:720px}.bx{fill:#d1e5f0;stroke:#2166ac}.wh{stroke:#2166ac}"
      ".bmd{stroke:#b2182b;stroke-width:2px}.bmn{fill:#b2182b}"
      ".gl text{text-anchor:end;dominant-baseline:middle}"
      ".grp tr:first-child th{text-align:right;padding-right:10px}";
  for (size_t k = 0; k < std::size(kGroupColours); ++k) {
    css += ".pt.g";
    append_count(css, k);
    css += "{fill-opacity:.7;fill:";
    css += kGroupColours[k];
    css += '}';
  }
  return css;
}

void group_key(std::string &out, const ReportInput &in) {
  out += "<p class=\"key note\">";
  for (size_t k = 0; k < in.groups.size(); ++k) {
    out += "<span><i style=\"border-color:";
    out += kGroupColours[k % 8];
    out += "\"></i>";
    append_html_text(out, in.groups[k].value);
    out += "</span>";
  }
  out += "</p>";
}

namespace {

constexpr double kLeft = 150, kRight = 580, kRow = 24, kTop = 8;
constexpr size_t kLabelChars = 22;

struct Scale {
  double lo, hi;
  double at(double v) const { return hi > lo ? kLeft + (v - lo) / (hi - lo) * (kRight - kLeft) : (kLeft + kRight) / 2; }
};

Scale variable_scale(const ReportInput &in, size_t i) {
  double lo = INFINITY, hi = -INFINITY;
  for (const ReportGroup &g : in.groups) {
    if (std::isfinite(g.mins[i])) lo = std::min(lo, g.mins[i]);
    if (std::isfinite(g.maxs[i])) hi = std::max(hi, g.maxs[i]);
  }
  if (!(lo <= hi)) lo = hi = 0;
  return Scale{lo, hi};
}

void line(std::string &out, const char *cls, double x1, double y1, double x2, double y2) {
  out += "<path class=\"";
  out += cls;
  out += "\" d=\"M";
  append_coord(out, x1);
  out += ' ';
  append_coord(out, y1);
  out += 'L';
  append_coord(out, x2);
  out += ' ';
  append_coord(out, y2);
  out += "\"/>";
}

void group_box(std::string &out, const ReportGroup &g, size_t i, const Scale &s, double y) {
  const double mid = y + kRow / 2;
  out += "<g><title>";
  append_html_text(out, g.value);
  const std::pair<const char *, double> figures[] = {
      {": min ", g.mins[i]},       {", lower q. ", g.lower_quartiles[i]},
      {", median ", g.medians[i]}, {", upper q. ", g.upper_quartiles[i]},
      {", max ", g.maxs[i]},       {", mean ", g.means[i]}};
  for (const auto &[name, value] : figures) {
    out += name;
    append_shown(out, value);
  }
  out += "</title>";
  if (std::isfinite(g.mins[i]) && std::isfinite(g.maxs[i])) {
    line(out, "wh", s.at(g.mins[i]), mid, s.at(g.maxs[i]), mid);
    const double q1 = s.at(g.lower_quartiles[i]), q3 = s.at(g.upper_quartiles[i]);
    out += "<rect class=\"bx\" x=\"";
    append_coord(out, std::min(q1, q3));
    out += "\" y=\"";
    append_coord(out, y + 5);
    out += "\" width=\"";
    append_coord(out, std::fabs(q3 - q1));
    out += "\" height=\"";
    append_coord(out, kRow - 10);
    out += "\"/>";
    line(out, "bmd", s.at(g.medians[i]), y + 4, s.at(g.medians[i]), y + kRow - 4);
    out += "<circle class=\"bmn\" cx=\"";
    append_coord(out, s.at(g.means[i]));
    out += "\" cy=\"";
    append_coord(out, mid);
    out += "\" r=\"3\"/>";
  }
  out += "</g>";
}

void box_plot(std::string &out, const ReportInput &in, size_t i) {
  const Scale s = variable_scale(in, i);
  const double height = kTop + kRow * static_cast<double>(in.groups.size()) + 24;
  out += "<h3>";
  append_html_text(out, in.variables[i].label);
  out += "</h3><svg class=\"boxes\" viewBox=\"0 0 600 ";
  append_coord(out, height);
  out += "\" role=\"img\" aria-label=\"Box plots by group\"><g class=\"gl\" font-size=\"11\">";
  for (size_t k = 0; k < in.groups.size(); ++k) {
    out += "<text x=\"";
    append_coord(out, kLeft - 6);
    out += "\" y=\"";
    append_coord(out, kTop + kRow * static_cast<double>(k) + kRow / 2);
    out += "\">";
    append_html_text(out, shortened_label(in.groups[k].value, kLabelChars));
    out += "</text>";
  }
  out += "</g>";
  for (size_t k = 0; k < in.groups.size(); ++k)
    group_box(out, in.groups[k], i, s, kTop + kRow * static_cast<double>(k));
  const double axis = height - 20;
  line(out, "axis", kLeft, axis, kRight, axis);
  out += "<g class=\"xt\">";
  for (double t : nice_ticks(s.lo, s.hi, 6)) {
    out += "<text x=\"";
    append_coord(out, s.at(t));
    out += "\" y=\"";
    append_coord(out, axis + 14);
    out += "\">";
    append_shown(out, t);
    out += "</text>";
  }
  out += "</g></svg>";
}

void figures_table(std::string &out, const ReportInput &in) {
  out += "<p class=\"note\">Mean \u00b1 standard deviation, median in brackets, and the "
         "values missing; the number of rows under each group.</p><table class=\"st grp\"><tr><th></th>";
  for (const ReportGroup &g : in.groups) {
    out += "<th>";
    append_html_text(out, g.value);
    out += " (";
    append_grouped(out, g.rows);
    out += ")</th>";
  }
  out += "</tr>";
  for (size_t i = 0; i < in.variables.size(); ++i) {
    out += "<tr><th>";
    append_html_text(out, in.variables[i].label);
    out += "</th>";
    for (const ReportGroup &g : in.groups) {
      out += "<td>";
      append_shown(out, g.means[i]);
      out += " \u00b1 ";
      append_shown(out, g.stddevs[i]);
      out += " (";
      append_shown(out, g.medians[i]);
      out += ")";
      if (i < g.missing.size() && g.missing[i] > 0) {
        out += ", ";
        append_grouped(out, g.missing[i]);
        out += " missing";
      }
      out += "</td>";
    }
    out += "</tr>";
  }
  out += "</table>";
  if (in.rows_without_group == 0) return;
  out += "<p class=\"note\">";
  append_grouped(out, in.rows_without_group);
  out += in.rows_without_group == 1 ? " row has no value of " : " rows have no value of ";
  append_html_text(out, in.group_column);
  out += "</p>";
}

// A test's cell: the statistic with its degrees of freedom, the p-value
// under it; a dash with the reason as tooltip when untested.
void test_cell(std::string &out, const GroupTest &t, const char *symbol, bool two_df) {
  if (t.untested != nullptr) {
    out += "<td title=\"";
    append_html_attribute(out, t.untested);
    out += "\">\u2014</td>";
    return;
  }
  out += "<td>";
  out += symbol;
  out += '(';
  append_shown(out, t.df1);
  if (two_df) {
    out += ", ";
    append_shown(out, t.df2);
  }
  out += ") = <span";
  append_titled(out, t.statistic);
  out += "</span><br/>p = <span";
  append_titled(out, t.p);
  out += "</span></td>";
}

void effect_cell(std::string &out, double v) {
  if (std::isnan(v)) {
    out += "<td>\u2014</td>";
    return;
  }
  out += "<td";
  append_titled(out, v);
  out += "</td>";
}

// --conventional: whether each variable differs across the groups.
void tests_table(std::string &out, const ReportInput &in) {
  if (in.group_tests.empty()) return;
  out += "<p class=\"note\">Do the groups differ? Welch\u2019s test (t for two groups, else F; "
         "no equal variances assumed), the one-way ANOVA F, Kruskal\u2013Wallis H (ranks), "
         "Brown\u2013Forsythe F (equal variances, about the medians) and the effect sizes "
         "\u03b7\u00b2 and, for two groups, Cohen\u2019s d; degrees of freedom in brackets, "
         "\u2014 where the values do not allow the test (its reason as tooltip).</p>"
         "<table class=\"st gt\"><tr><th></th><th>Welch</th><th>ANOVA</th>"
         "<th>Kruskal\u2013Wallis</th><th>Brown\u2013Forsythe</th><th>\u03b7\u00b2</th>";
  bool two_groups = false;
  for (const GroupTests &t : in.group_tests) two_groups = two_groups || t.groups == 2;
  out += two_groups ? "<th>d</th></tr>" : "</tr>";
  for (size_t i = 0; i < in.variables.size() && i < in.group_tests.size(); ++i) {
    const GroupTests &t = in.group_tests[i];
    out += "<tr><th>";
    append_html_text(out, in.variables[i].label);
    out += "</th>";
    const bool two = t.groups == 2;
    test_cell(out, t.welch, two ? "t" : "F", !two);
    test_cell(out, t.anova, "F", true);
    test_cell(out, t.kruskal, "H", false);
    test_cell(out, t.brown_forsythe, "F", true);
    effect_cell(out, t.eta_squared);
    if (two_groups) effect_cell(out, t.cohen_d);
    out += "</tr>";
  }
  out += "</table>";
}

}  // namespace

void groups_section(std::string &out, const ReportInput &in) {
  if (in.groups.empty()) return;
  out += "<section id=\"groups\"><h2>Groups by ";
  append_html_text(out, in.group_column);
  out += "</h2>";
  figures_table(out, in);
  tests_table(out, in);
  for (size_t i = 0; i < in.variables.size(); ++i) box_plot(out, in, i);
  out += "</section>";
}
