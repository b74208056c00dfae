// What shapes a file's documents (the JSON document and the report page)
// beside its record: whether the components were computed, the score rules
// of the result files, and how many scores a row has in ".sco".
#pragma once

#include <cstdint>

struct DocumentOptions {
  bool components = false;    // -e ran: the components section is filled
  bool four = false;          // -4: the score limit is at most 4
  bool scores_mean = false;   // --scores-mean: the scores are of the centred data
  uint32_t scores_count = 3;  // scores per row asked for, as counted after the file's analysis
};
