// --pearson: the correlation matrix as Pearson's r, on small tables with
// known answers and on examples/fish.txt against figures computed apart
// from vantor, compared at the precision the result files print.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "support/stats_fixture.h"

namespace {

double pearson_r01(Analysis &a, const Columns &cols) {
  load_columns(a, cols);
  Switches sw;
  sw.analysis.pearson = 1;
  const Console con{stdout, stderr, true};
  testing::internal::CaptureStdout();
  compute_statistics(a, sw.analysis, con);
  testing::internal::GetCapturedStdout();
  return a.correlation[0][1];
}

TEST(Pearson, SmallTablesGiveTheTextbookR) {
  struct Case {
    const char *what;
    Columns cols;
    double r;
  };
  const Case cases[] = {
      {"y = 2x is 1, not the default 0.8", {{1, 2, 3, 4, 5}, {2, 4, 6, 8, 10}}, 1.0},
      {"falling line", {{0.1, 0.2, 0.3, 0.7}, {-3.3, -6.6, -9.9, -23.1}}, -1.0},
      {"offset line", {{1e8 + 1, 1e8 + 2, 1e8 + 3}, {7.1, 7.3, 7.5}}, 1.0},
      {"shuffled", {{1, 2, 3, 4, 5}, {2, 1, 4, 3, 5}}, 0.8},
      {"constant partner stays 0", {{1, 2, 3, 4, 5}, {3, 3, 3, 3, 3}}, 0.0},
      {"one observation has no r, as without the switch", {{1}, {2}}, NAN},
  };
  for (const Case &c : cases) {
    Analysis a;
    const double r = pearson_r01(a, c.cols);
    EXPECT_EQ(bits(a.correlation[1][0]), bits(r)) << c.what;
    if (std::isnan(c.r)) {
      EXPECT_TRUE(std::isnan(r)) << c.what;
      continue;
    }
    EXPECT_NEAR(r, c.r, 1e-12) << c.what;
    EXPECT_LE(std::fabs(r), 1.0) << c.what;
    EXPECT_EQ(a.correlation[0][0], 1.0) << c.what;
    EXPECT_EQ(a.correlation[1][1], 1.0) << c.what;
  }
}

// examples/fish.txt, 40 x 7, by numpy 1.24.2 (Debian python3-numpy), with
// this command in the source directory:
//   /usr/bin/python3 -c '
//   import numpy as np
//   x = np.loadtxt("examples/fish.txt", comments=("#", ";", "!"))
//   r = np.corrcoef(x, rowvar=False)
//   w, v = np.linalg.eigh(r)
//   o = np.argsort(w)[::-1]; w = w[o]; v = v[:, o]
//   print("r", [[round(r[i, j], 10) for j in range(i)] for i in range(1, len(r))])
//   print("eig", [round(e, 10) for e in w])
//   print("load", [[round(e, 10) for e in row] for row in v * np.sqrt(np.clip(w, 0, None))])'
// The loadings are the rotation of a scaled principal-component analysis
// times the component standard deviations; an eigenvector's sign is free.
const double kFishR[] = {  // lower triangle without the diagonal, row by row
    0.9972247541,  0.9683410631,  0.9659001264,  0.8497953235,  0.847384215,
    0.92069994,    0.7637110391,  0.7640277868,  0.6483881559,  0.4629195686,
    0.9693942916,  0.97430429,    0.9560027775,  0.8387795242,  0.7188701989,
    -0.0533268891, -0.0136948647, 0.0575259876,  0.1275738577,  -0.3051922459,
    0.1333913968};
const double kFishEigenvalues[] = {5.2543199501, 1.1994055777, 0.4066927101, 0.1026695722,
                                   0.0190099293, 0.0163846487, 0.0015176119};
const double kFishLoadings[7][7] = {
    {-0.9925338873, 0.0496961019, -0.0098607429, -0.094598656, 0.0141407093, 0.0478705402,
     -0.0294803633},
    {-0.9926309967, 0.0182675076, 0.0223199005, -0.0891878376, 0.0222150286, 0.0690803428,
     0.0251346954},
    {-0.9791332317, -0.0987606874, -0.1272431848, -0.033515729, -0.1162307105, -0.0267212623,
     0.002589437},
    {-0.8840306735, -0.2281891529, -0.3454743714, 0.2139207935, 0.0361197948, 0.0004074983,
     -0.0001612258},
    {-0.7670346444, 0.4508895198, 0.4255458854, 0.164604096, -0.0130406462, -0.0014887679,
     -0.0006413474},
    {-0.9774076956, -0.1177961865, 0.0934071974, -0.1024349011, 0.0570777344, -0.0911948323,
     0.0024650313},
    {0.0002663482, -0.9579148761, 0.2841473623, 0.035963436, -0.0086208071, 0.0169723454,
     -0.0018836785}};

std::vector<double> numbers(const std::string &text) {
  std::istringstream in(text);
  std::vector<double> out;
  for (double x; in >> x;) out.push_back(x);
  return out;
}

std::string slurp(const std::filesystem::path &p) {
  std::ifstream in(p, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

// The files of `vantor --pearson -e -c -f fish.txt`, run in a scratch
// directory.
struct FishRun {
  std::string cor, eig, fsc;
  FishRun() {
    char tmpl[] = "/tmp/vantor-pearson-XXXXXX";
    const std::filesystem::path dir = mkdtemp(tmpl);
    std::filesystem::copy_file(std::filesystem::path(VANTOR_SOURCE_DIR) / "examples/fish.txt",
                               dir / "fish.txt");
    const std::string run = "cd '" + dir.string() + "' && '" VANTOR_BINARY
                            "' --quiet --no-log --pearson -e -c -f fish.txt >/dev/null 2>&1";
    if (std::system(run.c_str()) == 0) {
      cor = slurp(dir / "fish.cor");
      eig = slurp(dir / "fish.eig");
      fsc = slurp(dir / "fish.fsc");
    }
    std::filesystem::remove_all(dir);
  }
};

TEST(Pearson, FishAgreesWithTheReferenceAtPrintedPrecision) {
  const FishRun run;
  const std::vector<double> cor = numbers(run.cor);
  ASSERT_EQ(cor.size(), 28u) << run.cor;
  double worst = 0;
  for (int i = 0, k = 0, at = 0; i < 7; ++i) {
    for (int j = 0; j < i; ++j) worst = std::fmax(worst, std::fabs(cor[at++] - kFishR[k++]));
    EXPECT_EQ(cor[at++], 1.0);
  }
  EXPECT_LE(worst, 0.5e-6 + 1e-12) << ".cor";

  const std::vector<double> eig = numbers(run.eig);
  ASSERT_EQ(eig.size(), 7u * 9u) << run.eig;
  worst = 0;
  for (int u = 0; u < 7; ++u) worst = std::fmax(worst, std::fabs(eig[u] - 100 * kFishEigenvalues[u] / 7));
  EXPECT_LE(worst, 0.5e-3 + 1e-12) << ".eig percentages";
  worst = 0;
  for (int u = 0; u < 7; ++u) {
    // The reference vector turned to the sign vantor's has, judged by its
    // largest entry.
    int big = 0;
    for (int r = 1; r < 7; ++r)
      if (std::fabs(kFishLoadings[r][u]) > std::fabs(kFishLoadings[big][u])) big = r;
    const double sign = (eig[14 + 7 * big + u] < 0) == (kFishLoadings[big][u] < 0) ? 1 : -1;
    for (int r = 0; r < 7; ++r)
      worst = std::fmax(worst, std::fabs(eig[14 + 7 * r + u] - sign * kFishLoadings[r][u]));
  }
  EXPECT_LE(worst, 0.5e-3 + 1e-12) << ".eig loadings";

  const size_t roots = run.fsc.find("[ROOT_SORTED]\n");
  ASSERT_NE(roots, std::string::npos) << run.fsc;
  const size_t line = roots + 14;
  const std::vector<double> eigenvalues = numbers(run.fsc.substr(line, run.fsc.find('\n', line) - line));
  ASSERT_EQ(eigenvalues.size(), 7u);
  for (int u = 0; u < 7; ++u) {
    const double ref = kFishEigenvalues[u];
    const double half_unit = 0.5 * std::pow(10.0, std::floor(std::log10(ref)) - 7);
    EXPECT_NEAR(eigenvalues[u], ref, half_unit + 0.5e-10) << "eigenvalue " << u;
  }
}

}  // namespace
