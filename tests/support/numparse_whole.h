// For the number-conversion tests and fuzz target: the fast scan applied to
// a whole token, which the loaders never need in this form.
#pragma once

#include "input/numparse.h"

// scan_plain_decimal for the whole token [p, e) (no white space in it).
inline bool parse_plain_decimal(const char *p, const char *e, double *out) {
  double x = 0;
  if (scan_plain_decimal(p, e, &x) != e) return false;
  *out = x;
  return true;
}
