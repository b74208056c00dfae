// Conversion of the numbers of a data line as sscanf "%lg" reads them, with
// a fast exact path for plain decimal numbers. Nothing here knows rows,
// columns maps or files; load.cpp stores what this converts.
#pragma once

#include <cstdint>
#include <string>

// Scratch space for numbers handed to the platform routine; lives as long as
// one loading pass.
struct NumberScanner {
  std::string token;
  std::string commas;  // a token with its decimal comma made a point
};

// scan_number for numbers written with a decimal comma: the item at `p`
// (up to white space or `end`) is read with its commas taken as points.
bool scan_comma_number(NumberScanner &s, const char *p, const char *end, double *value,
                       const char **next);

// True for the white space that strtod and sscanf skip in the C locale.
inline bool is_c_space(char ch) {
  return ch == ' ' || ch == '\t' || ch == '\n' || ch == '\v' || ch == '\f' || ch == '\r';
}

// Converts the plain decimal number at the start of [p, e),
// [+-]digits[.digits][(e|E)[+-]digits] with at least one mantissa digit and
// as long as the text allows, to the double that strtod and sscanf give for
// it, and returns the character after it. Returns nullptr when no such
// number starts at p, when an exponent mark has no digits, and for values
// that over- or underflow, which are left to the platform routine. The
// caller decides whether what follows ends the number.
const char *scan_plain_decimal(const char *p, const char *e, double *out);

// Converts the next number at or after `p`, looking no further than `end`,
// exactly as sscanf "%lg" would: leading white space skipped, the value
// stored in *value and *next set after the last character consumed.
// Returns false when no number can be converted there.
bool scan_number(NumberScanner &s, const char *p, const char *end, double *value,
                 const char **next);

// The outcome of converting the numbers at the start of a line.
struct RowScan {
  uint32_t stored;   // numbers stored, at most the row's room
  bool more;         // one more number followed the last one stored
  const char *stop;  // after the last number stored (or the line start)
};

// Converts the numbers of [s, end) one after another until the first item
// that is not a number, storing the k-th into row[map[k]] for k < room, and
// notes whether a number followed the room-th. Ends at the first NUL.
RowScan convert_row(NumberScanner &s, const char *line, const char *end, double *row,
                    const int32_t *map, uint32_t room);
