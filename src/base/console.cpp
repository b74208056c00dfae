// The console sink's formatted writers. Plain stdio underneath, so the bytes
// and their interleaving are those of printf on the same streams.
#include "base/console.h"

#include <cstdarg>

void say(const Console &con, const char *fmt, ...) {
  if (con.out == nullptr) return;
  va_list ap;
  va_start(ap, fmt);
  std::vfprintf(con.out, fmt, ap);
  va_end(ap);
}

void tell(const Console &con, const char *fmt, ...) {
  if (con.err == nullptr) return;
  va_list ap;
  va_start(ap, fmt);
  std::vfprintf(con.err, fmt, ap);
  va_end(ap);
}

void message(const Console &con, const char *fmt, ...) {
  if (con.err == nullptr) return;
  std::fputs("\nMessage: ", con.err);
  va_list ap;
  va_start(ap, fmt);
  std::vfprintf(con.err, fmt, ap);
  va_end(ap);
}

void debug_trace(const Console &con, const char *file, int line, const char *fmt, ...) {
  if (con.out == nullptr || con.err == nullptr) return;
  std::fflush(con.out);
  std::fflush(con.err);
  std::fprintf(con.err, "%s:%d:: debug: ", file, line);
  va_list ap;
  va_start(ap, fmt);
  std::vfprintf(con.err, fmt, ap);
  va_end(ap);
  std::fflush(con.err);
}
