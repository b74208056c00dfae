// The run's choice of vector path: the processor's widest unless VANTOR_ISA
// forces one. The choice is the one mutable global of the kernels, made once
// (tests may set it, one path after another).
#include "machine/isa.h"

#include <atomic>
#include <cstdlib>
#include <cstring>

#include "base/messages.h"

namespace {

// -1 until the first use; then an Isa.
std::atomic<int> choice{-1};

Isa widest_supported() {
  if (isa_supported(Isa::avx512)) return Isa::avx512;
  if (isa_supported(Isa::avx2)) return Isa::avx2;
  return Isa::sse2;
}

Isa from_environment() {
  const char *forced = std::getenv("VANTOR_ISA");
  if (forced == nullptr || *forced == '\0') return widest_supported();
  for (Isa isa : kAllIsas) {
    if (std::strcmp(forced, isa_name(isa)) != 0) continue;
    if (!isa_supported(isa)) fatal("VANTOR_ISA=%s: this processor lacks that path\n", forced);
    return isa;
  }
  fatal("VANTOR_ISA=%s: not sse2, avx2 or avx512\n", forced);
}

}  // namespace

const char *isa_name(Isa isa) {
  switch (isa) {
    case Isa::avx2:
      return "avx2";
    case Isa::avx512:
      return "avx512";
    case Isa::sse2:
      break;
  }
  return "sse2";
}

bool isa_supported(Isa isa) {
#if defined(__x86_64__)
  // libgcc also checks that the operating system saves the wide registers.
  switch (isa) {
    case Isa::avx2:
      return __builtin_cpu_supports("avx2");
    case Isa::avx512:
      return __builtin_cpu_supports("avx512f");
    case Isa::sse2:
      break;
  }
  return true;
#else
  return isa == Isa::sse2;
#endif
}

void settle_isa() {
  if (choice.load(std::memory_order_acquire) < 0)
    choice.store(static_cast<int>(from_environment()), std::memory_order_release);
}

Isa chosen_isa() {
  settle_isa();
  return static_cast<Isa>(choice.load(std::memory_order_acquire));
}

void use_isa_for_tests(Isa isa) { choice.store(static_cast<int>(isa), std::memory_order_release); }
