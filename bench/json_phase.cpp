// Benchmark of the JSON document alone: `json_phase DATA-FILE [REPEATS]`
// loads the file, runs the statistics and the eigen analysis once, then
// reports the best CPU time of writing the document, and of nlohmann building
// and dumping the four m x m matrices as the alternative to to_chars.
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <nlohmann/json.hpp>

#include "cpu_time.h"
#include "output/jsonout.h"
#include "analyse.h"
#include "pipeline.h"
#include "eigen/scores.h"

namespace {


nlohmann::json matrix(uint32_t rows, uint32_t cols, const double *values, uint64_t stride) {
  nlohmann::json out = nlohmann::json::array();
  for (uint32_t i = 0; i < rows; ++i) {
    nlohmann::json row = nlohmann::json::array();
    for (uint32_t j = 0; j < cols; ++j) row.push_back(values[i * stride + j]);
    out.push_back(std::move(row));
  }
  return out;
}

// The bulk of the document the nlohmann way: both matrices, the loadings
// and the score coefficients.
size_t nlohmann_matrices(const Analysis &a) {
  const uint32_t m = a.m;
  const std::vector<double> coef = score_coefficients(a, m, m);
  nlohmann::json doc;
  doc["covariance"] = matrix(m, m, a.covariance[0], m);
  doc["correlation"] = matrix(m, m, a.correlation[0], m);
  doc["loadings"] = matrix(m, m, a.components.loadings.get(), m);
  doc["score_coefficients"] = matrix(m, m, coef.data(), m);
  return doc.dump().size();
}

}  // namespace

int main(int argc, char **argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: json_phase DATA-FILE [REPEATS]\n");
    return 2;
  }
  const int repeats = argc > 2 ? std::atoi(argv[2]) : 3;
  Switches sw;
  sw.run.quiet = 1;
  sw.analysis.eigenvalues = 1;
  const Console con{stdout, stderr, true};
  RunState run = make_run_state(sw);
  Analysis a = load_data_file(argv[1], sw, run, con);
  compute_statistics(a, sw.analysis, con);
  compute_components(a);
  const JsonContext ctx = json_context(a, document_options(sw, run.scores_count));

  FILE *sink = std::tmpfile();
  const double tw = best_time(repeats, [&] {
    std::rewind(sink);
    write_json_document(sink, a, ctx);
    std::fflush(sink);
  });
  const long bytes = std::ftell(sink);
  size_t dumped = 0;
  const double tn = best_time(repeats, [&] { dumped = nlohmann_matrices(a); });
  std::printf("%u x %u: document %.3f s (%ld bytes); nlohmann, matrices only: %.3f s (%zu bytes)\n",
              a.n, a.m, tw, bytes, tn, dumped);
  std::fclose(sink);
  return 0;
}
