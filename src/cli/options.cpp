// Switch parsing with getopt_long over the forms the switch table gives it;
// each switch read applies its row's effect to one Switches record that the
// caller keeps. The word and number grammars of the released switches.
#include "cli/options.h"

#include <getopt.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "base/messages.h"
#include "cli/switchlist.h"
#include "cli/switchtable.h"

namespace {

// getopt's forms of the switch table: the short letters with their value
// marks (every letter also in upper case), the long names in rank order,
// and for each code getopt returns, the row it stands for. A switch with a
// letter returns the letter; a long-only one a code above every byte.
struct GetoptForms {
  std::string short_options;
  std::vector<struct option> long_options;
  std::vector<const SwitchRow *> row_of_code;
};

constexpr int kFirstLongCode = 256;

const char *value_marks(SwitchValue v) {
  return v == SwitchValue::none ? "" : v == SwitchValue::optional ? "::" : ":";
}

int getopt_value(SwitchValue v) {
  return v == SwitchValue::none       ? no_argument
         : v == SwitchValue::optional ? optional_argument
                                      : required_argument;
}

GetoptForms make_getopt_forms() {
  GetoptForms f;
  const std::vector<SwitchRow> &table = switch_table();
  f.row_of_code.assign(kFirstLongCode + table.size(), nullptr);
  std::vector<std::pair<int, struct option>> ranked;
  for (size_t k = 0; k < table.size(); ++k) {
    const SwitchRow &row = table[k];
    int code = kFirstLongCode + static_cast<int>(k);
    if (row.letter != 0) {
      const auto letter = static_cast<unsigned char>(row.letter);
      code = letter;
      f.short_options.append(1, row.letter).append(value_marks(row.value));
      if (std::isalpha(letter))
        f.short_options.append(1, static_cast<char>(std::toupper(letter))).append(value_marks(row.value));
    }
    f.row_of_code[static_cast<size_t>(code)] = &row;
    const int has_arg = getopt_value(row.value_short_only ? SwitchValue::none : row.value);
    if (row.name != nullptr) ranked.push_back({2 * row.rank, {row.name, has_arg, nullptr, code}});
    if (row.alias != nullptr) ranked.push_back({2 * row.rank + 1, {row.alias, has_arg, nullptr, code}});
  }
  std::sort(ranked.begin(), ranked.end(),
            [](const auto &x, const auto &y) { return x.first < y.first; });
  for (const auto &r : ranked) f.long_options.push_back(r.second);
  f.long_options.push_back({nullptr, 0, nullptr, 0});
  return f;
}

const GetoptForms &getopt_forms() {
  static const GetoptForms forms = make_getopt_forms();
  return forms;
}

}  // namespace

const char *const kShortOptions = getopt_forms().short_options.c_str();
const struct option *const kLongOptions = getopt_forms().long_options.data();

namespace {

// Tests 2 to 5 of the word grammar; -1 when none applies.
int word_prefix(const char *value) {
  if (value[0] == '-') return 0;
  if (std::strncmp(value, "off", 3) == 0) return 0;
  if (value[0] == '+') return 1;
  if (std::strncmp(value, "on", 2) == 0) return 1;
  return -1;
}

// The order of --columns is the variable order: -s and -i would contradict
// it. Columns are chosen in separated files only.
void check_column_pick(const Switches &sw) {
  if (sw.read.pick == ColumnPick::all) return;
  const char *name = sw.read.pick == ColumnPick::listed ? "--columns" : "--skip-columns";
  if (sw.read.pick == ColumnPick::listed && sw.read.sort)
    fatal("--columns cannot be used with -s\n");
  if (sw.read.pick == ColumnPick::listed && sw.read.inverse)
    fatal("--columns cannot be used with -i\n");
  if (!sw.read.csv && sw.read.separator == 0) fatal("%s needs --csv or --separator\n", name);
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
    const int error = errno;
    std::fprintf(stderr, "strtol: %s\n", std::strerror(error));
    end_run(1);
  }
  if (result < 0) fatal("Only positive numbers\n");
  if (result > 0) *count = static_cast<unsigned int>(result);
  int on = word_prefix(value);
  if (on >= 0) return on;
  return result > 0 ? 1 : 0;
}

