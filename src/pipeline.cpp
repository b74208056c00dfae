// The run driver: start-up, the switches, the invocation record and banner,
// then every data file through its fixed sequence of phases. It alone
// decides what reaches the console between the phases.
#include "pipeline.h"

#include "analyse.h"

#include <fcntl.h>
#include <malloc.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <clocale>
#include <cstdlib>
#include <ctime>
#include <new>
#include <string>

#include "output/atomic_file.h"
#include "eigen/components.h"
#include "output/componentsout.h"
#include "input/datasource.h"
#include "input/examine.h"
#include "input/filekind.h"
#include "stats/histogram.h"
#include "output/histout.h"
#include "machine/isa.h"
#include "cli/invlog.h"
#include "eigen/jacobi.h"
#include "output/jsonout.h"
#include "input/load.h"
#include "input/row_accept.h"
#include "record/groups.h"
#include "machine/memlimit.h"
#include "record/rowspill.h"
#include "output/matrixout.h"
#include "base/messages.h"
#include "output/naming.h"
#include "cli/options.h"
#include "stats/orderstats.h"
#include "stats/grouptests.h"
#include "stats/inference.h"
#include "stats/pairwise.h"
#include "stats/rankcorr.h"
#include "stats/robust.h"
#include "output/report_data.h"
#include "eigen/rotation.h"
#include "eigen/scores.h"
#include "stats/stats.h"
#include "output/statsout.h"
#include "output/summaryout.h"
#include "output/tetrad.h"

