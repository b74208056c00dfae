// The columns that --columns and --skip-columns name: a LIST of names,
// 1-based data-file column numbers and ranges, split with the CSV quoting
// rules so that a name may hold a comma.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// The data-file columns (0-based) that `list` names, in list order. A token
// that is exactly one of `names` is that column; otherwise it is a number
// N or a range A-B of 1-based columns among `columns`. Ends the run, naming
// `option` and the token, for an empty list or token, a token that names
// no column, a range past the last column or running backwards, and (when
// `unique`) a column listed twice.
std::vector<uint32_t> listed_columns(const std::string &list, const std::vector<std::string> &names,
                                     uint32_t columns, const char *option, bool unique);
