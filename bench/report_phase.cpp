// Times the report apart from the rest of a run: loads one file, runs the
// statistics (and with -e the eigen analysis) quietly, then builds and
// writes its page, printing the time and size of each report step.
#include <chrono>
#include <cstdio>
#include <cstring>

#include "base/messages.h"
#include "analyse.h"
#include "pipeline.h"
#include "output/report_data.h"

namespace {

double seconds_since(std::chrono::steady_clock::time_point start) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

}  // namespace

int main(int argc, char **argv) {
  const bool eigen = argc == 3 && std::strcmp(argv[1], "-e") == 0;
  if (argc != 2 && !eigen) {
    std::fprintf(stderr, "usage: report_phase [-e] FILE\n");
    return 2;
  }
  Switches sw;
  sw.run.quiet = 1;
  sw.output.mean = sw.output.tetrad = 0;
  sw.analysis.eigenvalues = eigen;
  const Console con{stdout, stderr, true};
  try {
    RunState run = make_run_state(sw);
    const OutputPlace place_ = output_place(argv[argc - 1]);
    Analysis a = load_data_file(argv[argc - 1], sw, run, con);
    analyse_and_write(a, place_, sw, run, con);
    auto start = std::chrono::steady_clock::now();
    const ReportInput in =
        report_input(a, place_, document_options(sw, run.scores_count), ReportRun{"", report_date(0)});
    const double gather = seconds_since(start);
    start = std::chrono::steady_clock::now();
    const std::string page = report_page(in);
    const double build = seconds_since(start);
    start = std::chrono::steady_clock::now();
    write_report_file(a, place_, document_options(sw, run.scores_count), ReportRun{"", report_date(0)}, con);
    const double whole = seconds_since(start);
    std::printf("input %.3f s, page %.3f s, whole .html %.3f s, %zu bytes\n", gather, build,
                whole, page.size());
  } catch (const RunEnd &end) {
    std::fprintf(stderr, "\nError: %s", end.message.c_str());
    return end.status;
  }
  return 0;
}
