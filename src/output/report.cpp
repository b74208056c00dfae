// Assembly of the report page: style sheet, overview, alerts, variable
// cards, correlation heat map and the principal components. The page is
// built in one string and written at once.
#include "output/report.h"

#include <algorithm>
#include <cmath>
#include <numeric>
#include <span>

#include "output/html_escape.h"
#include "output/number_text.h"
#include "output/report_alerts.h"
#include "stats/stats.h"
#include "output/report_adequacy.h"
#include "output/report_groups.h"
#include "output/svg_charts.h"

namespace {

// Above this many variables the heat map shows block means and the cards
// leave out per-bin tooltips, which would otherwise dominate the file size.
constexpr size_t kFineVariables = 100;
// Up to this many variables each heat-map cell shows its value.
constexpr size_t kValuedVariables = 30;
// Side of the coarse heat map, in blocks.
constexpr size_t kCoarseSide = 25;
// Components in the loadings map and the scree plot; variables in the
// loadings map.
constexpr size_t kLoadingComponents = 10;
constexpr size_t kScreeComponents = 40;
constexpr size_t kLoadingVariables = 40;
// Strongly correlated pairs named among the alerts; the table under the
// heat map lists more.
constexpr size_t kAlertPairs = 20;
// Card titles longer than this are cut; the whole name is in the tooltip.
constexpr size_t kCardLabelChars = 28;

constexpr const char kStyle[] =
    ":root{--fg:#1b1b1b;--muted:#5c5c5c;--line:#d0d0d0;--card:#fff;--bg:#f4f4f2}"
    "*{box-sizing:border-box}"
    "body{margin:0;padding:16px;background:var(--bg);color:var(--fg);"
    "font:14px/1.4 system-ui,-apple-system,'Segoe UI',Roboto,'Helvetica Neue',Arial,sans-serif}"
    "main{max-width:1400px;margin:0 auto}"
    "h1{font-size:1.5em;margin:0 0 8px}h2{font-size:1.2em;margin:24px 0 8px}"
    "h3{font-size:1em;margin:0;overflow-wrap:anywhere}section>h2:first-child{margin-top:0}"
    "section{background:var(--card);border:1px solid var(--line);border-radius:6px;"
    "padding:12px 16px;margin:12px 0}"
    "#variables{background:none;border:0;padding:0}"
    "dl.ov{display:grid;grid-template-columns:max-content 1fr;gap:2px 16px;margin:0}"
    "dl.ov dt{color:var(--muted)}dl.ov dd{margin:0;overflow-wrap:anywhere}"
    ".cards{display:grid;grid-template-columns:repeat(auto-fill,minmax(280px,1fr));gap:12px}"
    ".card{background:var(--card);border:1px solid var(--line);border-radius:6px;padding:10px}"
    ".card .col{color:var(--muted);font-size:.85em;margin:0 0 4px}"
    ".badge{background:#fddbc7;border-radius:3px;padding:0 4px;font-size:.8em;margin-left:6px}"
    "table{border-collapse:collapse;font-size:.85em;font-variant-numeric:tabular-nums}"
    ".st{width:100%}.st th{text-align:left;font-weight:normal;color:var(--muted);padding-right:4px}"
    ".st td{text-align:right;padding-right:10px}"
    "p.st{font-size:.85em;margin:2px 0;color:var(--muted)}"
    ".pairs td,.pairs th{border-bottom:1px solid var(--line);padding:2px 8px;text-align:left}"
    "svg{display:block;width:100%;height:auto}"
    "svg text{font-size:10px;fill:var(--fg)}"
    ".xt text{text-anchor:middle}.yt text{text-anchor:end;dominant-baseline:middle}"
    ".yr text{text-anchor:start;dominant-baseline:middle}"
    ".an{text-anchor:middle;fill:var(--muted)}"
    ".axis{stroke:#444;fill:none}.grid{stroke:#e4e4e4;fill:none}"
    ".bar{fill:#6b8fb3;stroke:#fff;stroke-width:.5px;vector-effect:non-scaling-stroke}"
    ".cb rect{width:1px}"
    ".mk{fill:none;stroke-width:1.5px}.mn{stroke:#b2182b}"
    ".md{stroke:#1b1b1b;stroke-dasharray:4 2}.q{stroke:#1b1b1b;stroke-dasharray:1 2}"
    ".cell{stroke:#fff;stroke-width:.5px;vector-effect:non-scaling-stroke}"
    ".cv text{text-anchor:middle;dominant-baseline:middle}.cv .w{fill:#fff}"
    ".rl text{text-anchor:end;dominant-baseline:middle}.cl text{dominant-baseline:middle}"
    ".heat{max-width:900px}.legend{max-width:320px}.scree,.scatter{max-width:720px}"
    ".ev{fill:#6b8fb3}.cum{fill:none;stroke:#b2182b;stroke-width:2px}"
    ".pt{fill:#2166ac;fill-opacity:.45}"
    ".key span{margin-right:14px;white-space:nowrap}"
    ".key i{display:inline-block;width:18px;border-top:2px solid;vertical-align:middle;"
    "margin-right:4px}"
    ".note{color:var(--muted);font-size:.9em}"
    "@media (max-width:600px){body{padding:6px}section{padding:8px}"
    ".cards{grid-template-columns:1fr}}"
    "@media print{@page{size:A4;margin:12mm}body{background:#fff;padding:0;font-size:9pt}"
    "section,.card{break-inside:avoid;border-color:#999}"
    "#variables,#correlation,#pca{break-inside:auto}"
    ".cards{grid-template-columns:repeat(3,1fr);gap:6px}"
    "a{color:inherit;text-decoration:none}}";

struct Page {
  const ReportInput &in;
  std::string &out;
  size_t m() const { return in.variables.size(); }
};

void text(std::string &out, const std::string &s) { append_html_text(out, s); }

void var_link(std::string &out, const ReportInput &in, size_t i) {
  out += "<a href=\"#var-";
  append_count(out, i + 1);
  out += "\">";
  text(out, shortened_label(in.variables[i].label, kCardLabelChars));
  out += "</a>";
}

void pair_id(std::string &out, const Alert &a) {
  out += "pair-";
  append_count(out, a.first + 1);
  out += '-';
  append_count(out, a.second + 1);
}

void head(const Page &p) {
  p.out +=
      "<!DOCTYPE html>\n<html xmlns=\"http://www.w3.org/1999/xhtml\" lang=\"en\"><head>"
      "<meta charset=\"utf-8\"/>"
      "<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\"/><title>";
  p.out += "vantor report: ";
  text(p.out, p.in.data_file);
  p.out += "</title><style>";
  p.out += kStyle;
  p.out += diverging_css();
  if (!p.in.groups.empty()) p.out += group_style();
  if (has_adequacy_tables(p.in)) p.out += adequacy_style();
  if (!p.in.group_tests.empty()) p.out += group_tests_style();
  p.out += "</style></head><body><main><h1>Statistics of ";
  text(p.out, p.in.data_file);
  p.out += "</h1>";
}

void overview_row(std::string &out, const char *name, const std::string &value) {
  out += "<dt>";
  out += name;
  out += "</dt><dd>";
  text(out, value.empty() ? std::string("\u2014") : value);
  out += "</dd>";
}

void overview(const Page &p) {
  const ReportInput &in = p.in;
  std::string rows, left, vars, bins;
  append_grouped(rows, in.rows);
  append_grouped(left, in.rows_left_out);
  append_grouped(vars, p.m());
  append_grouped(bins, in.bins);
  p.out += "<section id=\"overview\"><h2>Overview</h2><dl class=\"ov\">";
  overview_row(p.out, "Data file", in.data_file);
  overview_row(p.out, "Rows", rows);
  overview_row(p.out, "Variables", vars);
  overview_row(p.out, "Rows left out", left);
  if (!in.skipped_text.empty()) overview_row(p.out, "Columns left out", in.skipped_text);
  overview_row(p.out, "Histogram bins", bins);
  overview_row(p.out, "Switches", in.switches_text);
  overview_row(p.out, "Program version", in.program_version);
  overview_row(p.out, "Date", in.date_text);
  p.out += "</dl><p class=\"note\" id=\"definitions\">Definitions: ";
  p.out +=
      in.rank == RankMethod::spearman
          ? "correlation: Spearman's rho, Pearson's r of the ranks (ties get their mean rank); "
      : in.rank == RankMethod::kendall ? "correlation: Kendall's tau-b (ties corrected); "
      : in.pairwise ? "missing values: pairwise, each statistic over the values present "
                      "and each correlation (Pearson's r) over its pair's common rows; "
      : in.pearson  ? "correlation: Pearson's r; "
                    : "correlation: the covariance over the n \u2212 1 standard deviations, "
                      "(n \u2212 1)/n times Pearson's r (--pearson gives r); ";
  p.out += in.conventional ? "covariance: divisor n \u2212 1" : "covariance: divisor n";
  p.out += "; variance: divisor n \u2212 1; skewness m3/s\u00b3 and "
           "curtosis (excess) m4/s\u2074 \u2212 3, moments about the mean over n, s from the "
           "n \u2212 1 variance; median and quartiles: linear interpolation at (n \u2212 1)/2, "
           "(n \u2212 2)/4 and (3n \u2212 2)/4 (type 5).</p></section>";
}

void variable_alert(const Page &p, const Alert &a) {
  p.out += "<li>";
  var_link(p.out, p.in, a.first);
  switch (a.kind) {
    case AlertKind::constant:
      p.out += " is constant: its variance is zero.";
      break;
    case AlertKind::non_finite:
      p.out += " holds ";
      append_grouped(p.out, static_cast<uint64_t>(a.value));
      p.out += a.value == 1 ? " value that is not a finite number"
                            : " values that are not finite numbers";
      p.out += " (NaN or infinite): its moments are not numbers.";
      break;
    case AlertKind::skewed:
      p.out += " is strongly skewed (skewness ";
      append_shown(p.out, a.value);
      p.out += ").";
      break;
    default: {
      const ReportVariable &v = p.in.variables[a.first];
      p.out += " has extreme values more than three interquartile ranges beyond the quartiles"
               " (min ";
      append_shown(p.out, v.min);
      p.out += ", max ";
      append_shown(p.out, v.max);
      p.out += ").";
    }
  }
  p.out += "</li>";
}

void pair_alert(const Page &p, const Alert &a) {
  p.out += "<li><a href=\"#";
  pair_id(p.out, a);
  p.out += "\">";
  text(p.out, shortened_label(p.in.variables[a.first].label, kCardLabelChars));
  p.out += " and ";
  text(p.out, shortened_label(p.in.variables[a.second].label, kCardLabelChars));
  p.out += "</a> are strongly correlated (r = ";
  append_shown(p.out, a.value);
  p.out += ").</li>";
}

// Rows left out for a missing value: the count and the share of the rows read.
void rows_left_out_alert(const Page &p) {
  const uint64_t left = p.in.rows_left_out, read = p.in.rows + left;
  p.out += "<li>";
  append_grouped(p.out, left);
  p.out += left == 1 ? " row was" : " rows were";
  p.out += p.in.pairwise ? " left out of the row files for a missing value (" :
                           " left out for a missing value (";
  append_shown(p.out, 100.0 * static_cast<double>(left) / static_cast<double>(read));
  p.out += " % of the ";
  append_grouped(p.out, read);
  p.out += " rows read).</li>";
}

void alerts_section(const Page &p, const Alerts &alerts) {
  p.out += "<section id=\"alerts\"><h2>Alerts</h2>";
  if (alerts.variables.empty() && alerts.pairs.empty() && p.in.rows_left_out == 0) {
    p.out += "<p class=\"note\">Nothing stands out.</p></section>";
    return;
  }
  p.out += "<ul>";
  if (p.in.rows_left_out > 0) rows_left_out_alert(p);
  for (const Alert &a : alerts.variables) variable_alert(p, a);
  const size_t listed = std::min(alerts.pairs.size(), kAlertPairs);
  for (size_t k = 0; k < listed; ++k) pair_alert(p, alerts.pairs[k]);
  p.out += "</ul>";
  if (alerts.pairs_total > listed) {
    p.out += "<p class=\"note\">";
    append_grouped(p.out, alerts.pairs_total);
    p.out += " pairs have |r| \u2265 0.9; the ";
    append_grouped(p.out, listed);
    p.out += " strongest are above, the ";
    append_grouped(p.out, alerts.pairs.size());
    p.out += " strongest under <a href=\"#pairs\">Strongly correlated pairs</a>.</p>";
  }
  p.out += "</section>";
}

// Rounded in the cell, exact in its tooltip.
void stat_cell(std::string &out, const char *name, double v) {
  out += "<th>";
  out += name;
  out += "</th><td";
  append_titled(out, v);
  out += "</td>";
}

struct NamedStat {
  const char *name;
  double value;
};

// The statistics as one line with short names, for cards on pages of
// hundreds of variables where a table per card would double the size.
void stat_line(std::string &out, const ReportVariable &v) {
  const NamedStat cells[] = {{"mean", v.mean},     {"s.d.", v.stddev},    {"var.", v.variance},
                             {"skew.", v.skewness}, {"curt.", v.curtosis}, {"min", v.min},
                             {"Q1", v.lower_quartile}, {"median", v.median},
                             {"Q3", v.upper_quartile}, {"max", v.max}};
  out += "<p class=\"st\">column ";
  out += std::to_string(v.column);
  out += ", values ";
  append_grouped(out, v.count);
  out += ", missing ";
  append_grouped(out, v.missing);
  for (const NamedStat &c : cells) {
    out += ", ";
    out += c.name;
    out += ' ';
    append_shown(out, c.value);
  }
  out += "</p>";
}

void stat_table(std::string &out, const ReportVariable &v) {
  const NamedStat cells[] = {{"mean", v.mean},         {"s.d.", v.stddev},
               {"variance", v.variance}, {"skewness", v.skewness},
               {"median", v.median},     {"curtosis", v.curtosis},
               {"lower q.", v.lower_quartile}, {"upper q.", v.upper_quartile},
               {"min", v.min},           {"max", v.max}};
  out += "<table class=\"st\">";
  for (size_t k = 0; k < std::size(cells); k += 2) {
    out += "<tr>";
    stat_cell(out, cells[k].name, cells[k].value);
    stat_cell(out, cells[k + 1].name, cells[k + 1].value);
    out += "</tr>";
  }
  out += "</table>";
}

// --conventional: the variable's normality test under its figures.
void normality_line(std::string &out, const NormalityTest &t) {
  const bool sw = t.method == NormalityMethod::shapiro_wilk;
  out += sw ? "<p class=\"st\">Shapiro\u2013Wilk " : "<p class=\"st\">D\u2019Agostino ";
  if (t.untested != nullptr) {
    out += "untested: ";
    text(out, t.untested);
  } else {
    out += sw ? "W = <span" : "K\u00b2 = <span";
    append_titled(out, t.statistic);
    out += "</span>, p = <span";
    append_titled(out, t.p);
    out += "</span>";
  }
  out += "</p>";
}

void card(const Page &p, size_t i, bool detailed) {
  const ReportVariable &v = p.in.variables[i];
  const std::string shown = shortened_label(v.label, kCardLabelChars);
  p.out += "<article class=\"card\" id=\"var-";
  append_count(p.out, i + 1);
  p.out += "\"><h3";
  if (shown != v.label) {
    p.out += " title=\"";
    append_html_attribute(p.out, v.label);
    p.out += '"';
  }
  p.out += '>';
  text(p.out, shown);
  if (v.constant) p.out += "<span class=\"badge\">constant</span>";
  p.out += "</h3>";
  // A constant variable shows what was measured: no variance, and no
  // skewness or curtosis to speak of. The result files carry the
  // zero-variance rule's stand-ins, which the card names.
  ReportVariable measured = v;
  if (v.constant)
    show_as_measured(measured.variance, measured.stddev, measured.skewness, measured.curtosis);
  if (detailed) {
    p.out += "<p class=\"col\">column ";
    p.out += std::to_string(v.column);
    p.out += ", ";
    append_grouped(p.out, v.count);
    p.out += " values, ";
    append_grouped(p.out, v.missing);
    p.out += " missing</p>";
    stat_table(p.out, measured);
  } else {
    stat_line(p.out, measured);
  }
  if (i < p.in.normality.size()) normality_line(p.out, p.in.normality[i]);
  if (v.constant && p.in.conventional)
    p.out += "<p class=\"note\">Constant: shown as measured in every output; its "
             "correlations are 0.</p>";
  else if (v.constant)
    p.out += "<p class=\"note\">Constant: the result files show the zero-variance rule's "
             "stand-ins (variance 0.0001, s.d. 0.01, skewness 0, curtosis \u22123).</p>";
  histogram_svg(p.out, v.bin_counts, v.bin_edges,
                {v.mean, v.median, v.lower_quartile, v.upper_quartile}, detailed);
  p.out += "</article>";
}

void variables_section(const Page &p) {
  p.out += "<section id=\"variables\"><h2>Variables</h2><p class=\"key note\">"
           "<span><i style=\"border-color:#b2182b\"></i>mean</span>"
           "<span><i style=\"border-top-style:dashed\"></i>median</span>"
           "<span><i style=\"border-top-style:dotted\"></i>quartiles</span></p>"
           "<div class=\"cards\">";
  const bool detailed = p.m() <= kFineVariables;
  for (size_t i = 0; i < p.m(); ++i) card(p, i, detailed);
  p.out += "</div></section>";
}

std::string position_range(size_t first, size_t last) {
  return first == last ? std::to_string(first + 1)
                       : std::to_string(first + 1) + "\u2013" + std::to_string(last + 1);
}

// Block means of the correlation matrix, `side` blocks a side; NaN values
// (undefined correlations) are left out of a block's mean.
std::vector<double> block_means(const ReportInput &in, size_t side, size_t block) {
  const size_t m = in.variables.size();
  std::vector<double> means(side * side);
  for (size_t bi = 0; bi < side; ++bi) {
    for (size_t bj = 0; bj < side; ++bj) {
      double sum = 0;
      size_t count = 0;
      for (size_t i = bi * block; i < std::min(m, (bi + 1) * block); ++i)
        for (size_t j = bj * block; j < std::min(m, (bj + 1) * block); ++j)
          if (!std::isnan(in.correlation[i * m + j])) sum += in.correlation[i * m + j], ++count;
      means[bi * side + bj] = count == 0 ? NAN : sum / static_cast<double>(count);
    }
  }
  return means;
}

void fine_heatmap(const Page &p) {
  HeatmapInput h;
  h.rows = h.cols = p.m();
  h.values = p.in.correlation;
  for (const ReportVariable &v : p.in.variables) h.row_labels.push_back(v.label);
  h.col_labels = h.row_labels;
  h.show_values = p.m() <= kValuedVariables;
  h.value_name.assign(1, 'r');  // assign(): GCC 12 warns falsely on = "r" at -O3
  heatmap_svg(p.out, h);
}

void coarse_heatmap(const Page &p) {
  const size_t block = (p.m() + kCoarseSide - 1) / kCoarseSide;
  const size_t side = (p.m() + block - 1) / block;
  const std::vector<double> means = block_means(p.in, side, block);
  HeatmapInput h;
  h.rows = h.cols = side;
  h.values = means;
  for (size_t b = 0; b < side; ++b)
    h.row_labels.push_back(position_range(b * block, std::min(p.m(), (b + 1) * block) - 1));
  h.col_labels = h.row_labels;
  h.value_name = "mean r";
  p.out += "<p class=\"note\">With ";
  append_grouped(p.out, p.m());
  p.out += " variables each cell is the mean correlation of a block of up to ";
  append_grouped(p.out, block);
  p.out += " \u00d7 ";
  append_grouped(p.out, block);
  p.out += " variables, labelled by their positions.</p>";
  heatmap_svg(p.out, h);
}

void pair_table(const Page &p, const Alerts &alerts) {
  if (alerts.pairs.empty()) return;
  p.out += "<h3 id=\"pairs\">Strongly correlated pairs</h3><table class=\"pairs\"><tr><th>first</th>"
           "<th>second</th><th>r</th></tr>";
  for (const Alert &a : alerts.pairs) {
    p.out += "<tr id=\"";
    pair_id(p.out, a);
    p.out += "\"><td>";
    var_link(p.out, p.in, a.first);
    p.out += "</td><td>";
    var_link(p.out, p.in, a.second);
    p.out += "</td><td";
    append_titled(p.out, a.value);
    p.out += "</td></tr>";
  }
  p.out += "</table>";
}

void correlation_section(const Page &p, const Alerts &alerts) {
  p.out += "<section id=\"correlation\"><h2>Correlations</h2>";
  if (p.m() == 0 || p.in.correlation.size() < p.m() * p.m()) {
    p.out += "<p class=\"note\">No correlation matrix.</p></section>";
    return;
  }
  color_legend_svg(p.out, 1);
  if (p.m() <= kFineVariables) {
    fine_heatmap(p);
  } else {
    coarse_heatmap(p);
  }
  pair_table(p, alerts);
  p.out += "</section>";
}

// With many variables the loadings map keeps the rows with the largest sum
// of squared loadings over the components shown, in data order.
std::vector<size_t> loading_rows(const ReportPca &pca, size_t components) {
  std::vector<size_t> rows(pca.loadings.size());
  std::iota(rows.begin(), rows.end(), size_t{0});
  if (rows.size() <= kLoadingVariables) return rows;
  std::vector<double> weight(rows.size(), 0);
  for (size_t i = 0; i < rows.size(); ++i)
    for (size_t c = 0; c < components && c < pca.loadings[i].size(); ++c)
      weight[i] += pca.loadings[i][c] * pca.loadings[i][c];
  std::stable_sort(rows.begin(), rows.end(), [&](size_t a, size_t b) {
    return weight[a] > weight[b];
  });
  rows.resize(kLoadingVariables);
  std::sort(rows.begin(), rows.end());
  return rows;
}

void loadings_map(const Page &p, const ReportPca &pca) {
  const size_t components = std::min(kLoadingComponents, pca.eigenvalues.size());
  const std::vector<size_t> rows = loading_rows(pca, components);
  if (components == 0 || rows.empty()) return;
  std::vector<double> values;
  double limit = 1;
  HeatmapInput h;
  for (size_t i : rows) {
    h.row_labels.push_back(i < p.m() ? p.in.variables[i].label : std::to_string(i + 1));
    for (size_t c = 0; c < components; ++c) {
      const double v = c < pca.loadings[i].size() ? pca.loadings[i][c] : NAN;
      values.push_back(v);
      if (std::isfinite(v)) limit = std::max(limit, std::fabs(v));
    }
  }
  for (size_t c = 0; c < components; ++c) h.col_labels.push_back(std::to_string(c + 1));
  h.rows = rows.size();
  h.cols = components;
  h.values = values;
  h.limit = limit;
  h.show_values = rows.size() <= kValuedVariables;
  h.value_name = "loading";
  p.out += "<h3 id=\"loadings\">Loadings</h3><p class=\"note\">Components 1 to ";
  append_count(p.out, components);
  if (rows.size() < pca.loadings.size()) {
    p.out += "; the ";
    append_count(p.out, rows.size());
    p.out += " variables with the largest loadings on them, in data order";
  }
  p.out += ".</p>";
  heatmap_svg(p.out, h);
}

void scores_plot(const Page &p, const ReportPca &pca) {
  p.out += "<h3 id=\"scores\">Scores of the first two components</h3><p class=\"note\">";
  const uint64_t shown = pca.scores.size();
  if (pca.score_rows_total > shown) {
    p.out += "A subsample of ";
    append_grouped(p.out, shown);
    p.out += " of the ";
    append_grouped(p.out, pca.score_rows_total);
    p.out += " observations.";
  } else {
    append_grouped(p.out, shown);
    p.out += " observations.";
  }
  p.out += pca.scores_centred
               ? " Scores as in .sco: each value less its mean (-n) over its standard "
                 "deviation, weighted by the score coefficients; centred on 0."
               : " Scores as in .sco: each value over its standard deviation, not less its mean "
                 "(-n centres them), weighted by the score coefficients; so the cloud is not "
                 "centred on 0.";
  p.out += "</p>";
  if (!pca.score_groups.empty()) group_key(p.out, p.in);
  scatter_svg(p.out, pca.scores, "component 1", "component 2", pca.score_labels,
              pca.score_groups);
}

void pca_section(const Page &p) {
  p.out += "<section id=\"pca\"><h2>Principal components</h2>";
  adequacy_tables(p.out, p.in);
  if (!p.in.pca) {
    p.out += "<p class=\"note\">No eigen analysis in this run.</p></section>";
    return;
  }
  const ReportPca &pca = *p.in.pca;
  const size_t shown = std::min(kScreeComponents, pca.eigenvalues.size());
  p.out += "<h3 id=\"scree\">Eigenvalues</h3><p class=\"note\">Bars: eigenvalues";
  if (shown < pca.eigenvalues.size()) {
    p.out += " of the first ";
    append_count(p.out, shown);
    p.out += " components";
  }
  p.out += "; line: cumulative explained variance (%, right axis).</p>";
  const std::span<const double> ev(pca.eigenvalues.data(), shown);
  const std::span<const double> pct(pca.explained_percent.data(),
                                    std::min(shown, pca.explained_percent.size()));
  scree_svg(p.out, ev, pct);
  loadings_map(p, pca);
  rotation_tables(p.out, p.in);
  scores_plot(p, pca);
  p.out += "</section>";
}

}  // namespace

std::string report_page(const ReportInput &in) {
  std::string out;
  out.reserve(4096 + in.variables.size() * 2048);
  const Page p{in, out};
  const Alerts alerts = find_alerts(in);
  head(p);
  overview(p);
  alerts_section(p, alerts);
  variables_section(p);
  groups_section(out, in);
  correlation_section(p, alerts);
  pca_section(p);
  out += "<p class=\"note\">Written by vantor ";
  text(out, in.program_version);
  out += ".</p></main></body></html>\n";
  return out;
}

bool write_report(FILE *out, const ReportInput &in) {
  const std::string page = report_page(in);
  return std::fwrite(page.data(), 1, page.size(), out) == page.size() && std::fflush(out) == 0;
}
