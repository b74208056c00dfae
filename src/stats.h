// Statistics and matrix outputs: extremes, moments, covariance and
// correlation, median and quartiles, and the writers of the statistics
// table, ".std", ".mvd", ".cor", ".cov", ".inp" and ".da1".
#pragma once

#include <cstdint>

// Resets min/max of the first m records; ends the run with "Too few
// variables\n" when n is 0; then scans dd for the extremes.
void find_extremes(uint32_t n, uint32_t m);

// Fills mean, variance, stddev, skewness, curtosis and no of every record and
// the matrices ccov and cc (diagonal of cc not yet 1.0); prints the
// zero-variance warning. Nothing is done when m is 0.
void compute_moments(uint32_t n, uint32_t m);

// Sets every cc[i][i] to exactly 1.0.
void set_unit_diagonal(uint32_t m);

// Fills median, lquart and uquart of every record.
void compute_order_stats(uint32_t n, uint32_t m);

void print_stats_table(uint32_t m);          // console table (caller checks quiet)
void write_std_file(uint32_t n, uint32_t m); // ".std"
void write_mvd_file(uint32_t m);             // ".mvd"
void write_cor_file(uint32_t m);             // ".cor"
void write_cov_file(uint32_t n, uint32_t m); // ".cov"
void write_inp_file(uint32_t n, uint32_t m); // ".inp"
void write_da1_file(uint32_t n, uint32_t m); // ".da1"
