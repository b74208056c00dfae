// Factor-score coefficients and component scores: the ".fsc" file and the
// ".sco" file, and the scores count that carries from file to file.
#pragma once

#include <cstdint>
#include <vector>

#include "analysis.h"
#include "console.h"

// Coefficients of the first N variables on the components in descending
// order, `cols` of them: coef[j * cols + col]. ".fsc", ".sco" and the
// report's score plot all use these.
std::vector<double> score_coefficients(const Analysis &a, uint32_t N, uint32_t cols);

// ".fsc" with score limit N; section headers unless -4.
void write_fsc_file(const Analysis &a, uint32_t N, bool section_headers, const Console &con);

// The scores count after a file with score limit N: lowered to N (or set to
// N under --allscores), and 3 where that leaves 0. Holds for later files.
uint32_t adjusted_scores_count(uint32_t count, uint32_t N, bool allscores);

// ".sco": "Writing file: %s %u scores" unless quiet, then the first
// min(count, N) scores of every observation; `centre` is --scores-mean.
void write_sco_file(const Analysis &a, uint32_t N, uint32_t count, bool centre,
                    const Console &con);
