// The list of every switch that --switches prints, from the switch table:
// its group titles, and each switch's forms and meaning on a line.
#include "cli/switchlist.h"

#include "cli/switchtable.h"

#include <algorithm>

namespace {

constexpr size_t kFormsWidth = 30;

}  // namespace

std::string switch_list_text() {
  std::string text =
      "Switches of vantor, one a line. WORD: absent, + or on for on, - or off for off.\n"
      "Long names may be shortened to any unambiguous prefix; -T is -t and so on.\n";
  for (const SwitchRow &row : switch_table()) {
    if (row.group != nullptr) text.append("\n").append(row.group).append("\n");
    if (row.forms == nullptr) continue;  // listed with the row before it
    std::string forms = std::string("  ") + row.forms;
    forms.resize(std::max(forms.size() + 1, kFormsWidth), ' ');
    text.append(forms).append(row.meaning).append("\n");
  }
  return text;
}
