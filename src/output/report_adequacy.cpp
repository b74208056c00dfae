// Tables of the sampling adequacy and the rotation, drawn from the plain
// inputs of the page: numbers rounded for reading with the exact value in
// the tooltip, marks where a figure says something (a low MSA, a large
// loading). Wide inputs are cut to what fits a 1280 px page.
#include "output/report_adequacy.h"

#include <algorithm>
#include <cmath>
#include <numeric>
#include <vector>

#include "output/html_escape.h"
#include "output/number_text.h"

namespace {

// Variables in the MSA table and the rotated loadings; rotated components
// shown. Beyond them the table keeps the lowest MSAs or the variables with
// the largest rotated loadings.
constexpr size_t kAdequacyVariables = 60;
constexpr size_t kRotatedVariables = 40;
constexpr uint32_t kRotatedComponents = 10;
// A loading at least this large is set in bold (a common reading threshold).
constexpr double kStrongLoading = 0.4;

void cell(std::string &out, double v, const char *cls = nullptr) {
  out += "<td";
  if (cls != nullptr) {
    out += " class=\"";
    out += cls;
    out += '"';
  }
  append_titled(out, v);
  out += "</td>";
}

void label(std::string &out, const ReportInput &in, size_t i) {
  out += "<th>";
  append_html_text(out, in.variables[i].label);
  out += "</th>";
}

const char *matrix_name(const ReportInput &in) {
  return in.rank == RankMethod::spearman  ? "Spearman's rho"
         : in.rank == RankMethod::kendall ? "Kendall's tau-b"
                                          : "Pearson's r";
}

// Kaiser's words for the overall KMO measure.
const char *kmo_words(double kmo) {
  return kmo >= 0.9   ? "marvellous"
         : kmo >= 0.8 ? "meritorious"
         : kmo >= 0.7 ? "middling"
         : kmo >= 0.6 ? "mediocre"
         : kmo >= 0.5 ? "miserable"
                      : "unacceptable";
}

// Each variable's MSA with a bar of its size; beyond kAdequacyVariables the
// lowest, in data order.
void msa_table(std::string &out, const ReportInput &in, const SamplingAdequacy &q) {
  std::vector<size_t> rows(q.msa.size());
  std::iota(rows.begin(), rows.end(), size_t{0});
  if (rows.size() > kAdequacyVariables) {
    std::stable_sort(rows.begin(), rows.end(), [&](size_t a, size_t b) { return q.msa[a] < q.msa[b]; });
    rows.resize(kAdequacyVariables);
    std::sort(rows.begin(), rows.end());
    out += "<p class=\"note\">The ";
    append_count(out, rows.size());
    out += " variables with the lowest MSA, in data order.</p>";
  }
  out += "<table class=\"ad msa\"><tr><th>variable</th><th>MSA</th><th></th></tr>";
  for (size_t i : rows) {
    const double v = q.msa[i];
    out += "<tr>";
    label(out, in, i);
    cell(out, v, v < 0.5 ? "lo" : nullptr);
    out += "<td><span class=\"mb\" style=\"width:";
    append_coord(out, std::isfinite(v) ? 100 * std::clamp(v, 0.0, 1.0) : 0);
    out += "%\"></span></td></tr>";
  }
  out += "</table>";
}

// The rows of the rotated table: all, or those with the largest sum of
// squared rotated loadings, in data order.
std::vector<size_t> rotated_rows(const Rotation &r, size_t m) {
  std::vector<size_t> rows(m);
  std::iota(rows.begin(), rows.end(), size_t{0});
  if (m <= kRotatedVariables) return rows;
  std::vector<double> weight(m, 0);
  for (size_t i = 0; i < m; ++i)
    for (uint32_t j = 0; j < r.count; ++j) weight[i] += r.loadings[i * r.count + j] * r.loadings[i * r.count + j];
  std::stable_sort(rows.begin(), rows.end(), [&](size_t a, size_t b) { return weight[a] > weight[b]; });
  rows.resize(kRotatedVariables);
  std::sort(rows.begin(), rows.end());
  return rows;
}

void rotated_header(std::string &out, const char *first, uint32_t shown) {
  out += "<tr><th>";
  out += first;
  out += "</th>";
  for (uint32_t j = 1; j <= shown; ++j) {
    out += "<th>RC";
    append_count(out, j);
    out += "</th>";
  }
  out += "</tr>";
}

}  // namespace

bool has_adequacy_tables(const ReportInput &in) {
  return !in.adequacy.msa.empty() || in.rotation.method != RotationMethod::none;
}

