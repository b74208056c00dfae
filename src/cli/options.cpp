// Switch parsing with getopt_long: the short option string, the long option
// table, the word-value and number-value grammars and the immediate actions.
// The settings land in one Switches record that the caller keeps.
#include "cli/options.h"

#include <getopt.h>

#include <cctype>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "base/messages.h"
#include "cli/switchlist.h"

// Every upper-case letter is declared like its lower-case twin.
const char kShortOptions[] =
    "4ABC::DE::F::G:H::IL:M::N::QS:T::V::W:XZ::?abc::de::f::g:h::il:m::n::qs:t::v::w:xz::";

namespace {
// Codes of the long-only switches, below every character code.
enum {
  kWhere = 1,
  kOldTetrad,
  kQuiet,
  kDebug,
  kMore,
  kTimer,
  kQuartiles,
  kSquare,
  kZsquare,
  // Extensions: appended after the released table, with names that leave
  // every abbreviation of a released switch meaning what it meant.
  kCsv,
  kNames,
  kMissing,
  kResultsDir,
  kJson,
  kReport,
  kThreads,
  kPearson,
  kNumbersOnly,
  kKeepGoing,
  kVersion,
  kNoLog,
  kSwitches,
  kSeparator,
  kCommaDecimals,
  kColumns,
  kSkipColumns,
  kConventional,
  kUse,
  kBy,
  kGroupLimit,
  kMaxMemory,
  kRank,
  kCi,
  kSummaryFile,
};
}  // namespace

const struct option kLongOptions[] = {
    {"allscores", no_argument, nullptr, 'a'},
    {"stddev", no_argument, nullptr, 'b'},
    {"correlation", optional_argument, nullptr, 'c'},
    {"debug", no_argument, nullptr, kDebug},
    {"eigenvalues", optional_argument, nullptr, 'e'},
    {"fsc-file", optional_argument, nullptr, 'f'},
    {"histogram", optional_argument, nullptr, 'h'},
    {"inverse", no_argument, nullptr, 'i'},
    {"language", required_argument, nullptr, 'l'},
    {"mean", optional_argument, nullptr, 'm'},
    {"scores-mean", no_argument, nullptr, 'n'},
    {"copyright", no_argument, nullptr, 'q'},
    {"sort", required_argument, nullptr, 's'},
    {"tetrad", optional_argument, nullptr, 't'},
    {"covariance", optional_argument, nullptr, 'v'},
    {"transpose", no_argument, nullptr, 'x'},
    {"where", required_argument, nullptr, kWhere},
    {"split-file", no_argument, nullptr, 'z'},
    {"oldtetrad", optional_argument, nullptr, kOldTetrad},
    {"quiet", no_argument, nullptr, kQuiet},
    {"silence", no_argument, nullptr, kQuiet},
    {"help", no_argument, nullptr, '?'},
    {"more", no_argument, nullptr, kMore},
    {"timer", no_argument, nullptr, kTimer},
    {"quartiles", no_argument, nullptr, kQuartiles},
    {"square", no_argument, nullptr, kSquare},
    {"zsquare", no_argument, nullptr, kZsquare},
    {"csv", no_argument, nullptr, kCsv},
    {"names", no_argument, nullptr, kNames},
    {"missing", required_argument, nullptr, kMissing},
    {"results-dir", required_argument, nullptr, kResultsDir},
    {"json", optional_argument, nullptr, kJson},
    {"report", no_argument, nullptr, kReport},
    {"threads", required_argument, nullptr, kThreads},
    {"pearson", no_argument, nullptr, kPearson},
    {"numbers-only", no_argument, nullptr, kNumbersOnly},
    {"keep-going", no_argument, nullptr, kKeepGoing},
    {"version", no_argument, nullptr, kVersion},
    {"no-log", no_argument, nullptr, kNoLog},
    {"switches", no_argument, nullptr, kSwitches},
    {"separator", required_argument, nullptr, kSeparator},
    {"comma-decimals", no_argument, nullptr, kCommaDecimals},
    {"columns", required_argument, nullptr, kColumns},
    {"skip-columns", required_argument, nullptr, kSkipColumns},
    {"conventional", no_argument, nullptr, kConventional},
    {"use", required_argument, nullptr, kUse},
    {"by", required_argument, nullptr, kBy},
    {"group-limit", required_argument, nullptr, kGroupLimit},
    {"max-memory", required_argument, nullptr, kMaxMemory},
    {"rank", required_argument, nullptr, kRank},
    {"ci", required_argument, nullptr, kCi},
    {"summary-file", no_argument, nullptr, kSummaryFile},
    {nullptr, 0, nullptr, 0},
};

