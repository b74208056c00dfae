// Compressed data files: the format told by a file's first bytes (gzip,
// zstd, xz, bzip2), and the whole stream decompressed once into an unlinked
// temporary file, which the loading passes then read as a plain file.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

enum class Compression : uint8_t { none, gzip, zstd, xz, bzip2 };

// The format whose magic bytes [head, head + size) start with; none when
// they start no format's. bzip2 needs ten bytes: "BZh", the block size
// digit and the magic of the first block (or of an empty stream's end).
Compression compression_of(const unsigned char *head, size_t size);

// The format's name as messages say it ("gzip", "zstd", "xz", "bzip2").
const char *compression_name(Compression c);

// The format of the file open as `fd`, read at its start without moving it.
Compression compression_of_file(int fd);

// Decompresses all of `in`, from where it stands, as format `c` into a new
// temporary file and returns a descriptor for it at its start; concatenated
// streams are read as one, as zcat reads them. Returns -1 with the reason in
// *error for corrupt data ("corrupt gzip data"), a stream cut short
// ("truncated gzip data"), a read or write failure, or a stream needing
// more than 1 GiB of decoder memory, or (for the fuzz target) more than
// `limit` bytes of output. REQUIRES: c is not none.
int decompress_to_temp(int in, Compression c, std::string *error, uint64_t limit = UINT64_MAX);
