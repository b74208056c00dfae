// Placeholder for the eigen-analysis group until it lands.
#include "eigen.h"

void count_histogram(uint32_t, uint32_t) {}
void write_his_file(uint32_t, uint32_t) {}
double eigen_decompose(uint32_t) { return 0; }
void order_components(uint32_t) {}
void write_eig_file(uint32_t, double) {}
void write_fsc_file(uint32_t, uint32_t, bool, double) {}
void write_sco_file(uint32_t, uint32_t, uint32_t, double) {}
