// The list of every switch that --switches prints: specified and extension
// switches alike, one line each with its meaning. The usage text of -? is
// another text and stays as it is.
#pragma once

#include <string>

// The whole list, a heading line, group titles and one line per switch, each
// line ending in a line end.
std::string switch_list_text();