namespace {

// Tests 2 to 5 of the word grammar; -1 when none applies.
int word_prefix(const char *value) {
  if (value[0] == '-') return 0;
  if (std::strncmp(value, "off", 3) == 0) return 0;
  if (value[0] == '+') return 1;
  if (std::strncmp(value, "on", 2) == 0) return 1;
  return -1;
}

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

// --columns and --skip-columns: one of them, the last LIST given.
void pick_columns(Switches &sw, ColumnPick pick, const char *list) {
  if (sw.pick != ColumnPick::all && sw.pick != pick)
    fatal("--columns cannot be used with --skip-columns\n");
  sw.pick = pick;
  sw.pick_list = list;
}

// The order of --columns is the variable order: -s and -i would contradict
// it. Columns are chosen in separated files only.
void check_column_pick(const Switches &sw) {
  if (sw.pick == ColumnPick::all) return;
  const char *name = sw.pick == ColumnPick::listed ? "--columns" : "--skip-columns";
  if (sw.pick == ColumnPick::listed && sw.sort) fatal("--columns cannot be used with -s\n");
  if (sw.pick == ColumnPick::listed && sw.inverse) fatal("--columns cannot be used with -i\n");
  if (!sw.csv && sw.separator == 0) fatal("%s needs --csv or --separator\n", name);
}

}  // namespace

int word_value(const char *name, const char *value) {
  if (value == nullptr) return 1;
  int on = word_prefix(value);
  if (on < 0) fatal("Need a numeric argument to option %s (%s)\n", name, value);
  return on;
}

int number_value(const char *value, unsigned int *count) {
  if (value == nullptr) return 1;
  errno = 0;
  long wide = std::strtol(value, nullptr, 10);
  // The count is a signed 32-bit quantity: a value beyond that range is the
  // same range error as one beyond the range of long.
  long result = wide;
  if (wide > INT_MAX) {
    result = INT_MAX;
    errno = ERANGE;
  } else if (wide < INT_MIN) {
    result = INT_MIN;
    errno = ERANGE;
  }
  if ((errno == ERANGE && (result == INT_MAX || result == INT_MIN)) ||
      (errno != 0 && result == 0)) {
    std::perror("strtol");
    end_run(1);
  }
  if (result < 0) fatal("Only positive numbers\n");
  if (result > 0) *count = static_cast<unsigned int>(result);
  int on = word_prefix(value);
  if (on >= 0) return on;
  return result > 0 ? 1 : 0;
}

