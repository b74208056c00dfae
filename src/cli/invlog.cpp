// Invocation log. The record is built whole in memory and appended with a
// single write so that records of runs started at the same time never mix.
#include "cli/invlog.h"

#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>

static void append_escaped(std::string &out, const char *text) {
  out += '"';
  for (const char *p = text; *p; ++p) {
    if (*p == '"' || *p == '\\') out += '\\';
    out += *p;
  }
  out += '"';
}

std::string invocation_record(int argc, char **argv, std::time_t now) {
  char stamp[30];
  size_t len = std::strftime(stamp, sizeof stamp, "%x %X", std::localtime(&now));
  std::string out(stamp, len);
  for (int i = 0; i < argc; ++i) {
    const char *arg = argv[i];
    if (std::strpbrk(arg, " ,*") == nullptr) {
      out += ' ';
      out += arg;
      continue;
    }
    const char *eq = std::strchr(arg, '=');
    if (std::strncmp(arg, "--", 2) == 0 && eq != nullptr) {
      out += ' ';
      out.append(arg, eq + 1);
      append_escaped(out, eq + 1);
    } else {
      out += ' ';
      append_escaped(out, arg);
    }
  }
  out += '\n';
  return out;
}

void write_invocation_record(int argc, char **argv) {
  int fd = -1;
  for (int attempt = 0; attempt < 11 && fd < 0; ++attempt)
    fd = open("logfile", O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0666);
  if (fd < 0) {
    std::fputs("No logfile entry\n", stderr);
    return;
  }
  std::string record = invocation_record(argc, argv, std::time(nullptr));
  ssize_t written = write(fd, record.data(), record.size());
  (void)written;  // errors while writing the record are ignored
  close(fd);
}
