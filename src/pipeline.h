// The run: the command line, the invocation record and banner, then every
// data file through its fixed sequence of phases. `main` only calls run();
// fuzz targets, benchmarks and tests call the per-file steps.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>

#include "record/analysis.h"
#include "base/console.h"
#include "output/naming.h"
#include "input/datasource.h"
#include "input/reader.h"
#include "stats/stats.h"
#include "cli/switches.h"
#include "machine/workers.h"
#include "record/workarrays.h"
#include "record/groups.h"

// What lives for the whole run rather than one file.
struct RunState {
  GrowableLine line;       // the examination buffer, grown as first lines need
  MemoryTally memory;      // work-array bytes so far ("Memory need")
  uint32_t scores_count;   // scores per row in ".sco", lowered file by file
  std::string arguments;   // the command line as the report shows it
  Workers *workers = nullptr;  // the run's pool (null: one thread)
};

// A fresh run state for the settings (fatal when the examination buffer
// cannot be made).
RunState make_run_state(const Switches &sw);

// The switches a data file is read under: NAME.csv and NAME.tsv as --csv
// and --separator=tab read them when their first line holds that separator
// and no switch says otherwise (--comma-decimals, too, says the comma is no
// separator).
Switches read_as_named(const char *name, const Switches &sw, const DataSource &source);

// Examination, work arrays, column maps and loading of one data file, with
// their console lines; returns the record with n and m set.
Analysis load_data_file(const char *name, const Switches &sw, RunState &run,
                        const Console &con);

// The statistics of a loaded file with their console lines ("Found ..." and
// the zero-variance warning): extremes, histogram counts, moments, matrices,
// median and quartiles. Ends the run with "Too few variables" when nothing
// was loaded. `trace`: every histogram placement is traced (-d).
void compute_statistics(Analysis &a, const AnalysisOptions &o, const Console &con,
                        Workers &w = serial_workers(), bool trace = false);

// The principal components of the record's correlation matrix: its
// eigenpairs, then the loadings and the component order.
// With `vectors_apart` the eigenvectors are rotated on a second thread (the
// same bits).
void compute_components(Analysis &a, bool vectors_apart = false);

// --rotate: the rotation of the loadings of the components the run scores
// (-e N, at most the score limit; all with --allscores) into a.rotation.
// REQUIRES: compute_components done.
void compute_rotation(Analysis &a, const AnalysisOptions &o);

// Everything after loading: statistics, the result files and, with -e, the
// eigen analysis and its files.
void analyse_and_write(Analysis &a, const OutputPlace &place, const Switches &sw, RunState &run,
                       const Console &con);

// The result files of a record whose statistics (and, with -e, components)
// are done, in the run's order; lowers run.scores_count as -e does. The
// in-process module writes through here.
void write_results(const Analysis &a, const OutputPlace &place, const Switches &sw,
                   RunState &run, const Console &con,
                   const std::vector<GroupResult> *groups = nullptr);

// One whole run of the program; returns the exit status. Fatal errors are
// printed here as "\nError: ..." on the error stream.
int run(int argc, char **argv);
