// Under --by and --conventional, whether each variable differs across the
// groups: Welch's test, the classical one-way F, Kruskal-Wallis, the
// Brown-Forsythe test of equal variances and the effect sizes.
#pragma once

#include <cstdint>
#include <vector>

#include "machine/workers.h"
#include "record/analysis.h"

// The tests of one variable over its values in each group (any order, no
// NaN; groups without values are left out), as R's t.test(var.equal =
// FALSE) for two groups or oneway.test(var.equal = FALSE) for more,
// oneway.test(var.equal = TRUE), kruskal.test and that F on |x - group
// median|. Welch's t is the first group's mean less the second's.
GroupTests group_tests(const std::vector<std::vector<double>> &groups);

// Fills a.group_tests for every variable from the rows' group numbers
// (group_of_row, 0 .. group_count - 1, -1 for none) over each variable's
// values present. REQUIRES: the rows in memory, the groups indexed.
void compute_group_tests(Analysis &a, uint32_t group_count, Workers &w = serial_workers());