namespace {

// Closes the stream when a phase ends the run with a fatal error.
struct InputStream {
  FILE *fp = nullptr;
  ~InputStream() { close(); }
  void close() {
    if (fp != nullptr) std::fclose(fp);
    fp = nullptr;
  }
};

CorUpper cor_upper(UpperTriangle square) {
  if (square == UpperTriangle::mirror) return CorUpper::mirror;
  return square == UpperTriangle::zeros ? CorUpper::zeros : CorUpper::none;
}

void write_statistics_files(const Analysis &a, const OutputPlace &place, const Switches &sw,
                            const Console &con) {
  if (sw.output.stddev) write_std_file(a, place, con);
  if (sw.output.mean) write_mvd_file(a, place, sw.output.quartiles, con);
  if (sw.output.correlation) write_cor_file(a, place, cor_upper(sw.output.square), con);
  if (sw.output.covariance) write_cov_file(a, place, con);
  if (sw.output.tetrad) write_inp_file(a, place, sw.output.split_file, con);
  if (sw.output.oldtetrad) write_da1_file(a, place, con);
  if (sw.output.histogram) write_his_file(a, place, con);
  if (sw.output.summary_file) write_sum_file(a, place, con);
}

// A pairwise matrix need not be positive semi-definite; its negative
// eigenvalues are shown as computed, and said here.
void warn_indefinite(const Analysis &a, const Console &con) {
  uint32_t negative = 0;
  for (uint32_t i = 0; i < a.m; ++i) negative += a.eigen.values[i] < 0 ? 1 : 0;
  if (negative > 0)
    say(con, "\nWARNING! The pairwise correlation matrix is not positive semi-definite: "
             "%u negative eigenvalue(s)\n", negative);
}

// The files of the components, computed before.
void write_component_files(const Analysis &a, const OutputPlace &place, const Switches &sw,
                           RunState &run, const Console &con) {
  // The score limit and the section headers of the ".fsc" file follow -4.
  const uint32_t N = score_limit(a, sw.analysis.four != 0);
  write_eig_file(a, place, con);
  if (sw.output.fsc_file) write_fsc_file(a, place, N, !sw.analysis.four, con);
  run.scores_count = adjusted_scores_count(run.scores_count, N, sw.analysis.allscores);
  write_sco_file(a, place, N, run.scores_count, sw.analysis.scores_mean, con);
}

// The analysis of one table, then its table and result files: all but the
// documents, which hold a data file's groups too.
void analyse_and_write_files(Analysis &a, const OutputPlace &place, const Switches &sw,
                             RunState &run, const Console &con) {
  Workers &w = run.workers != nullptr ? *run.workers : serial_workers();
  analyse_loaded(a, sw.analysis, con, w, sw.run.debug != 0);
  if (!con.quiet) print_stats_table(a, con);
  if (!con.quiet && a.pairwise && a.rows_left_out > 0)
    say(con, "%lu rows with missing values are left out of the row files\n",
        static_cast<unsigned long>(a.rows_left_out));
  write_statistics_files(a, place, sw, con);
  if (!sw.analysis.eigenvalues) return;
  if (a.pairwise) warn_indefinite(a, con);
  write_component_files(a, place, sw, run, con);
}

void write_documents(const Analysis &a, const OutputPlace &place, const Switches &sw,
                     const RunState &run, const Console &con,
                     const std::vector<GroupResult> *groups = nullptr) {
  if (sw.output.json != JsonTarget::none)
    write_json(a, place, document_options(sw, run.scores_count),
               sw.output.json == JsonTarget::standard_output ? stdout : nullptr, con, groups);
  if (sw.output.report)
    write_report_file(a, place, document_options(sw, run.scores_count), ReportRun{run.arguments, report_date(std::time(nullptr))}, con,
                      groups);
}

// --by: the whole table is analysed as without --by, then each group as a
// table of its rows under names that carry its value; each table's files
// are written before the next group is copied, and the documents hold them
// all.
void analyse_by_groups(Analysis &a, const OutputPlace &place, const Switches &sw, RunState &run,
                       const Console &con) {
  const std::vector<GroupResult> groups = analyse_groups(
      a, sw, run, con, false, [&](Analysis &t, const GroupResult *g, const GroupIndex &index) {
        if (g == nullptr) {
          analyse_and_write_files(a, place, sw, run, con);
          if (!con.quiet)
            say(con, "\nGroups by %s: %zu, rows without a group value: %llu\n",
                a.group_column.c_str(), index.values.size(),
                static_cast<unsigned long long>(index.without));
          return;
        }
        if (!con.quiet)
          say(con, "\nGroup %s=%s: %u rows\n", a.group_column.c_str(), g->value.c_str(), t.n);
        analyse_and_write_files(t, OutputPlace{place.data_file, place.stem + "." + g->file_part},
                                sw, run, con);
      });
  write_documents(a, place, sw, run, con, &groups);
}

void process_data_file(const char *name, const Switches &sw, RunState &run, const Console &con) {
  // The name check comes first: a refused name is never examined.
  const OutputPlace place = output_place(name, sw.output.results_dir);
  Analysis a = load_table(TableSource{name, nullptr, name}, sw, run, con);
  if (a.group_column.empty())
    analyse_and_write(a, place, sw, run, con);
  else
    analyse_by_groups(a, place, sw, run, con);
}

// The words run() gives a failed allocation of the C++ heap.
constexpr char kHeapExhausted[] = "Not enough memory (heap, 0)";

// --keep-going: a fatal error ends this file only. Its text is the one that
// would follow "Error: ", framed the same way, but every skip is closed with
// a line end so that a script reads one skip per line. Unwinding drops the
// file's record; the run state keeps what the file did to it. Returns
// whether the file went through.
bool process_or_skip(const char *name, const Switches &sw, RunState &run, const Console &con) {
  std::string text;
  try {
    process_data_file(name, sw, run, con);
    return true;
  } catch (const RunEnd &end) {
    text = end.message;
  } catch (const std::bad_alloc &) {
    text = kHeapExhausted;
  }
  if (text.empty() || text.back() != '\n') text += '\n';
  tell(con, "\nSkipped %s: %s", name, text.c_str());
  return false;
}

int run_program(int argc, char **argv) {
  const std::time_t start = std::time(nullptr);
  // Ctrl-C and kill remove the temporaries of unfinished results.
  const SignalCleanup cleanup;
  // Blocks of a mebibyte and more are mapped for themselves and given back
  // when freed. Otherwise the allocator raises that threshold as such blocks
  // are freed and keeps the next ones in its heaps (one per thread), where
  // freed scratch of the order statistics would stay resident beside the
  // data matrix.
  mallopt(M_MMAP_THRESHOLD, 1 << 20);
  settle_isa();
  std::setlocale(LC_TIME, "");
  const Console startup;
  RunState run = make_run_state(Switches{});

  const CommandLine cl = parse_switches(argc, argv);
  act_on_switches(cl, argv[0]);
  const Switches &sw = cl.switches;
  if (cl.first_file >= argc) usage(argv[0], sw.run.more);
  const uint32_t thread_count = settle_thread_count(sw.run.threads);
  CleanupSignalsHeld held;  // the pool's threads start with them blocked
  Workers workers(thread_count);
  held.release();
  run.workers = &workers;
  run.scores_count = sw.analysis.scores;
  if (sw.output.report) run.arguments = argument_text(argc, argv);
  Console con = startup;
  con.quiet = sw.run.quiet != 0;
  if (!sw.output.results_dir.empty()) check_results_dir(sw.output.results_dir);
  // With the document on standard output, everything else the run says goes
  // to the error stream so that the output parses as it is.
  if (sw.output.json == JsonTarget::standard_output) con.out = stderr;

  if (!sw.run.no_log) write_invocation_record(argc, argv);
  if (!sw.run.quiet) {
    tell(con, "%s\n", kBanner);
    tell(con, "%s\n", kCopyright);
  }

  bool skipped = false;
  for (int i = cl.first_file; i < argc; ++i) {
    if (sw.run.keep_going)
      skipped = !process_or_skip(argv[i], sw, run, con) || skipped;
    else
      process_data_file(argv[i], sw, run, con);
  }

  if (sw.run.timer) say(con, "\n%ld seconds\n", static_cast<long>(std::time(nullptr) - start));
  return skipped ? 1 : 0;
}

}  // namespace

