// Every switch of the program, defined once: its short letter and long
// names, its value, its line in the --switches list and its effect on the
// option record. The parser, the --switches list and the docs test read it.
#pragma once

#include <cstdint>
#include <vector>

#include "cli/switches.h"

// Whether a switch takes a value: none, one attached (-e5, --eig=5), or
// one it needs (-s LIST, --sort=LIST).
enum class SwitchValue { none, optional, required };

// What a switch does once read: `value` is its value or null, `program`
// the program's name (argument 0).
using SwitchEffect = void (*)(Switches &sw, const char *value, const char *program);

// What ends the run once a switch is read, before any data file: the usage
// (-?), the switch list (--switches) or the version (--version).
enum class SwitchEnd { none, usage, switch_list, version };

struct SwitchRow {
  const char *group;    // the --switches group title, on the first row of a group
  char letter;          // the short form ('\0' for none); -X equals -x
  const char *name;     // the long form, or null
  const char *alias;    // a second long name of the same switch, or null
  SwitchValue value;
  bool value_short_only;  // the long form takes no value (-n-, but --scores-mean)
  // The place of the long name in the table getopt reads, which decides
  // what an abbreviation matches and the order an ambiguity is listed in:
  // the released switches first, then the extensions in the order they
  // came. A new switch takes the next place. -1 for a short form alone.
  int16_t rank;
  const char *forms;    // the forms as --switches lists them
  const char *meaning;  // its line in the list
  SwitchEffect effect;
  SwitchEnd ends = SwitchEnd::none;  // the parse stops here, and the driver ends the run
};

// The rows in the order --switches lists them.
const std::vector<SwitchRow> &switch_table();
