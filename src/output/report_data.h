// The report of one data file as the driver writes it: the page's input
// taken from the file's record, the date and command line shown on it, and
// the ".html" result file.
#pragma once

#include <ctime>
#include <string>

#include "record/analysis.h"
#include "record/groups.h"
#include "base/console.h"
#include "output/naming.h"
#include "output/report.h"
#include "output/docoptions.h"

// What the page shows about the run rather than the file.
struct ReportRun {
  std::string arguments;  // the command line after the program name
  std::string date;       // YYYY-MM-DD
};

// Score points drawn at most; a larger file is thinned to every k-th row.
constexpr uint32_t kReportScorePoints = 5000;

// The arguments after the program name, blank-separated; one that a shell
// would split or expand is put in single quotes.
std::string argument_text(int argc, char **argv);

// The date of `now` in UTC, or of SOURCE_DATE_EPOCH when that holds a
// number of seconds, so that a test or a package build gets the same page
// every time.
std::string report_date(std::time_t now);

// The page's input from a file whose statistics (and, with -e, eigen
// analysis) are done. Labels are the names when the file has them, else
// the data-file column numbers; the score plot uses the definition of
// ".sco" under the same -4 and --scores-mean.
ReportInput report_input(const Analysis &a, const OutputPlace &place, const DocumentOptions &options,
                         const ReportRun &run);

// report_input with, under --by, the table of the groups.
ReportInput full_report_input(const Analysis &a, const OutputPlace &place, const DocumentOptions &options,
                              const ReportRun &run, const std::vector<GroupResult> *groups);

// ".html", announced and protected like every result file.
void write_report_file(const Analysis &a, const OutputPlace &place, const DocumentOptions &options,
                       const ReportRun &run, const Console &con,
                       const std::vector<GroupResult> *groups = nullptr);