RunState make_run_state(const Switches &sw) {
  return RunState{make_examination_buffer(), MemoryTally{}, sw.analysis.scores, std::string()};
}

Switches read_as_named(const char *name, const Switches &sw, const DataSource &source) {
  if (sw.read.csv || sw.read.separator != 0 || sw.read.comma_decimals) return sw;
  const char separator = separator_of_name(name);
  if (separator == 0) return sw;
  FILE *first = open_data_pass(source);
  const bool holds = first_line_holds(first, separator);
  if (first != nullptr) std::fclose(first);
  if (!holds) return sw;
  Switches named = sw;
  if (separator == ',')
    named.read.csv = true;
  else
    named.read.separator = separator;
  return named;
}

Analysis load_data_file(const char *name, const Switches &options, RunState &run,
                        const Console &con) {
  const DataSource source = open_data_source(name);
  const Switches sw = read_as_named(name, options, source);
  RowRules rules = row_rules(sw.read, sw.analysis);

  InputStream in;
  in.fp = open_data_pass(source);
  if (!con.quiet) say(con, "\nExamining file: %s\n", name);
  Examination e = examine_data(in.fp, run.line, rules, con);
  in.close();
  in.fp = open_data_pass(source);
  Workers &w = run.workers != nullptr ? *run.workers : serial_workers();
  const uint32_t R = count_data_lines(in.fp, run.line, w, kMinPartBytes, rules.comments());
  in.close();
  in.fp = open_data_pass(source);

  const WorkArraySettings settings{sw.analysis.bins, sw.run.debug != 0, usable_memory()};
  rules.uses = e.uses;
  std::vector<SkippedColumn> skipped = skipped_columns(e, con);
  const uint64_t need = work_array_need(R, e.analysed, sw.analysis.bins);
  Analysis a = make_analysis_within(R, e.analysed, sw.read.max_memory, settings, run.memory, con);
  a.skipped = std::move(skipped);
  if (!e.uses.empty() && e.uses[0] == FieldUse::label) a.labels.assign(a.capacity, std::string());
  report_memory_need(run.memory, con);
  say_in_passes(a, need, con);
  build_column_maps(a, sw.read, sw.output, con);
  if (!e.order.empty()) order_chosen_columns(a, e.uses, e.order);
  const bool white_space_groups = !rules.csv && !rules.group_column.empty();
  if (white_space_groups) {
    mark_white_space_group(rules, e);
    rules.uses = e.uses;
    leave_group_out_of_maps(a, e.group);
  }
  if (e.group != UINT32_MAX) {
    // Every row's group number stays in memory, in passes too.
    a.group_of_row.assign(row_capacity(a), -1);
    const bool named = e.group < e.names.size() && !e.names[e.group].empty();
    a.group_column = named ? e.names[e.group] : std::to_string(e.group + 1);
  }
  if (!con.quiet) say(con, "\nReads the file: %s\n", name);
  // load_data puts every number of a line into the row: a white-space file
  // with a group column goes through the records' loader, which keeps the
  // group's number beside the row.
  if (rules.plain() && !e.has_names && !white_space_groups) {
    load_data(in.fp, a, con, w);
  } else {
    load_records(in.fp, a, rules, e.has_names, con, w);
    if (!e.uses.empty()) restore_file_columns(a, e.uses);
    if (e.has_names) set_names(a, e.names);
    say_rows_left_out(a.rows_left_out, rules.keep_missing, con);
  }
  if (white_space_groups) leave_group_place(a, e.group);
  return a;
}