CommandLine parse_switches(int argc, char **argv) {
  Switches sw;
  optind = 0;  // a full restart of getopt's scan
  for (;;) {
    int opt = getopt_long(argc, argv, kShortOptions, kLongOptions, nullptr);
    if (opt == -1) break;
    if (opt > 0 && opt < 256 && std::isupper(opt)) opt = std::tolower(opt);
    switch (opt) {
      case 'a': sw.allscores = true; break;
      case 'b': sw.stddev = true; break;
      case 'c': sw.correlation = word_value("-c", optarg); break;
      case 'd': sw.debug = true; break;
      case 'e': sw.eigenvalues = number_value(optarg, &sw.scores); break;
      case 'f':
        sw.fsc_file = word_value("-f", optarg);
        if (sw.fsc_file) sw.eigenvalues = true;
        break;
      case 'h': sw.histogram = number_value(optarg, &sw.bins); break;
      case 'i': sw.inverse = true; break;
      case 'l': break;
      case 'm': sw.mean = word_value("-m", optarg); break;
      case 'n': sw.scores_mean = word_value("-n", optarg); break;
      case 'q': std::fputs(kCopyright, stderr); break;
      case 's':
        sw.sort = true;
        sw.sort_list = optarg;
        break;
      case 't': sw.tetrad = word_value("-t", optarg); break;
      case 'v': sw.covariance = word_value("-v", optarg); break;
      case 'x': fatal("Not implemented yet!\n");
      case 'z': sw.split_file = word_value("-z", optarg); break;
      case '4': sw.four = true; break;
      case '?': usage(argv[0], sw.more);
      case kWhere: std::fprintf(stderr, "%s\n", argv[0]); break;
      case kOldTetrad: sw.oldtetrad = word_value("--oldtetrad", optarg); break;
      case kQuiet: sw.quiet = true; break;
      case kDebug: sw.debug = true; break;
      case kMore: sw.more = true; break;
      case kTimer: sw.timer = true; break;
      case kQuartiles: sw.quartiles = true; break;
      case kSquare: sw.square = UpperTriangle::mirror; break;
      case kZsquare: sw.square = UpperTriangle::zeros; break;
      case kCsv: sw.csv = true; break;
      case kNames: sw.names = true; break;
      case kMissing: sw.missing.emplace_back(optarg); break;
      case kResultsDir: sw.results_dir = optarg; break;
      case kJson: sw.json = json_target(optarg); break;
      case kReport: sw.report = true; break;
      case kThreads: sw.threads = count_value("--threads", optarg, 1024); break;
      case kPearson: sw.pearson = true; break;
      case kNumbersOnly: sw.numbers_only = true; break;
      case kKeepGoing: sw.keep_going = true; break;
      case kVersion:
        std::printf("vantor %s\n", kVersionTag);
        end_run(0);
      case kNoLog: sw.no_log = true; break;
      case kSeparator: sw.separator = separator_byte(optarg); break;
      case kCommaDecimals: sw.comma_decimals = true; break;
      case kColumns: pick_columns(sw, ColumnPick::listed, optarg); break;
      case kSkipColumns: pick_columns(sw, ColumnPick::unlisted, optarg); break;
      case kConventional:
        // Pearson's r is one of the conventions; the others are read from
        // this switch where they apply.
        sw.conventional = true;
        sw.pearson = true;
        break;
      case kUse: sw.use = missing_use(optarg); break;
      case kBy: sw.by = optarg; break;
      case kGroupLimit: sw.group_limit = count_value("--group-limit", optarg, 1000000); break;
      case kMaxMemory: sw.max_memory = size_value("--max-memory", optarg); break;
      case kRank: sw.rank = rank_choice(optarg); break;
      case kCi: sw.ci = confidence_level(optarg); break;
      case kSummaryFile: sw.summary_file = true; break;
      case kSwitches:
        std::fputs(switch_list_text().c_str(), stdout);
        end_run(0);
      default: fatal("Unknown option");
    }
  }
  check_options(sw);
  return CommandLine{sw, optind};
}

void check_options(const Switches &sw) {
  if (sw.comma_decimals && (sw.separator == ',' || (sw.csv && sw.separator == 0)))
    fatal("--comma-decimals cannot be used with the comma as separator\n");
  check_column_pick(sw);
  // The ranks are taken over complete rows only.
  if (sw.rank != RankChoice::none && sw.use == MissingUse::pairwise)
    fatal("--rank cannot be used with --use=pairwise\n");
  if (sw.ci != 0 && !sw.conventional) fatal("--ci needs --conventional\n");
  if (sw.summary_file && !sw.conventional) fatal("--summary-file needs --conventional\n");
}
