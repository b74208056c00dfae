// Fuzz target: the switch parser over random argument vectors. "--more" goes
// first so that a usage request prints directly instead of starting a pager.
#include <cstdio>

#include "fuzz_common.h"
#include "base/messages.h"
#include "cli/options.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  std::vector<std::string> args = split_arguments(data, size, 64);
  args.insert(args.begin(), {"vantor", "--more"});
  std::vector<char *> argv = make_argv(args);
  opterr = 0;
  try {
    parse_switches(static_cast<int>(args.size()), argv.data());
  } catch (const RunEnd &) {
  }
  return 0;
}