namespace {

// Pairwise deletion: every statistic over the values it has, then the row
// files' rows cut down to the complete ones.
void compute_pairwise_statistics(Analysis &a, const AnalysisOptions &o, const Console &con,
                                 Workers &w) {
  if (a.n == 0 || a.m == 0) fatal("Too few variables\n");
  if (!con.quiet) say(con, "Found %u columns %u rows\n", a.m, a.n);
  const Moments moments = compute_pairwise(a, o.conventional, w);
  print_zero_variance_warning(moments, o.conventional, con);
  // Each variable's own values and each pair's count, before the rows go.
  if (o.conventional) {
    compute_robust_stats(a, w);
    compute_pair_tests(a, pair_counts(a), {});
  }
  keep_complete_rows(a);
}

RankMethod rank_method(RankChoice choice) {
  if (choice == RankChoice::spearman) return RankMethod::spearman;
  if (choice == RankChoice::kendall) return RankMethod::kendall;
  return RankMethod::none;
}

}  // namespace

void compute_statistics(Analysis &a, const AnalysisOptions &o, const Console &con, Workers &w,
                        bool trace) {
  a.conventional = o.conventional;
  a.pearson = o.pearson;
  a.rank = rank_method(o.rank);
  a.level = o.ci != 0 ? o.ci : 0.95;
  if (o.use == MissingUse::pairwise) return compute_pairwise_statistics(a, o, con, w);
  const Extremes extremes = find_extremes(a, w);
  count_histogram(a, extremes, trace, con, w);
  if (a.m == 0) fatal("Too few variables\n");
  if (!con.quiet) say(con, "Found %u columns %u rows\n", a.m, a.n);
  const Moments moments = compute_moments(a, extremes, w);
  if (o.pearson) make_pearson_correlation(a);
  if (o.conventional) use_sample_divisor(a);
  print_zero_variance_warning(moments, o.conventional, con);
  // --conventional copies every column for its robust measures; the same
  // copies give most columns' median and quartiles without the passes of
  // the radix selection.
  if (o.conventional)
    compute_order_stats(a, compute_robust_and_order_stats(a, w), w);
  else
    compute_order_stats(a, w);
  std::vector<TieSums> ties;
  if (a.rank != RankMethod::none) ties = make_rank_correlation(a, a.rank, w);
  if (!o.conventional) return;
  compute_pair_tests(a, {}, ties);
}

// The loadings block is the decomposition's scratch until the loadings are
// made from its results.
void compute_components(Analysis &a, bool vectors_apart) {
  a.eigen = eigen_decompose(a.correlation, a.m, a.components.loadings.get(), std::move(a.eigen),
                            vectors_apart);
  a.components = order_components(a.eigen, a.m, std::move(a.components));
}

void compute_rotation(Analysis &a, const AnalysisOptions &o) {
  const RotationMethod method =
      o.rotate == RotateChoice::promax ? RotationMethod::promax : RotationMethod::varimax;
  const uint32_t k = adjusted_scores_count(
      o.scores, score_limit(a, o.four != 0), o.allscores);
  a.rotation = rotate_loadings(leading_loadings(a, k), a.m, k, method);
}

void analyse_and_write(Analysis &a, const OutputPlace &place, const Switches &sw, RunState &run,
                       const Console &con) {
  analyse_and_write_files(a, place, sw, run, con);
  write_documents(a, place, sw, run, con);
}

void write_results(const Analysis &a, const OutputPlace &place, const Switches &sw,
                   RunState &run, const Console &con, const std::vector<GroupResult> *groups) {
  write_statistics_files(a, place, sw, con);
  if (sw.analysis.eigenvalues) write_component_files(a, place, sw, run, con);
  if (groups != nullptr)
    for (const GroupResult &g : *groups) {
      const OutputPlace at{place.data_file, place.stem + "." + g.file_part};
      write_statistics_files(g.analysis, at, sw, con);
      if (sw.analysis.eigenvalues) write_component_files(g.analysis, at, sw, run, con);
    }
  write_documents(a, place, sw, run, con, groups);
}

int run(int argc, char **argv) {
  try {
    return run_program(argc, argv);
  } catch (const RunEnd &end) {
    if (!end.message.empty()) std::fprintf(stderr, "\nError: %s", end.message.c_str());
    return end.status;
  } catch (const std::bad_alloc &) {
    std::fprintf(stderr, "\nError: %s", kHeapExhausted);
    return 1;
  }
}
