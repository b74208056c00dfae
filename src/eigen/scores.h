// Factor-score coefficients and component scores: the coefficient matrix,
// the scores of one observation (one computation for ".sco", JSON and the
// report), and the scores count that carries from file to file.
#pragma once

#include <cstdint>
#include <vector>

#include "record/analysis.h"

// The score limit N: the loaded variables, at most 4 under -4 when the data
// file has more than 4 columns.
uint32_t score_limit(const Analysis &a, bool four);

// Coefficients of the first N variables on the `cols` largest components:
// coef[j * cols + u] = loading(j, p) / share(p) / 100 with p the component
// in place u and share(p) = eigenvalue(p) / sum of eigenvalues, divided in
// that order. A component with eigenvalue 0 has share 0 and gives 0/0.
std::vector<double> score_coefficients(const Analysis &a, uint32_t N, uint32_t cols);

// The scores count after a file with score limit N: lowered to N (or set to
// N under --allscores), and 3 where that leaves 0. Holds for later files.
uint32_t adjusted_scores_count(uint32_t count, uint32_t N, bool allscores);

// What the scores of an observation are made from: the coefficients of the
// first N variables on `count` components, and each variable's mean and
// standard deviation; `centre` is --scores-mean.
struct ScoreBasis {
  uint32_t variables = 0;  // N
  uint32_t count = 0;      // scores per observation
  bool centre = false;
  std::vector<double> coefficients, mean, stddev;
};

// The basis for score limit N and `count` scores (at most N).
ScoreBasis score_basis(const Analysis &a, uint32_t N, uint32_t count, bool centre);

// The `basis.count` scores of the observation `row` into `scores`: score u
// is the sum over j < N, from 0 and in order of j, of coefficient(j, u) *
// z(j), with z the value over the standard deviation and, when centred,
// less the mean first. Every output's scores come from here.
void observation_scores(const ScoreBasis &basis, const double *row, double *scores);