std::string adequacy_style() {
  return ".ad td,.ad th{border-bottom:1px solid var(--line);padding:2px 8px;text-align:right}"
         ".ad th:first-child{text-align:left;font-weight:normal;max-width:220px;"
         "overflow-wrap:anywhere}.ad{margin:4px 0 12px}.ad .lo{color:#b2182b;font-weight:bold}"
         ".ad .hi{font-weight:bold}.ad tr.sum td{color:var(--muted)}"
         ".msa td:last-child{width:160px;text-align:left}"
         ".mb{display:inline-block;height:8px;background:#6b8fb3;vertical-align:middle}";
}

void adequacy_tables(std::string &out, const ReportInput &in) {
  const SamplingAdequacy &q = in.adequacy;
  if (q.msa.empty()) return;
  out += "<h3 id=\"adequacy\">Is a component analysis appropriate?</h3><p class=\"note\">Of the ";
  out += matrix_name(in);
  out += " matrix over ";
  append_grouped(out, q.n);
  out += " rows. Bartlett's test of sphericity asks whether the variables are correlated at "
         "all (a small p: they are); the Kaiser-Meyer-Olkin measure and each variable's "
         "measure of sampling adequacy (MSA, 0 to 1) whether the correlations are large beside "
         "the partial correlations: below 0.5 (in red) a variable shares little with the "
         "others.</p>";
  if (!q.reason.empty()) {
    out += "<p class=\"note\">Not computed: ";
    append_html_text(out, q.reason);
    out += ".</p>";
    return;
  }
  out += "<table class=\"ad\"><tr><th>Bartlett's \u03c7\u00b2</th><th>df</th><th>p</th>"
         "<th>KMO</th><th></th></tr><tr>";
  cell(out, q.chi_square);
  out += "<td>";
  append_count(out, q.df);
  out += "</td>";
  cell(out, q.p_value);
  cell(out, q.kmo, q.kmo < 0.5 ? "lo" : nullptr);
  out += "<td>";
  out += kmo_words(q.kmo);
  out += " (Kaiser)</td></tr></table>";
  msa_table(out, in, q);
}

void rotation_tables(std::string &out, const ReportInput &in) {
  const Rotation &r = in.rotation;
  if (r.method == RotationMethod::none) return;
  const bool promax = r.method == RotationMethod::promax;
  out += "<h3 id=\"rotation\">Rotated loadings (";
  out += promax ? "promax" : "varimax";
  out += ")</h3><p class=\"note\">";
  if (!r.reason.empty()) {
    out += "Not rotated: ";
    append_html_text(out, r.reason);
    out += ".</p>";
    return;
  }
  const uint32_t shown = std::min(r.count, kRotatedComponents);
  out += "The loadings of the first ";
  append_count(out, r.count);
  out += promax ? " components after varimax and a promax rotation (power 4; the components "
                  "may correlate)"
                : " components after a varimax rotation with Kaiser normalisation";
  out += "; each column signed so that its largest loading is positive, loadings of at least "
         "0.4 in size in bold";
  if (shown < r.count) {
    out += "; the first ";
    append_count(out, shown);
    out += " columns";
  }
  const std::vector<size_t> rows = rotated_rows(r, in.variables.size());
  if (rows.size() < in.variables.size()) {
    out += "; the ";
    append_count(out, rows.size());
    out += " variables with the largest loadings, in data order";
  }
  out += ".</p><table class=\"ad\">";
  rotated_header(out, "variable", shown);
  for (size_t i : rows) {
    out += "<tr>";
    label(out, in, i);
    for (uint32_t j = 0; j < shown; ++j) {
      const double v = r.loadings[i * r.count + j];
      cell(out, v, std::fabs(v) >= kStrongLoading ? "hi" : nullptr);
    }
    out += "</tr>";
  }
  out += "<tr class=\"sum\"><th>sum of squares</th>";
  for (uint32_t j = 0; j < shown; ++j) cell(out, r.variance[j]);
  out += "</tr><tr class=\"sum\"><th>proportion</th>";
  for (uint32_t j = 0; j < shown; ++j) cell(out, r.proportion[j]);
  out += "</tr></table><p class=\"note\">Rotation matrix: rotated loadings = loadings of "
         "components 1 to ";
  append_count(out, r.count);
  out += " \u00d7 this matrix.</p><table class=\"ad\">";
  rotated_header(out, "component", shown);
  for (uint32_t c = 0; c < shown; ++c) {
    out += "<tr><th>";
    append_count(out, c + 1);
    out += "</th>";
    for (uint32_t j = 0; j < shown; ++j) cell(out, r.matrix[uint64_t{c} * r.count + j]);
    out += "</tr>";
  }
  out += "</table>";
}
