// Fuzz target: arbitrary bytes as a compressed data file (the corpus holds
// small gzip, zstd, xz and bzip2 streams, whole, cut short and with bytes
// changed) through the decompressing reader, its output capped at 16 MiB.
#include <sys/mman.h>
#include <unistd.h>

#include <cstdint>
#include <string>

#include "input/decompress.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  if (size > 65536) return 0;
  const Compression c = compression_of(data, size);
  if (c == Compression::none) return 0;
  const int in = memfd_create("vantor-fuzz-compressed", MFD_CLOEXEC);
  if (in < 0) return 0;
  if (write(in, data, size) == static_cast<ssize_t>(size) && lseek(in, 0, SEEK_SET) == 0) {
    std::string error;
    const int out = decompress_to_temp(in, c, &error, uint64_t{16} << 20);
    if (out >= 0) close(out);
    if ((out >= 0) != error.empty()) __builtin_trap();  // a failure always says why
  }
  close(in);
  return 0;
}
