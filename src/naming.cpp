// Output names and output file creation. The name check refuses data files
// whose names could collide with the ".cor"/".inp" results; the stem rule
// looks for the extension only after the last path separator.
#include "naming.h"

#include <sys/stat.h>

#include "messages.h"
#include "vantor.h"

std::string fname;

static std::string current_data_file;

void set_current_data_file(const char *data_file) { current_data_file = data_file; }

std::string name_stem(const std::string &data_file) {
  for (size_t i = data_file.size(); i-- > 0;) {
    char ch = data_file[i];
    if (ch == '\\' || ch == ':' || ch == '/') break;
    if (ch == '.') {
      if (i == 0) break;
      return data_file.substr(0, i);
    }
  }
  return data_file;
}

void set_output_base(const char *data_file) {
  std::string name = data_file;
  if (name.find(".cor") != std::string::npos || name.find(".inp") != std::string::npos)
    fatal("The infile extension may not be one of %s and %s.\a\n", ".cor", ".inp");
  fname = name_stem(name) + ".cor";
}

std::string output_name(const char *ext) {
  // fname always ends in ".cor": swap those four characters for the extension.
  return fname.substr(0, fname.size() - 4) + ext;
}

// True when `name` is the same file as the data file being processed.
static bool is_current_data_file(const std::string &name) {
  if (current_data_file.empty()) return false;
  struct stat out_st, in_st;
  if (stat(name.c_str(), &out_st) != 0 || stat(current_data_file.c_str(), &in_st) != 0)
    return false;
  return out_st.st_dev == in_st.st_dev && out_st.st_ino == in_st.st_ino;
}

OutputFile open_output(const std::string &name) {
  if (is_current_data_file(name))
    fatal("Output file %s would overwrite the data file.\a\n", name.c_str());
  FILE *fp = std::fopen(name.c_str(), "w");
  if (fp == nullptr) fatal("Can't create file: %s\a\n", name.c_str());
  return OutputFile{fp, name};
}

void announce_output(const OutputFile &out) {
  if (!sw.quiet) std::printf("Writing file: %s\n", out.name.c_str());
}

void close_output(OutputFile &out) {
  bool failed = std::ferror(out.fp) != 0;
  if (std::fclose(out.fp) != 0) failed = true;
  out.fp = nullptr;
  if (failed) fatal("Can't write file: %s\a\n", out.name.c_str());
}
