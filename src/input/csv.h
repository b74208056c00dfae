// CSV records: splitting one record (which a quoted field may carry over
// several physical lines) into fields, and what a field means as a number,
// a missing value or text in an error message. Reading lines is the caller's.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "input/numparse.h"

// One field of a record. `text` is its value: a view into the record, or
// into the caller's scratch string when "" pairs had to be unescaped. `raw`
// is the field as written, blanks around it removed, always a view into the
// record; messages show it.
struct CsvField {
  const char *text;
  size_t size;
  const char *raw;
  size_t raw_size;
  bool malformed;  // something other than blanks followed the closing quote
};

enum class CsvSplit { ok, needs_more_input };

// How far the quote tracking of an unfinished record got, so that a record
// spanning many lines is still read in time linear in its length. Zero it
// before the first line of a record; a finished record zeroes it again.
struct CsvScan {
  size_t offset = 0;  // bytes of the record already tracked
  uint8_t state = 0;  // where in a field the tracking stopped
};

// Splits the record [p, end) at commas (or at `sep`) into `fields`. The record may end in
// "\n" or "\r\n", which the last field does not include. Blanks (space, tab)
// around a field are dropped, also around a quoted one. A quote opens a
// quoted field only as its first non-blank character; anywhere else in an
// unquoted field it is an ordinary character. Text after a closing quote
// makes the field malformed; it then runs to the next comma.
//
// Returns needs_more_input, leaving `fields` empty, while a quote is still
// open at `end`: the caller appends the next line to the same record and
// calls again with the longer range (which may have moved) and the same
// `scan`. Views into `scratch` stay valid until the next call.
CsvSplit split_csv_record(const char *p, const char *end, CsvScan &scan,
                          std::vector<CsvField> &fields, std::string &scratch, char sep = ',');

// True when the value of `f` is one number as scan_number converts it, with
// nothing but white space around it, so that CSV and white-space input give
// the same bits for the same text. Empty and malformed fields are not numbers.
// With `comma_decimals` a comma in the value is its decimal point.
bool csv_field_number(NumberScanner &s, const CsvField &f, double *out,
                      bool comma_decimals = false);

// True when the value of `f` is one of `missing_words`, or empty while
// `empty_is_missing` is set.
bool csv_field_is_missing(const CsvField &f, const std::vector<std::string> &missing_words,
                          bool empty_is_missing);

// [p, p + len) made safe to print between quotes on a terminal: at most 60
// bytes of it ("..." added when cut), control bytes and bytes from 0x7f up
// shown as \xNN, and a backslash as "\\".
std::string shown_field(const char *p, size_t len);

// 3 when [p, end) starts with the UTF-8 byte order mark, else 0.
size_t utf8_bom_length(const char *p, const char *end);

// The white-space separated words of a names line in white-space mode. The
// line ends at its first NUL, as a data line does.
std::vector<std::string> split_blank_names(const char *p, const char *end);
