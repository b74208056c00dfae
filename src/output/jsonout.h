// The JSON result document: one data file's statistics, matrices, histogram
// and components with the definitions they follow, for scripts to load whole.
// The writer decides the layout; the record only holds the numbers.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "record/analysis.h"
#include "record/groups.h"
#include "base/console.h"
#include "output/naming.h"
#include "output/docoptions.h"

// What the document tells besides the record.
struct JsonContext {
  bool components = false;      // -e ran: the components section is filled
  bool one_line = false;        // the whole document on one line (JSON Lines)
  uint32_t score_limit = 0;     // N of ".fsc"
  uint32_t scores_written = 0;  // scores per observation in ".sco"
  std::string data_file;        // as named on the command line; "-" for standard input
  // --by: each group's value, file-name part, row count and whole document
  // on one line, written as the "groups" array.
  struct Group {
    std::string value, file_part, document;
    uint64_t rows = 0;
  };
  std::vector<Group> groups;
};

// The rows of a group's (or a file's) record, complete or not: under
// --use=pairwise n is cut down to the complete rows once the statistics are
// computed, and the others are counted in rows_left_out.
uint64_t group_rows(const Analysis &g);

// The context of a file's document under these options.
JsonContext json_context(const Analysis &a, const DocumentOptions &options);

// Writes the whole document, ending in a line end, to `fp`: indented over
// many lines, or as one line when `ctx.one_line`.
void write_json_document(FILE *fp, const Analysis &a, const JsonContext &ctx);

// The context of a data file's document: json_context with the name the
// document gives the file and, under --by, each group's document.
JsonContext document_context(const Analysis &a, const DocumentOptions &options,
                             const std::string &data_file,
                             const std::vector<GroupResult> *groups);

// The document of one data file: as one line to `stream` when one is given
// (--json=-, so that several files make JSON Lines), else pretty-printed to
// ".json" beside the other results, announced like them. A failed
// write ends the run with "Can't write file: %s\a\n".
void write_json(const Analysis &a, const OutputPlace &place, const DocumentOptions &options,
                FILE *stream, const Console &con, const std::vector<GroupResult> *groups = nullptr);

// A string as a JSON string literal, quotes included. Bytes that are not
// valid UTF-8 become U+FFFD; control characters are escaped.
std::string json_string(const std::string &text);

// The shortest text that reads back as the same double; "null" for an
// infinity or a NaN, which JSON cannot write.
std::string json_number(double x);
