// The switch table: one row a switch, with its effect and the grammar of its
// value. A new switch is one row here (long-only, at the next rank, under a
// name that leaves every abbreviation in use unambiguous) and its field in
// the option record.
#include "cli/switchtable.h"

#include <cctype>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "base/messages.h"
#include "cli/options.h"

namespace {

// The count of a long option such as --threads=N: a whole number from 1 to
// `most`, nothing else.
uint32_t count_value(const char *option, const char *value, long most) {
  char *end = nullptr;
  errno = 0;
  const long n = std::strtol(value, &end, 10);
  if (errno != 0 || end == value || *end != '\0' || n < 1 || n > most)
    fatal("Need a numeric argument to option %s (%s)\n", option, value);
  return static_cast<uint32_t>(n);
}

// A byte count such as --max-memory=SIZE: a whole number of at least 1, with
// an optional K, M or G suffix for powers of 1024.
uint64_t size_value(const char *option, const char *value) {
  char *end = nullptr;
  errno = 0;
  const unsigned long long n = std::strtoull(value, &end, 10);
  uint32_t shift = 0;
  if (end != value && *end != '\0' && end[1] == '\0') {
    const char *units = "KMG";
    const char *unit = std::strchr(units, *end);
    if (unit != nullptr) {
      shift = 10 * static_cast<uint32_t>(unit - units + 1);
      ++end;
    }
  }
  const bool number = errno == 0 && end != value && *end == '\0' && value[0] != '-' && n >= 1;
  if (!number || n > (UINT64_MAX >> shift))
    fatal("Need a numeric argument to option %s (%s)\n", option, value);
  return static_cast<uint64_t>(n) << shift;
}

// --json or --json=-: a file beside the other results, or standard output.
JsonTarget json_target(const char *value) {
  if (value == nullptr) return JsonTarget::file;
  if (std::strcmp(value, "-") == 0) return JsonTarget::standard_output;
  fatal("Need - or nothing as argument to option %s (%s)\n", "--json", value);
}

// --separator=C: "tab" or "\t" for a tab, else one byte that is not the
// quote, a line end or a digit.
char separator_byte(const char *value) {
  if (std::strcmp(value, "tab") == 0 || std::strcmp(value, "\\t") == 0) return '\t';
  const auto b = static_cast<unsigned char>(value[0]);
  const bool one = b != 0 && value[1] == '\0';
  if (one && b != '"' && b != '\n' && b != '\r' && !std::isdigit(b)) return static_cast<char>(b);
  fatal("Need tab, \\t or one byte other than a quote, a line end or a digit as argument to "
        "option %s (%s)\n",
        "--separator", value);
}

// --use=complete or --use=pairwise.
MissingUse missing_use(const char *value) {
  if (std::strcmp(value, "complete") == 0) return MissingUse::complete;
  if (std::strcmp(value, "pairwise") == 0) return MissingUse::pairwise;
  fatal("Need complete or pairwise as argument to option %s (%s)\n", "--use", value);
}

// --rank=spearman or --rank=kendall.
RankChoice rank_choice(const char *value) {
  if (std::strcmp(value, "spearman") == 0) return RankChoice::spearman;
  if (std::strcmp(value, "kendall") == 0) return RankChoice::kendall;
  fatal("Need spearman or kendall as argument to option %s (%s)\n", "--rank", value);
}

// --ci=LEVEL: a confidence level strictly between 0 and 1.
double confidence_level(const char *value) {
  char *end = nullptr;
  errno = 0;
  const double level = std::strtod(value, &end);
  if (errno != 0 || end == value || *end != '\0' || !(level > 0 && level < 1))
    fatal("Need a number between 0 and 1 as argument to option %s (%s)\n", "--ci", value);
  return level;
}

// --rotate=varimax or --rotate=promax.
RotateChoice rotate_choice(const char *value) {
  if (std::strcmp(value, "varimax") == 0) return RotateChoice::varimax;
  if (std::strcmp(value, "promax") == 0) return RotateChoice::promax;
  fatal("Need varimax or promax as argument to option %s (%s)\n", "--rotate", value);
}

// --columns and --skip-columns: one of them, the last LIST given.
void pick_columns(Switches &sw, ColumnPick pick, const char *list) {
  if (sw.read.pick != ColumnPick::all && sw.read.pick != pick)
    fatal("--columns cannot be used with --skip-columns\n");
  sw.read.pick = pick;
  sw.read.pick_list = list;
}

using V = SwitchValue;

// Effects that do nothing to the record, or end the run at once.
void ignored(Switches &, const char *, const char *) {}
void unknown(Switches &, const char *, const char *) { fatal("Unknown option"); }

const std::vector<SwitchRow> &table_rows() {
  static const std::vector<SwitchRow> rows = {
      {"Result files:", 't', "tetrad", nullptr, V::optional, false, 13, "-t, --tetrad[=WORD]",
       "write the TETRAD data file .inp (default on)",
       [](Switches &sw, const char *v, const char *) { sw.output.tetrad = word_value("-t", v); }},
      {nullptr, 0, "oldtetrad", nullptr, V::optional, false, 18, "--oldtetrad[=WORD]",
       "write the old TETRAD data file .da1",
       [](Switches &sw, const char *v, const char *) {
         sw.output.oldtetrad = word_value("--oldtetrad", v);
       }},
      {nullptr, 'c', "correlation", nullptr, V::optional, false, 2, "-c, --correlation[=WORD]",
       "write the correlation matrix .cor",
       [](Switches &sw, const char *v, const char *) {
         sw.output.correlation = word_value("-c", v);
       }},
      {nullptr, 0, "pearson", nullptr, V::none, false, 34, "--pearson",
       "make the correlation matrix Pearson's r",
       [](Switches &sw, const char *, const char *) { sw.analysis.pearson = true; }},
      {nullptr, 0, "conventional", nullptr, V::none, false, 44, "--conventional",
       "statistics-package definitions: r, covariance / (n - 1), strict numbers",
       // Pearson's r is one of the conventions; the others are read from this
       // switch where they apply.
       [](Switches &sw, const char *, const char *) {
         sw.analysis.conventional = sw.analysis.pearson = true;
       }},
      {nullptr, 0, "rank", nullptr, V::required, false, 49, "--rank=METHOD",
       "correlation by ranks: spearman (rho) or kendall (tau-b)",
       [](Switches &sw, const char *v, const char *) { sw.analysis.rank = rank_choice(v); }},
      {nullptr, 0, "ci", nullptr, V::required, false, 50, "--ci=LEVEL",
       "confidence level of the --conventional intervals (default 0.95)",
       [](Switches &sw, const char *v, const char *) { sw.analysis.ci = confidence_level(v); }},
      {nullptr, 'v', "covariance", nullptr, V::optional, false, 14, "-v, --covariance[=WORD]",
       "write the covariance matrix .cov",
       [](Switches &sw, const char *v, const char *) {
         sw.output.covariance = word_value("-v", v);
       }},
      {nullptr, 'm', "mean", nullptr, V::optional, false, 9, "-m, --mean[=WORD]",
       "write the statistics file .mvd (default on)",
       [](Switches &sw, const char *v, const char *) { sw.output.mean = word_value("-m", v); }},
      {nullptr, 'b', "stddev", nullptr, V::none, false, 1, "-b, --stddev",
       "write the standardized data .std",
       [](Switches &sw, const char *, const char *) { sw.output.stddev = true; }},
      {nullptr, 0, "quartiles", nullptr, V::none, false, 24, "--quartiles",
       "add the quartile columns to .mvd",
       [](Switches &sw, const char *, const char *) { sw.output.quartiles = true; }},
      {nullptr, 'h', "histogram", nullptr, V::optional, false, 6, "-h, --histogram[=N|WORD]",
       "write the histograms .his, N bins (default 30)",
       [](Switches &sw, const char *v, const char *) {
         sw.output.histogram = number_value(v, &sw.analysis.bins);
       }},
      {nullptr, 0, "square", nullptr, V::none, false, 25, "--square",
       "mirror the lower triangle of .cor into the upper",
       [](Switches &sw, const char *, const char *) { sw.output.square = UpperTriangle::mirror; }},
      {nullptr, 0, "zsquare", nullptr, V::none, false, 26, "--zsquare",
       "fill the upper triangle of .cor with zeroes",
       [](Switches &sw, const char *, const char *) { sw.output.square = UpperTriangle::zeros; }},
      {nullptr, 'z', "split-file", nullptr, V::optional, true, 17, "-z, --split-file",
       "split the long lines of .inp",
       [](Switches &sw, const char *v, const char *) {
         sw.output.split_file = word_value("-z", v);
       }},
      {nullptr, 0, "summary-file", nullptr, V::none, false, 51, "--summary-file",
       "write the --conventional intervals and tests .sum",
       [](Switches &sw, const char *, const char *) { sw.output.summary_file = true; }},
      {nullptr, 0, "json", nullptr, V::optional, false, 31, "--json[=-]",
       "all results as JSON in .json, or a line on stdout",
       [](Switches &sw, const char *v, const char *) { sw.output.json = json_target(v); }},
      {nullptr, 0, "report", nullptr, V::none, false, 32, "--report", "write the HTML report .html",
       [](Switches &sw, const char *, const char *) { sw.output.report = true; }},

      {"Principal components:", 'e', "eigenvalues", nullptr, V::optional, false, 4,
       "-e, --eigenvalues[=N|WORD]", "components: .eig, .sco with N scores (default 3)",
       [](Switches &sw, const char *v, const char *) {
         sw.analysis.eigenvalues = number_value(v, &sw.analysis.scores);
       }},
      {nullptr, 'f', "fsc-file", nullptr, V::optional, false, 5, "-f, --fsc-file[=WORD]",
       "also write score coefficients .fsc (turns -e on)",
       [](Switches &sw, const char *v, const char *) {
         sw.output.fsc_file = word_value("-f", v);
         if (sw.output.fsc_file) sw.analysis.eigenvalues = true;
       }},
      {nullptr, '4', nullptr, nullptr, V::none, false, -1, "-4",
       "at most 4 scored components, .fsc without headers",
       [](Switches &sw, const char *, const char *) { sw.analysis.four = true; }},
      {nullptr, 'n', "scores-mean", nullptr, V::optional, true, 10, "-n, --scores-mean",
       "centre the data before the scores",
       [](Switches &sw, const char *v, const char *) {
         sw.analysis.scores_mean = word_value("-n", v);
       }},
      {nullptr, 0, "rotate", nullptr, V::required, false, 52, "--rotate=METHOD",
       "rotate the scored loadings: varimax or promax (--conventional)",
       [](Switches &sw, const char *v, const char *) { sw.analysis.rotate = rotate_choice(v); }},
      {nullptr, 'a', "allscores", nullptr, V::none, false, 0, "-a, --allscores",
       "as many scores as components",
       [](Switches &sw, const char *, const char *) { sw.analysis.allscores = true; }},

      {"Variable order:", 'i', "inverse", nullptr, V::none, false, 7, "-i, --inverse",
       "reverse the order of the variables",
       [](Switches &sw, const char *, const char *) { sw.read.inverse = true; }},
      {nullptr, 's', "sort", nullptr, V::required, false, 12, "-s, --sort=LIST",
       "reorder the variables by data-file columns",
       [](Switches &sw, const char *v, const char *) {
         sw.read.sort = true;
         sw.read.sort_list = v;
       }},

      {"Input:", 0, "csv", nullptr, V::none, false, 27, "--csv", "read comma-separated values",
       [](Switches &sw, const char *, const char *) { sw.read.csv = true; }},
      {nullptr, 0, "names", nullptr, V::none, false, 28, "--names",
       "the first data line holds the variable names",
       [](Switches &sw, const char *, const char *) { sw.read.names = true; }},
      {nullptr, 0, "missing", nullptr, V::required, false, 29, "--missing=WORD",
       "a field equal to WORD is missing (repeatable)",
       [](Switches &sw, const char *v, const char *) { sw.read.missing.emplace_back(v); }},
      {nullptr, 0, "numbers-only", nullptr, V::none, false, 35, "--numbers-only",
       "a word among the numbers is an error",
       [](Switches &sw, const char *, const char *) { sw.read.numbers_only = true; }},
      {nullptr, 0, "separator", nullptr, V::required, false, 40, "--separator=C",
       "fields separated by C (tab or \\t for a tab), CSV quoting",
       [](Switches &sw, const char *v, const char *) { sw.read.separator = separator_byte(v); }},
      {nullptr, 0, "comma-decimals", nullptr, V::none, false, 41, "--comma-decimals",
       "a decimal comma in every number (3,14)",
       [](Switches &sw, const char *, const char *) { sw.read.comma_decimals = true; }},
      {nullptr, 0, "columns", nullptr, V::required, false, 42, "--columns=LIST",
       "analyse only these columns, in this order (names, 2-5)",
       [](Switches &sw, const char *v, const char *) { pick_columns(sw, ColumnPick::listed, v); }},
      {nullptr, 0, "skip-columns", nullptr, V::required, false, 43, "--skip-columns=LIST",
       "leave these columns out (names, numbers, ranges)",
       [](Switches &sw, const char *v, const char *) {
         pick_columns(sw, ColumnPick::unlisted, v);
       }},
      {nullptr, 0, "use", nullptr, V::required, false, 45, "--use=pairwise",
       "each statistic over the values present (default complete rows)",
       [](Switches &sw, const char *v, const char *) { sw.analysis.use = missing_use(v); }},
      {nullptr, 0, "by", nullptr, V::required, false, 46, "--by=COLUMN",
       "analyse each group of rows with one value in COLUMN too",
       [](Switches &sw, const char *v, const char *) { sw.analysis.by = v; }},
      {nullptr, 0, "group-limit", nullptr, V::required, false, 47, "--group-limit=N",
       "most groups --by may make (default 1000)",
       [](Switches &sw, const char *v,
          const char *) { sw.analysis.group_limit = count_value("--group-limit", v, 1000000); }},
      {nullptr, 0, "max-memory", nullptr, V::required, false, 48, "--max-memory=SIZE",
       "a larger file is analysed in passes within SIZE (K, M, G)",
       [](Switches &sw, const char *v, const char *) {
         sw.read.max_memory = size_value("--max-memory", v);
       }},

      {"Run and console:", 0, "results-dir", nullptr, V::required, false, 30, "--results-dir=DIR",
       "write the result files into DIR",
       [](Switches &sw, const char *v, const char *) { sw.output.results_dir = v; }},
      {nullptr, 0, "threads", nullptr, V::required, false, 33, "--threads=N",
       "use up to N threads, 1 to 1024",
       [](Switches &sw, const char *v,
          const char *) { sw.run.threads = count_value("--threads", v, 1024); }},
      {nullptr, 0, "keep-going", nullptr, V::none, false, 36, "--keep-going",
       "a data file that fails is skipped",
       [](Switches &sw, const char *, const char *) { sw.run.keep_going = true; }},
      {nullptr, 0, "quiet", "silence", V::none, false, 19, "--quiet, --silence",
       "no banner, progress, announcements or table",
       [](Switches &sw, const char *, const char *) { sw.run.quiet = true; }},
      {nullptr, 'd', "debug", nullptr, V::none, false, 3, "-d, --debug",
       "print the allocations and histogram traces",
       [](Switches &sw, const char *, const char *) { sw.run.debug = true; }},
      {nullptr, 0, "timer", nullptr, V::none, false, 23, "--timer",
       "print the elapsed seconds at the end",
       [](Switches &sw, const char *, const char *) { sw.run.timer = true; }},
      {nullptr, 0, "no-log", nullptr, V::none, false, 38, "--no-log", "write no line to logfile",
       [](Switches &sw, const char *, const char *) { sw.run.no_log = true; }},
      {nullptr, 'q', "copyright", nullptr, V::none, false, 11, "-q, --copyright",
       "print the copyright text",
       [](Switches &, const char *, const char *) { std::fputs(kCopyright, stderr); }},
      {nullptr, '?', "help", nullptr, V::none, false, 21, "-?, --help",
       "show the usage through the pager", ignored, SwitchEnd::usage},
      {nullptr, 0, "more", nullptr, V::none, false, 22, "--more",
       "print the usage directly (before -?)",
       [](Switches &sw, const char *, const char *) { sw.run.more = true; }},
      {nullptr, 0, "switches", nullptr, V::none, false, 39, "--switches", "print this list and end",
       ignored, SwitchEnd::switch_list},
      {nullptr, 0, "version", nullptr, V::none, false, 37, "--version", "print the version and end",
       ignored, SwitchEnd::version},
      {nullptr, 0, "where", nullptr, V::required, false, 16, "--where=VALUE",
       "print the program name",
       [](Switches &, const char *,
          const char *program) { std::fprintf(stderr, "%s\n", program); }},
      {nullptr, 'l', "language", nullptr, V::required, false, 8, "-l, --language=VALUE",
       "accepted and ignored", ignored},
      {nullptr, 'x', "transpose", nullptr, V::none, false, 15, "-x, --transpose",
       "not implemented: ends the run",
       [](Switches &, const char *, const char *) { fatal("Not implemented yet!\n"); }},
      {nullptr, 'g', nullptr, nullptr, V::required, false, -1, "-g VALUE, -w VALUE",
       "reserved: refused as an unknown option", unknown},
      {nullptr, 'w', nullptr, nullptr, V::required, false, -1, nullptr, nullptr, unknown},
  };
  return rows;
}

}  // namespace

const std::vector<SwitchRow> &switch_table() { return table_rows(); }
