// Decompression of data files into a temporary file, through the system's
// zlib, libzstd, liblzma and libbz2, a megabyte at a time in either
// direction: memory stays bounded whatever the stream expands to.
#include "input/decompress.h"

#include <bzlib.h>
#include <lzma.h>
#include <unistd.h>
#include <zlib.h>
#include <zstd.h>

#include <cerrno>
#include <cstring>
#include <memory>

#include "input/spool.h"

namespace {

constexpr size_t kChunk = size_t{1} << 20;
constexpr uint64_t kDecoderMemory = uint64_t{1} << 30;

// Input and output of one decompression, and how it ended.
struct Pump {
  int in = -1, out = -1;
  std::unique_ptr<unsigned char[]> input{new unsigned char[kChunk]};
  std::unique_ptr<unsigned char[]> output{new unsigned char[kChunk]};
  std::string *error = nullptr;
  const char *format = "";
  uint64_t left = UINT64_MAX;  // output bytes still allowed
};

// Reads the next input chunk: its size, 0 at the end, -1 on a failure.
ssize_t refill(Pump &p) {
  for (;;) {
    const ssize_t got = read(p.in, p.input.get(), kChunk);
    if (got >= 0) return got;
    if (errno == EINTR) continue;
    *p.error = std::string("Cannot read the input: ") + std::strerror(errno);
    return -1;
  }
}

// Writes the first `size` bytes of the output buffer; false on a failure.
bool drain(Pump &p, size_t size) {
  if (size > p.left) {
    *p.error = std::string("more output than allowed from the ") + p.format + " data";
    return false;
  }
  p.left -= size;
  const int err = write_fully(p.out, reinterpret_cast<const char *>(p.output.get()), size);
  if (err == 0) return true;
  *p.error = std::string("Cannot write the decompressed data to a temporary file: ") +
             std::strerror(err);
  return false;
}

bool fail(Pump &p, const char *what) {
  *p.error = std::string(what) + " " + p.format + " data";
  return false;
}

bool inflate_gzip(Pump &p) {
  z_stream z{};
  if (inflateInit2(&z, 15 + 16) != Z_OK) return fail(p, "no memory for the");
  std::unique_ptr<z_stream, int (*)(z_stream *)> end(&z, inflateEnd);
  bool inside = false;  // bytes of a member have been read and its end not
  for (;;) {
    const ssize_t got = refill(p);
    if (got < 0) return false;
    if (got == 0) return inside ? fail(p, "truncated") : true;
    z.next_in = p.input.get();
    z.avail_in = static_cast<uInt>(got);
    while (z.avail_in > 0) {
      if (!inside && inflateReset(&z) != Z_OK) return fail(p, "corrupt");
      inside = true;
      z.next_out = p.output.get();
      z.avail_out = static_cast<uInt>(kChunk);
      const uInt before = z.avail_in;
      const int r = inflate(&z, Z_NO_FLUSH);
      const bool stuck = r == Z_BUF_ERROR && z.avail_in == before && z.avail_out == kChunk;
      if ((r != Z_OK && r != Z_STREAM_END && r != Z_BUF_ERROR) || stuck) return fail(p, "corrupt");
      if (!drain(p, kChunk - z.avail_out)) return false;
      if (r == Z_STREAM_END) inside = false;
    }
  }
}

bool decompress_zstd(Pump &p) {
  std::unique_ptr<ZSTD_DCtx, size_t (*)(ZSTD_DCtx *)> d(ZSTD_createDCtx(), ZSTD_freeDCtx);
  if (!d) return fail(p, "no memory for the");
  size_t last = 0;  // 0 where a frame has just ended
  for (;;) {
    const ssize_t got = refill(p);
    if (got < 0) return false;
    if (got == 0) return last != 0 ? fail(p, "truncated") : true;
    ZSTD_inBuffer in{p.input.get(), static_cast<size_t>(got), 0};
    for (bool full = true; in.pos < in.size || full;) {
      ZSTD_outBuffer out{p.output.get(), kChunk, 0};
      last = ZSTD_decompressStream(d.get(), &out, &in);
      if (ZSTD_isError(last)) return fail(p, "corrupt");
      if (!drain(p, out.pos)) return false;
      full = out.pos == out.size;
    }
  }
}

bool decompress_xz(Pump &p) {
  lzma_stream s = LZMA_STREAM_INIT;
  if (lzma_stream_decoder(&s, kDecoderMemory, LZMA_CONCATENATED) != LZMA_OK)
    return fail(p, "no memory for the");
  std::unique_ptr<lzma_stream, void (*)(lzma_stream *)> end(&s, lzma_end);
  bool eof = false;
  for (;;) {
    if (s.avail_in == 0 && !eof) {
      const ssize_t got = refill(p);
      if (got < 0) return false;
      eof = got == 0;
      s.next_in = p.input.get();
      s.avail_in = static_cast<size_t>(got);
    }
    s.next_out = p.output.get();
    s.avail_out = kChunk;
    const lzma_ret r = lzma_code(&s, eof ? LZMA_FINISH : LZMA_RUN);
    if (!drain(p, kChunk - s.avail_out)) return false;
    if (r == LZMA_STREAM_END) return true;
    if (r == LZMA_BUF_ERROR && eof) return fail(p, "truncated");
    if (r == LZMA_MEMLIMIT_ERROR) return fail(p, "too much memory for the");
    if (r != LZMA_OK) return fail(p, "corrupt");
  }
}

bool decompress_bzip2(Pump &p) {
  bz_stream b{};
  bool open = false, inside = false;
  struct Closer {
    bz_stream *b;
    bool *open;
    ~Closer() {
      if (*open) BZ2_bzDecompressEnd(b);
    }
  } closer{&b, &open};
  for (;;) {
    const ssize_t got = refill(p);
    if (got < 0) return false;
    if (got == 0) return inside ? fail(p, "truncated") : true;
    b.next_in = reinterpret_cast<char *>(p.input.get());
    b.avail_in = static_cast<unsigned>(got);
    while (b.avail_in > 0) {
      if (!inside) {
        if (open) BZ2_bzDecompressEnd(&b);
        open = BZ2_bzDecompressInit(&b, 0, 0) == BZ_OK;
        if (!open) return fail(p, "no memory for the");
        inside = true;
      }
      b.next_out = reinterpret_cast<char *>(p.output.get());
      b.avail_out = static_cast<unsigned>(kChunk);
      const int r = BZ2_bzDecompress(&b);
      if (r != BZ_OK && r != BZ_STREAM_END) return fail(p, "corrupt");
      if (!drain(p, kChunk - b.avail_out)) return false;
      if (r == BZ_STREAM_END) inside = false;
    }
  }
}

}  // namespace

