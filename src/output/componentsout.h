// The files of the principal components: eigenvalue shares and loadings
// (".eig"), the factor-score coefficients for the matrix tool kalvi
// (".fsc") and the component scores of every observation (".sco").
#pragma once

#include <cstdint>

#include "record/analysis.h"
#include "base/console.h"
#include "output/naming.h"

void write_eig_file(const Analysis &a, const OutputPlace &place, const Console &con);  // ".eig"

// ".fsc" with score limit N; section headers unless -4.
void write_fsc_file(const Analysis &a, const OutputPlace &place, uint32_t N, bool section_headers, const Console &con);

// ".sco": "Writing file: %s %u scores" unless quiet, then the first
// min(count, N) scores of every observation; `centre` is --scores-mean.
void write_sco_file(const Analysis &a, const OutputPlace &place, uint32_t N, uint32_t count, bool centre,
                    const Console &con);
