// Factor-score coefficients and component scores: the ".fsc" file and the
// ".sco" file, and the scores count that carries from file to file.
#pragma once

#include <cstdint>
#include <vector>

#include "analysis.h"
#include "console.h"

// The score limit N: the loaded variables, at most 4 under -4 when the data
// file has more than 4 columns.
uint32_t score_limit(const Analysis &a, bool four);

// Coefficients of the first N variables on the `cols` largest components:
// coef[j * cols + u] = loading(j, p) / share(p) / 100 with p the component
// in place u and share(p) = eigenvalue(p) / sum of eigenvalues, divided in
// that order. A component with eigenvalue 0 has share 0 and gives 0/0.
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
