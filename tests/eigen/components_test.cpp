// Loadings, the descending order of the components and the ".eig" file.
#include <gtest/gtest.h>

#include <utility>

#include <cmath>
#include <limits>
#include <vector>

#include "eigen/components.h"
#include "output/componentsout.h"
#include "support/eigen_fixture.h"
#include "eigen/jacobi.h"

namespace {

const double kNaN = std::numeric_limits<double>::quiet_NaN();

class ComponentsTest : public EigenOutputTest {
 protected:
  // Eigenvalues set directly, with identity eigenvectors unless given, and
  // their sum as the total.
  void set_roots(const std::vector<double> &roots) {
    const uint32_t m = roots.size();
    make(1, m);
    a.eigen.total = 0;
    for (uint32_t i = 0; i < m; ++i) {
      a.eigen.values[i] = roots[i];
      a.eigen.total += roots[i];
      a.eigen.vectors[i][i] = 1.0;
    }
  }

  std::vector<int32_t> order_of(uint32_t m) {
    a.components = order_components(a.eigen, a.m, std::move(a.components));
    return std::vector<int32_t>(a.components.order.get(), a.components.order.get() + m);
  }
};

TEST_F(ComponentsTest, ComponentsAreOrderedByDecreasingEigenvalue) {
  const struct {
    const char *what;
    std::vector<double> roots;
    std::vector<int32_t> position;
  } cases[] = {
      {"descending", {1, 3, 0.5, 2}, {1, 3, 0, 2}},
      {"ties keep the decomposition order", {1, 2, 1, 2}, {1, 3, 0, 2}},
      {"one variable", {1}, {0}},
      // Nothing beats -1e20: component 0 is chosen again, placed or not.
      {"not numbers", {kNaN, 2, kNaN}, {1, 0, 0}},
      {"below the starting bound", {-1e30, -1e21}, {0, 0}},
  };
  for (const auto &c : cases) {
    set_roots(c.roots);
    EXPECT_EQ(order_of(c.roots.size()), c.position) << c.what;
  }
}

TEST_F(ComponentsTest, LoadingsScaleEigenvectorsBySqrtOfEigenvalue) {
  set_roots({4.0, 0.0, -1e-12});
  a.eigen.vectors[1][0] = -0.5;
  a.eigen.vectors[2][1] = -0.5;
  a.components = order_components(a.eigen, a.m, std::move(a.components));
  const double *pcm = a.components.loadings.get();
  EXPECT_EQ(pcm[0 * 3 + 0], 2.0);
  EXPECT_EQ(pcm[1 * 3 + 0], -1.0);
  EXPECT_EQ(pcm[1 * 3 + 1], 0.0);  // zero eigenvalue
  EXPECT_EQ(pcm[2 * 3 + 1], 0.0);
  for (int k = 0; k < 3; ++k) {
    // A slightly negative eigenvalue carries no variance: loadings exactly 0.
    EXPECT_EQ(pcm[k * 3 + 2], 0.0) << k;
    EXPECT_FALSE(std::signbit(pcm[k * 3 + 2])) << k;
  }
}

TEST_F(ComponentsTest, EigFileOfTwoVariablesWithCorrelationHalf) {
  set_pair_correlation(0.5);
  a.eigen = eigen_decompose(a.correlation, a.m, a.components.loadings.get(), std::move(a.eigen));
  a.components = order_components(a.eigen, a.m, std::move(a.components));
  EXPECT_EQ(a.components.order[0], 1);
  EXPECT_EQ(a.components.order[1], 0);
  // The correlation matrix outlives the decomposition.
  EXPECT_EQ(a.correlation[0][1], 0.5);
  EXPECT_EQ(a.correlation[1][0], 0.5);
  con.quiet = false;
  testing::internal::CaptureStdout();
  write_eig_file(a, place_, con);
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "Writing file: " + path(".eig") + "\n");
  EXPECT_EQ(read(".eig"),
            "  75.000  25.000\n"
            " 51.400  48.600\n"
            " 0.866   0.500 \n"
            " 0.866  -0.500 \n");
}

TEST_F(ComponentsTest, EigFileOfOneVariableHasAFiniteReferenceValue) {
  set_roots({1.0});
  a.components = order_components(a.eigen, a.m, std::move(a.components));
  write_eig_file(a, place_, con);
  EXPECT_EQ(read(".eig"), "  100.000\n 101.400\n 1.000 \n");
}

TEST_F(ComponentsTest, EigFileReferenceLineFallsEvenlyAndTiesKeepOrder) {
  set_roots({1.0, 1.0, 1.0});
  a.components = order_components(a.eigen, a.m, std::move(a.components));
  write_eig_file(a, place_, con);
  EXPECT_EQ(read(".eig"),
            "  33.333  33.333  33.333\n"
            " 34.733  33.333  31.933\n"
            " 1.000   0.000   0.000 \n"
            " 0.000   1.000   0.000 \n"
            " 0.000   0.000   1.000 \n");
}

}  // namespace
