// Message forms, banner and usage. Everything that the tool says about itself
// (as opposed to its results) is worded here.
#include "base/messages.h"

#include <cstdarg>
#include <cstdio>
#include <cstdlib>

#ifndef VANTOR_REVISION
#define VANTOR_REVISION "0000000"
#endif
// The version number is the project's (CMakeLists.txt) and nowhere else.
#ifndef VANTOR_VERSION
#error "VANTOR_VERSION comes from the build"
#endif

#define VANTOR_VERSION_TAG "v" VANTOR_VERSION "-0-g" VANTOR_REVISION

const char kBanner[] =
    "vantor Version " VANTOR_VERSION_TAG " " __DATE__ " " __TIME__ " by the vantor maintainers";
const char kVersionTag[] = VANTOR_VERSION_TAG;
const char kCopyright[] =
    "Copyright (C) 2017-2026\n"
    "The vantor maintainers";

// Version markers kept in the binary for `strings` and `what`-style tools.
extern const char kVersionMarker[];
extern const char kObtverMarker[];
const char kVersionMarker[] = "vantor Ver: " VANTOR_VERSION_TAG;
const char kObtverMarker[] = "$obtver " VANTOR_VERSION_TAG;

static const char kUsage[] =
    "Calculates correlation matrixes.\n"
    "\n"
    "USAGE: %s <filename> <options>\n"
    "\n"
    "\n"
    "Arguments to long options apply to short options as well.\n"
    "Options:                                                       File extensions\n"
    "* -t, --tetrad=[+|-|on|off]       Writes TETRAD-DAT files             .inp\n"
    "      --oldtetrad=[+|-|on|off]    Writes old TETRAD-DAT files         .da1\n"
    "  -c, --correlation=[+|-|on|off]  Writes Correlation files            .cor\n"
    "  -v, --covariance=[+|-|on|off]   Writes Covariance files             .cov\n"
    "* -m, --mean=[+|-|on|off]         Writes Mean, Variance & Std.dev.    .mvd\n"
    "  -e, --eigenvalues=[+|-|on|off|nr]\n"
    "                                  Writes nr (default 3) Eigenvalues & .eig\n"
    "                                  Scores                              .sco\n"
    "  -h, --histogram=[+|-|on|off|nr] Writes Histogram (nr bins deflt 30) .his\n"
    "  -f, --fsc-file=[+|-|on|off]     Writes factor score coefficient-/   .fsc\n"
    "                                  transformation matrix-file for kalvi.\n"
    "  -4                              Special version of -f\n"
    "  -n, --scores-mean=[+|-|on|off]  Remove mean from data before scores-\n"
    "                                  calculation.\n"
    "  -i, --inverse                   Reverse order in TETRAD-DAT files.\n"
    "  -s, --sort=\"x x x\"              Sorts the variables.\n"
    "  -z, --split-file                Splits lines (in TETRAD).\n"
    "  -a, --allscores                 Maximum number of Scores\n"
    "  -b, --stddev                    Writes a normalized file            .std\n"
    "                                  (<filename>-mean)/stddeviation\n"
    "      --quartiles                 Add lower/upper quartile to mvd-file\n"
    "  -x, --transpose                 Transpose file before calculation\n"
    "      --square                    Fill upper right of correlation with mirror along diagonal\n"
    "      --zsquare                   Fill upper right of correlation with zeroes\n"
    "      --quiet                     Less verbose output, good for batchfiles.\n"
    "  -q, --copyright                 Copyright.\n"
    "  -?, --help                      This information.\n"
    "\n"
    "WARNING: for a valid .sco-file apply -n/--scores-mean option\n"
    "\n"
    "A '-' after an option disables that option.\n"
    "Options marked with '*' are enabled by default.\n"
    "Bug-reports & sugestions to vantor-bugs@lists.vantor.example\n";

static std::string vformat(const char *fmt, va_list ap) {
  va_list copy;
  va_copy(copy, ap);
  int len = std::vsnprintf(nullptr, 0, fmt, copy);
  va_end(copy);
  if (len <= 0) return std::string();
  std::string out(static_cast<size_t>(len) + 1, '\0');
  std::vsnprintf(out.data(), out.size(), fmt, ap);
  out.resize(static_cast<size_t>(len));
  return out;
}

void fatal(const char *fmt, ...) {
  va_list ap;
  va_start(ap, fmt);
  std::string text = vformat(fmt, ap);
  va_end(ap);
  throw RunEnd{1, text};
}

void end_run(int status) { throw RunEnd{status, std::string()}; }

std::string usage_text(const char *program) {
  std::string out;
  const char *mark = kUsage;
  const char *conv = nullptr;
  for (const char *p = kUsage; *p; ++p)
    if (p[0] == '%' && p[1] == 's') { conv = p; break; }
  out.append(mark, conv);
  out.append(program);
  out.append(conv + 2);
  return out;
}

std::string shell_quoted(const char *text) {
  std::string out = "'";
  for (const char *p = text; *p; ++p) {
    if (*p == '\'')
      out += "'\\''";
    else
      out += *p;
  }
  out += '\'';
  return out;
}

std::string pager_command(const char *program) {
  return shell_quoted(program) + " --more -? | more";
}

void usage(const char *program, int more) {
  if (!more) {
    std::fflush(stdout);
    std::fflush(stderr);
    int rc = std::system(pager_command(program).c_str());
    (void)rc;  // the pager's own outcome is not reported
    end_run(1);
  }
  std::printf("%s\n", kBanner);
  std::printf("%s\n", kCopyright);
  std::fputs(usage_text(program).c_str(), stdout);
  end_run(0);
}
