// The list of every switch that --switches prints. It is a table of the
// written forms and their meanings, kept beside the option table; a test
// holds every long name of kLongOptions to appearing here.
#include "cli/switchlist.h"

#include <algorithm>

namespace {

// One line of the list: the forms a user types and what they do. A row
// without a meaning is a group title.
struct SwitchLine {
  const char *forms;
  const char *meaning;
};

const SwitchLine kSwitchLines[] = {
    {"Result files:", nullptr},
    {"-t, --tetrad[=WORD]", "write the TETRAD data file .inp (default on)"},
    {"--oldtetrad[=WORD]", "write the old TETRAD data file .da1"},
    {"-c, --correlation[=WORD]", "write the correlation matrix .cor"},
    {"--pearson", "make the correlation matrix Pearson's r"},
    {"--conventional", "statistics-package definitions: r, covariance / (n - 1), strict numbers"},
    {"--rank=METHOD", "correlation by ranks: spearman (rho) or kendall (tau-b)"},
    {"--ci=LEVEL", "confidence level of the --conventional intervals (default 0.95)"},
    {"-v, --covariance[=WORD]", "write the covariance matrix .cov"},
    {"-m, --mean[=WORD]", "write the statistics file .mvd (default on)"},
    {"-b, --stddev", "write the standardized data .std"},
    {"--quartiles", "add the quartile columns to .mvd"},
    {"-h, --histogram[=N|WORD]", "write the histograms .his, N bins (default 30)"},
    {"--square", "mirror the lower triangle of .cor into the upper"},
    {"--zsquare", "fill the upper triangle of .cor with zeroes"},
    {"-z, --split-file", "split the long lines of .inp"},
    {"--summary-file", "write the --conventional intervals and tests .sum"},
    {"--json[=-]", "all results as JSON in .json, or a line on stdout"},
    {"--report", "write the HTML report .html"},
    {"Principal components:", nullptr},
    {"-e, --eigenvalues[=N|WORD]", "components: .eig, .sco with N scores (default 3)"},
    {"-f, --fsc-file[=WORD]", "also write score coefficients .fsc (turns -e on)"},
    {"-4", "at most 4 scored components, .fsc without headers"},
    {"-n, --scores-mean", "centre the data before the scores"},
    {"-a, --allscores", "as many scores as components"},
    {"Variable order:", nullptr},
    {"-i, --inverse", "reverse the order of the variables"},
    {"-s, --sort=LIST", "reorder the variables by data-file columns"},
    {"Input:", nullptr},
    {"--csv", "read comma-separated values"},
    {"--names", "the first data line holds the variable names"},
    {"--missing=WORD", "a field equal to WORD is missing (repeatable)"},
    {"--numbers-only", "a word among the numbers is an error"},
    {"--separator=C", "fields separated by C (tab or \\t for a tab), CSV quoting"},
    {"--comma-decimals", "a decimal comma in every number (3,14)"},
    {"--columns=LIST", "analyse only these columns, in this order (names, 2-5)"},
    {"--skip-columns=LIST", "leave these columns out (names, numbers, ranges)"},
    {"--use=pairwise", "each statistic over the values present (default complete rows)"},
    {"--by=COLUMN", "analyse each group of rows with one value in COLUMN too"},
    {"--group-limit=N", "most groups --by may make (default 1000)"},
    {"--max-memory=SIZE", "a larger file is analysed in passes within SIZE (K, M, G)"},
    {"Run and console:", nullptr},
    {"--results-dir=DIR", "write the result files into DIR"},
    {"--threads=N", "use up to N threads, 1 to 1024"},
    {"--keep-going", "a data file that fails is skipped"},
    {"--quiet, --silence", "no banner, progress, announcements or table"},
    {"-d, --debug", "print the allocations and histogram traces"},
    {"--timer", "print the elapsed seconds at the end"},
    {"--no-log", "write no line to logfile"},
    {"-q, --copyright", "print the copyright text"},
    {"-?, --help", "show the usage through the pager"},
    {"--more", "print the usage directly (before -?)"},
    {"--switches", "print this list and end"},
    {"--version", "print the version and end"},
    {"--where=VALUE", "print the program name"},
    {"-l, --language=VALUE", "accepted and ignored"},
    {"-x, --transpose", "not implemented: ends the run"},
    {"-g VALUE, -w VALUE", "reserved: refused as an unknown option"},
};

constexpr size_t kFormsWidth = 30;

}  // namespace

std::string switch_list_text() {
  std::string text =
      "Switches of vantor, one a line. WORD: absent, + or on for on, - or off for off.\n"
      "Long names may be shortened to any unambiguous prefix; -T is -t and so on.\n";
  for (const SwitchLine &line : kSwitchLines) {
    if (line.meaning == nullptr) {
      text.append("\n").append(line.forms).append("\n");
      continue;
    }
    std::string forms = std::string("  ") + line.forms;
    forms.resize(std::max(forms.size() + 1, kFormsWidth), ' ');
    text.append(forms).append(line.meaning).append("\n");
  }
  return text;
}