Compression compression_of(const unsigned char *head, size_t size) {
  const auto starts = [&](const char *magic, size_t n) {
    return size >= n && std::memcmp(head, magic, n) == 0;
  };
  if (starts("\x1f\x8b", 2)) return Compression::gzip;
  if (starts("\x28\xb5\x2f\xfd", 4)) return Compression::zstd;
  if (starts("\xfd" "7zXZ\0", 6)) return Compression::xz;
  // "BZh" and a digit could start a line of text: the first block's magic
  // (or that of the end of an empty stream) must follow.
  if (starts("BZh", 3) && size >= 10 && head[3] >= '1' && head[3] <= '9' &&
      (std::memcmp(head + 4, "\x31\x41\x59\x26\x53\x59", 6) == 0 ||
       std::memcmp(head + 4, "\x17\x72\x45\x38\x50\x90", 6) == 0))
    return Compression::bzip2;
  return Compression::none;
}

const char *compression_name(Compression c) {
  switch (c) {
    case Compression::gzip: return "gzip";
    case Compression::zstd: return "zstd";
    case Compression::xz: return "xz";
    case Compression::bzip2: return "bzip2";
    default: return "plain";
  }
}

Compression compression_of_file(int fd) {
  unsigned char head[10];
  const ssize_t got = pread(fd, head, sizeof head, 0);
  return got > 0 ? compression_of(head, static_cast<size_t>(got)) : Compression::none;
}

int decompress_to_temp(int in, Compression c, std::string *error, uint64_t limit) {
  Pump p;
  p.left = limit;
  p.in = in;
  p.error = error;
  p.format = compression_name(c);
  p.out = create_temp_file(error);
  if (p.out < 0) return -1;
  bool ok = false;
  switch (c) {
    case Compression::gzip: ok = inflate_gzip(p); break;
    case Compression::zstd: ok = decompress_zstd(p); break;
    case Compression::xz: ok = decompress_xz(p); break;
    case Compression::bzip2: ok = decompress_bzip2(p); break;
    default: *error = "not compressed"; break;
  }
  if (ok && lseek(p.out, 0, SEEK_SET) != 0) {
    *error = std::string("Cannot rewind the temporary file: ") + std::strerror(errno);
    ok = false;
  }
  if (ok) return p.out;
  close(p.out);
  return -1;
}
