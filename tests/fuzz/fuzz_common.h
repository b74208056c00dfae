// Helpers shared by the fuzz targets: splitting the input into arguments and
// making argv for the command-line parser.
#pragma once

#include <getopt.h>

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>


// Arguments from NUL- or newline-separated pieces of `data`, at most `limit`.
inline std::vector<std::string> split_arguments(const uint8_t *data, size_t size, size_t limit) {
  std::vector<std::string> args(1);
  for (size_t i = 0; i < size && args.size() < limit; ++i) {
    if (data[i] == 0 || data[i] == '\n')
      args.emplace_back();
    else
      args.back() += static_cast<char>(data[i]);
  }
  return args;
}

// argv for getopt_long: pointers into `args`, ended by a null pointer.
inline std::vector<char *> make_argv(std::vector<std::string> &args) {
  std::vector<char *> argv;
  for (auto &a : args) argv.push_back(a.data());
  argv.push_back(nullptr);
  return argv;
}
