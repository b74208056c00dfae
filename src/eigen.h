// Eigen analysis and histogram: histogram counts and ".his", the Jacobi
// decomposition of cc, loadings and component order with ".eig", and the
// score coefficients and scores (".fsc", ".sco").
#pragma once

#include <cstdint>

// Adds the observations of the first m variables to `histogram` (sw.bins
// bins between each variable's min and 1.00001 * max).
void count_histogram(uint32_t n, uint32_t m);

void write_his_file(uint32_t n, uint32_t m);  // ".his"

// Symmetrises cc, decomposes it in place (eigenvectors into ss), copies the
// eigenvalues into root and returns their sum.
double eigen_decompose(uint32_t m);

// Fills the loadings pc and the descending order pcs/position.
void order_components(uint32_t m);

void write_eig_file(uint32_t m, double total);  // ".eig"

// ".fsc" with score limit N; section headers unless -4.
void write_fsc_file(uint32_t m, uint32_t N, bool section_headers, double total);

// ".sco": adjusts sw.scores for score limit N (kept for later files), then
// writes the scores of every observation.
void write_sco_file(uint32_t n, uint32_t m, uint32_t N, double total);