namespace {

// The error stream, while it exists, writes into `text`.
struct ErrorStreamCapture {
  FILE *saved = stderr;
  char *bytes = nullptr;
  size_t size = 0;
  FILE *buffer = nullptr;
  ErrorStreamCapture() {
    buffer = open_memstream(&bytes, &size);
    if (buffer != nullptr) stderr = buffer;
  }
  ErrorStreamCapture(const ErrorStreamCapture &) = delete;
  ErrorStreamCapture &operator=(const ErrorStreamCapture &) = delete;
  std::string text() {
    if (buffer == nullptr) return std::string();
    std::fflush(buffer);
    return std::string(bytes, size);
  }
  ~ErrorStreamCapture() {
    stderr = saved;
    if (buffer != nullptr) std::fclose(buffer);
    std::free(bytes);
  }
};

void scan_switches(int argc, char **argv, CommandLine &cl) {
  Switches &sw = cl.switches;
  const GetoptForms &forms = getopt_forms();
  optind = 0;  // a full restart of getopt's scan
  for (;;) {
    int opt = getopt_long(argc, argv, kShortOptions, kLongOptions, nullptr);
    if (opt == -1) break;
    if (opt > 0 && opt < 256 && std::isupper(opt)) opt = std::tolower(opt);
    // '?' is also what getopt returns for a switch it does not know or a
    // value it misses: the usage either way.
    const SwitchRow *row = opt > 0 && static_cast<size_t>(opt) < forms.row_of_code.size()
                               ? forms.row_of_code[static_cast<size_t>(opt)]
                               : nullptr;
    if (row == nullptr) fatal("Unknown option");
    row->effect(sw, optarg, argv[0]);
    if (row->ends != SwitchEnd::none) {
      cl.end = row->ends;
      return;
    }
  }
  check_options(sw);
}

}  // namespace

CommandLine parse_switches(int argc, char **argv) {
  CommandLine cl;
  {
    ErrorStreamCapture capture;
    try {
      scan_switches(argc, argv, cl);
    } catch (const RunEnd &) {
      cl.error = std::current_exception();
    }
    cl.said = capture.text();
  }
  cl.first_file = optind;
  return cl;
}

void act_on_switches(const CommandLine &cl, const char *program) {
  std::fputs(cl.said.c_str(), stderr);
  if (cl.error) std::rethrow_exception(cl.error);
  switch (cl.end) {
    case SwitchEnd::none:
      return;
    case SwitchEnd::usage:
      usage(program, cl.switches.run.more);
    case SwitchEnd::switch_list:
      std::fputs(switch_list_text().c_str(), stdout);
      end_run(0);
    case SwitchEnd::version:
      std::printf("vantor %s\n", kVersionTag);
      end_run(0);
  }
}

void check_options(const Switches &sw) {
  if (sw.read.comma_decimals &&
      (sw.read.separator == ',' || (sw.read.csv && sw.read.separator == 0)))
    fatal("--comma-decimals cannot be used with the comma as separator\n");
  check_column_pick(sw);
  // The ranks are taken over complete rows only.
  if (sw.analysis.rank != RankChoice::none && sw.analysis.use == MissingUse::pairwise)
    fatal("--rank cannot be used with --use=pairwise\n");
  if (sw.analysis.ci != 0 && !sw.analysis.conventional) fatal("--ci needs --conventional\n");
  if (sw.output.summary_file && !sw.analysis.conventional)
    fatal("--summary-file needs --conventional\n");
  // The rotation turns the components' loadings; it computes none itself,
  // so that the component files are written only when -e asks for them.
  if (sw.analysis.rotate != RotateChoice::none && !sw.analysis.conventional)
    fatal("--rotate needs --conventional\n");
  if (sw.analysis.rotate != RotateChoice::none && !sw.analysis.eigenvalues)
    fatal("--rotate needs -e\n");
}
