// A file analysed in passes (--max-memory) against the same file in memory:
// every result file byte for byte, on tables chosen for what the passes
// must get right (ties, both zeros, constants, offsets, infinities, one and
// two rows), with one-row blocks and with larger blocks on three threads.
#include "record/rowspill.h"

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "base/messages.h"
#include "stats/rankcorr.h"
#include "support/table_walk.h"

namespace {

namespace fs = std::filesystem;

std::string slurp(const fs::path &p) {
  std::ifstream in(p, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

// Runs vantor on data.txt in a directory of its own; returns the result
// files by extension, and "status" with the exit status. The report's echo
// of the switches leaves `extra` out.
std::vector<std::pair<std::string, std::string>> run(const std::string &table,
                                                     const std::string &switches,
                                                     const std::string &extra) {
  char tmpl[] = "/tmp/vantor-passes-test-XXXXXX";
  const fs::path dir = mkdtemp(tmpl);
  std::ofstream(dir / "data.txt") << table;
  const std::string cmd = "cd '" + dir.string() + "' && SOURCE_DATE_EPOCH=0 '" VANTOR_BINARY
                          "' --quiet --no-log -c -v -h -b -e -f --quartiles --json --report " +
                          switches + " " + extra + " data.txt >/dev/null 2>&1";
  const int status = std::system(cmd.c_str());
  std::vector<std::pair<std::string, std::string>> files{{"status", std::to_string(status)}};
  for (const char *ext : {".mvd", ".cor", ".cov", ".inp", ".his", ".eig", ".fsc", ".sco", ".std",
                          ".json", ".html"})
    files.emplace_back(ext, slurp(dir / (std::string("data") + ext)));
  std::string &page = files.back().second;
  if (const size_t at = page.find(extra + " "); !extra.empty() && at != std::string::npos)
    page.erase(at, extra.size() + 1);
  fs::remove_all(dir);
  return files;
}

// A table of `rows` rows; `value(row, column)` gives each number.
template <class F>
std::string table(uint32_t rows, uint32_t columns, F value, const char *separator = " ") {
  std::string text;
  char field[40];
  for (uint32_t r = 0; r < rows; ++r) {
    for (uint32_t c = 0; c < columns; ++c) {
      std::snprintf(field, sizeof field, "%s%.17g", c ? separator : "", value(r, c));
      text += field;
    }
    text += '\n';
  }
  return text;
}

// A CSV table with row labels, a group column and values of which about
// one in eight is missing.
std::string gaps(std::mt19937_64 &rng) {
  std::string text = ",g,a,b,c\n";
  for (int r = 0; r < 3000; ++r) {
    text.append("r").append(std::to_string(r)).append(",").push_back("xyz"[rng() % 3]);
    for (int c = 0; c < 3; ++c) {
      text.push_back(',');
      if (rng() % 8 != 0) text.append(std::to_string(static_cast<int>(rng() % 1000) - 500));
    }
    text.push_back('\n');
  }
  return text;
}

TEST(AnalysedInPasses, EveryResultFileEqualsTheRunInMemory) {
  std::mt19937_64 rng(7);
  auto uniform = [&](double lo, double hi) { return std::uniform_real_distribution<>(lo, hi)(rng); };
  auto zeros = [&](uint32_t r, uint32_t) { return r % 7 == 0 ? -1.0 : (rng() & 1 ? 0.0 : -0.0); };
  const struct {
    const char *name;
    std::string text;
    const char *switches = "";
  } cases[] = {
      {"ties, long", table(70000, 3, [&](uint32_t, uint32_t c) { return double(rng() % (c + 2)); })},
      {"both zeros, long", table(70000, 2, zeros)},
      {"both zeros, short", table(301, 2, zeros)},
      {"constant and offset", table(5000, 3, [&](uint32_t, uint32_t c) {
         return c == 0 ? 42.0 : c == 1 ? 1e9 + uniform(0, 1) : uniform(-1, 1);
       })},
      {"infinities", table(2000, 2, [&](uint32_t r, uint32_t c) {
         return r % 97 == 3 ? (c ? -HUGE_VAL : HUGE_VAL) : uniform(-5, 5);
       })},
      {"one row", "1 2 3\n"},
      {"two rows", "1 2 3\n4 -0 6\n"},
      // More rows than the report plots: every other row's label is passed over.
      {"labels", ",a,b\n" + table(6001, 3, [&](uint32_t r, uint32_t c) {
         return c == 0 ? r : uniform(-1, 1);
       }, ","), "--csv --names"},
      // Each variable and pair copied from the copy, the complete rows and
      // their labels to a new copy.
      {"pairwise, labels", gaps(rng), "--csv --names --use=pairwise --conventional"},
      {"pairwise, groups", gaps(rng), "--csv --names --use=pairwise --by=g"},
      // Past 1024 values the ranks come from the radix sort, in passes from
      // the ranks' own copy.
      {"spearman, ties", table(30000, 3, [&](uint32_t, uint32_t c) { return double(rng() % (c + 3)); }),
       "--rank=spearman --conventional"},
      {"kendall", table(5000, 3, [&](uint32_t r, uint32_t c) { return c ? uniform(-1, 1) : -0.0 * r; }),
       "--rank=kendall"},
      // Short columns whose copies fit what 300K leave are copied whole
      // in passes too, zeros of both signs and infinities among them.
      {"short columns copied", table(3000, 40, [&](uint32_t r, uint32_t c) {
         return c % 3 == 0 ? zeros(r, c) : c % 3 == 1 ? (r % 50 ? uniform(-1, 1) : -HUGE_VAL)
                                                      : double(rng() % 5);
       })},
      {"group tests", table(4000, 3, [&](uint32_t r, uint32_t c) { return c ? uniform(0, 9) : r % 3; }),
       "--by=1 --conventional"},
  };
  for (const auto &c : cases) {
    const auto in_memory = run(c.text, c.switches, "");
    EXPECT_EQ(in_memory[0].second, "0") << c.name;
    for (const char *passes : {"--max-memory=1", "--max-memory=300K --threads=3"}) {
      const auto in_passes = run(c.text, c.switches, passes);
      for (size_t k = 0; k < in_memory.size(); ++k)
        EXPECT_EQ(in_memory[k].second, in_passes[k].second)
            << c.name << ", " << passes << ": " << in_memory[k].first;
    }
  }
}

// The same rows, labels and group numbers as a table in memory and as one
// analysed in passes within `budget` bytes, filled through the sink.
std::pair<Analysis, Analysis> twin_tables(uint32_t n, uint32_t m, uint64_t budget,
                                          std::mt19937_64 &rng, bool gaps = true) {
  MemoryTally tally;
  const Console quiet{nullptr, nullptr, true};
  const WorkArraySettings settings{30, false};
  std::pair<Analysis, Analysis> t{make_analysis(n, m, settings, tally, quiet),
                                  make_analysis_in_passes(n, m, budget, settings, tally, quiet)};
  for (Analysis *a : {&t.first, &t.second}) {
    a->labels.assign(a->capacity, std::string());
    a->group_of_row.assign(n, -1);
  }
  RowSink sinks[2] = {row_sink(t.first), row_sink(t.second)};
  std::vector<double> row(m);
  for (uint32_t k = 0; k < n; ++k) {
    for (double &x : row) x = gaps && rng() % 9 == 0 ? std::nan("") : double(rng() % 50) - 25;
    for (RowSink &sink : sinks) {
      Analysis &a = *sink.t;
      const uint32_t place = sink_place(sink, k);
      std::copy(row.begin(), row.end(), a.data[place]);
      a.labels[place] = std::to_string(k);
      a.group_of_row[k] = static_cast<int32_t>(k % 3);
    }
  }
  for (RowSink &sink : sinks) {
    sink.t->n = n;
    close_sink(sink, n);
  }
  t.first.m = t.second.m = m;
  return t;
}

// The sink and the cut to the rows a test keeps give the same table in
// memory and spilled: a row a block, some rows a block, all of them in one
// block.
TEST(RowSink, SpilledTablesHoldWhatTablesInMemoryHold) {
  std::mt19937_64 rng(3);
  for (uint64_t budget : {1ull, 3000ull, 1ull << 20}) {
    auto [memory, spilled] = twin_tables(2000, 4, budget, rng);
    EXPECT_EQ(walked(memory), walked(spilled)) << budget;
    for (Analysis *a : {&memory, &spilled})
      keep_rows_where(*a, [](const double *row) { return !std::isnan(row[1]) && row[0] < 0.5; });
    EXPECT_LT(memory.n, 2000u);
    EXPECT_EQ(walked(memory), walked(spilled)) << budget;
  }
}

// The rank correlations of a table in passes, from the ranks' own copy,
// equal those in memory bit for bit, past the radix sort's 1024 values.
TEST(RankCorrelation, InPassesEqualsInMemory) {
  std::mt19937_64 rng(5);
  for (RankMethod method : {RankMethod::spearman, RankMethod::kendall})
    for (uint64_t budget : {1ull, 5000ull}) {
      auto [memory, spilled] = twin_tables(3000, 4, budget, rng, false);
      const std::vector<TieSums> want = make_rank_correlation(memory, method);
      const std::vector<TieSums> got = make_rank_correlation(spilled, method);
      for (uint32_t i = 0; i < 4; ++i) {
        EXPECT_EQ(got[i].v, want[i].v);
        for (uint32_t j = 0; j < 4; ++j)
          EXPECT_EQ(spilled.correlation[i][j], memory.correlation[i][j]) << i << " " << j;
      }
    }
}

// A write that fails (here a file-size limit, as a full disk would) ends
// the run with the copy's message; the limit is set in a child only.
TEST(AnalysedInPasses, AFailedWriteOfTheCopyEndsTheRunWithItsMessage) {
  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    std::signal(SIGXFSZ, SIG_IGN);
    const rlimit limit{4096, 4096};
    setrlimit(RLIMIT_FSIZE, &limit);
    const std::vector<double> rows(1000, 1.5);
    try {
      auto spill = make_row_spill(10);
      spill_rows(*spill, rows.data(), 100);
    } catch (const RunEnd &end) {
      _exit(end.message == "Can't write the temporary copy of the data (File too large)\n" ? 0 : 2);
    }
    _exit(1);
  }
  int status = 0;
  waitpid(child, &status, 0);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
}

}  // namespace
