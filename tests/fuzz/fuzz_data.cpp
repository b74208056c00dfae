// Fuzz target: arbitrary bytes as a data file through examination, the work
// arrays, loading and every statistic, with the default switches and no
// result files written.
#include <unistd.h>

#include <cstdio>
#include <string>

#include "fuzz_common.h"
#include "base/messages.h"
#include "pipeline.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  if (size > 65536) return 0;
  char path[] = "/tmp/vantor-fuzz-data-XXXXXX";
  const int fd = mkstemp(path);
  if (fd < 0) return 0;
  FILE *f = fdopen(fd, "wb");
  if (f == nullptr) {
    close(fd);
    unlink(path);
    return 0;
  }
  std::fwrite(data, 1, size, f);
  std::fclose(f);

  Switches sw;
  sw.run.quiet = 1;
  sw.analysis.bins = 7;
  const Console con{stdout, stderr, true};
  try {
    // A fresh run state each time, so that the examination buffer's growth
    // path is exercised.
    RunState run = make_run_state(sw);
    Analysis a = load_data_file(path, sw, run, con);
    compute_statistics(a, sw.analysis, con);
    // The decomposition is cubic in the variables: wide inputs would only
    // measure its running time.
    if (a.m <= 100) compute_components(a);
  } catch (const RunEnd &) {
  }
  unlink(path);
  return 0;
}
