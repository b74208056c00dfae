// std::nth_element's steps for doubles, with Hoare's partition run a block
// at a time: the same pivots, the same swaps in the same order, so the same
// permutation; only the branch per value that a random column mispredicts
// half the time is gone, and on the AVX-512 path a block's comparisons are
// made sixteen at a time.
#include "stats/selection.h"

#include <algorithm>
#include <bit>
#include <cstddef>
#include <cstdint>

#if defined(__x86_64__)
#include <immintrin.h>
#endif

#include "machine/isa.h"

namespace {

// Moves the median of *a, *b and *c to *result, as the library picks its
// pivot.
void move_median_to_first(double *result, double *a, double *b, double *c) {
  if (*a < *b) {
    if (*b < *c)
      std::iter_swap(result, b);
    else if (*a < *c)
      std::iter_swap(result, c);
    else
      std::iter_swap(result, a);
  } else if (*a < *c) {
    std::iter_swap(result, a);
  } else if (*b < *c) {
    std::iter_swap(result, c);
  } else {
    std::iter_swap(result, b);
  }
}

// Values a block scan decides at once.
constexpr int kBlock = 128;
// Offsets a scan writes: a block's, and the room the vector path's last
// full-width store may take beyond them.
constexpr int kOffsets = kBlock + 16;

// The offsets in block[0 .. kBlock) where the scan from the left stops (a
// value not below the pivot), ascending; returns their count.
int left_stops(const double *block, double pivot, uint32_t *out) {
  int count = 0;
  for (int i = 0; i < kBlock; ++i) {
    out[count] = static_cast<uint32_t>(i);
    count += !(block[i] < pivot);
  }
  return count;
}

// The offsets i, counted down from `top`, where the scan from the right stops
// at top[-i] (a value not above the pivot); returns their count.
int right_stops(const double *top, double pivot, uint32_t *out) {
  int count = 0;
  for (int i = 0; i < kBlock; ++i) {
    out[count] = static_cast<uint32_t>(i);
    count += !(pivot < top[-i]);
  }
  return count;
}

#if defined(__x86_64__)
// The same offsets sixteen values at a time: a comparison gives each
// value's bit ("not less" and "not greater" hold for NaN, as the negated
// comparisons above do) and the offsets of the set bits are packed in
// their order. The right scan reverses each eight values first, so that
// its offsets come out ascending too.
__attribute__((target("avx512f"))) int left_stops_avx512(const double *block, double pivot,
                                                         uint32_t *out) {
  const __m512d p = _mm512_set1_pd(pivot);
  __m512i offset = _mm512_setr_epi32(0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15);
  int count = 0;
  for (int i = 0; i < kBlock; i += 16) {
    const unsigned low = _mm512_cmp_pd_mask(_mm512_loadu_pd(block + i), p, _CMP_NLT_UQ);
    const unsigned high = _mm512_cmp_pd_mask(_mm512_loadu_pd(block + i + 8), p, _CMP_NLT_UQ);
    const __mmask16 stops = static_cast<__mmask16>(low | high << 8);
    _mm512_storeu_si512(out + count, _mm512_maskz_compress_epi32(stops, offset));
    count += __builtin_popcount(stops);
    offset = _mm512_add_epi32(offset, _mm512_set1_epi32(16));
  }
  return count;
}

__attribute__((target("avx512f"))) int right_stops_avx512(const double *top, double pivot,
                                                          uint32_t *out) {
  const __m512d p = _mm512_set1_pd(pivot);
  const __m512i reverse = _mm512_setr_epi64(7, 6, 5, 4, 3, 2, 1, 0);
  __m512i offset = _mm512_setr_epi32(0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15);
  int count = 0;
  for (int i = 0; i < kBlock; i += 16) {
    const __m512d near = _mm512_maskz_permutexvar_pd(0xFF, reverse, _mm512_loadu_pd(top - i - 7));
    const __m512d far = _mm512_maskz_permutexvar_pd(0xFF, reverse, _mm512_loadu_pd(top - i - 15));
    const unsigned low = _mm512_cmp_pd_mask(near, p, _CMP_NGT_UQ);
    const unsigned high = _mm512_cmp_pd_mask(far, p, _CMP_NGT_UQ);
    const __mmask16 stops = static_cast<__mmask16>(low | high << 8);
    _mm512_storeu_si512(out + count, _mm512_maskz_compress_epi32(stops, offset));
    count += __builtin_popcount(stops);
    offset = _mm512_add_epi32(offset, _mm512_set1_epi32(16));
  }
  return count;
}
#endif

// The scans of the run's vector path.
struct StopScans {
  int (*left)(const double *, double, uint32_t *);
  int (*right)(const double *, double, uint32_t *);
};

StopScans stop_scans() {
#if defined(__x86_64__)
  if (chosen_isa() == Isa::avx512) return StopScans{left_stops_avx512, right_stops_avx512};
#endif
  return StopScans{left_stops, right_stops};
}

// Hoare's unguarded partition of [first, last) around `pivot`, the value
// just before `first`; returns the cut. Its k-th swap pairs the k-th value
// from the left that stops the left scan with the k-th from the right that
// stops the right one, so while the scanned blocks of the two sides stay
// apart the pairs can be found a block at a time. The last stretch, where
// the scans meet, runs one value at a time from the last pair swapped.
double *partition(double *first, double *last, double pivot, const StopScans &scans) {
  uint32_t left[kOffsets], right[kOffsets];
  int left_count = 0, right_count = 0, left_used = 0, right_used = 0;
  double *left_block = first, *right_top = last - 1;
  double *unscanned_first = first, *unscanned_last = last;
  double *f = first, *l = last;
  for (;;) {
    if (left_used == left_count) {
      if (unscanned_last - unscanned_first < kBlock) break;
      left_block = unscanned_first;
      left_count = scans.left(left_block, pivot, left);
      left_used = 0;
      unscanned_first += kBlock;
    }
    if (right_used == right_count) {
      if (unscanned_last - unscanned_first < kBlock) break;
      right_top = unscanned_last - 1;
      right_count = scans.right(right_top, pivot, right);
      right_used = 0;
      unscanned_last -= kBlock;
    }
    const int pairs = std::min(left_count - left_used, right_count - right_used);
    for (int k = 0; k < pairs; ++k)
      std::iter_swap(left_block + left[left_used + k], right_top - right[right_used + k]);
    if (pairs > 0) {
      f = left_block + left[left_used + pairs - 1] + 1;
      l = right_top - right[right_used + pairs - 1];
    }
    left_used += pairs;
    right_used += pairs;
  }
  for (;;) {
    while (*f < pivot) ++f;
    --l;
    while (pivot < *l) --l;
    if (!(f < l)) return f;
    std::iter_swap(f, l);
    ++f;
  }
}

void insertion_sort(double *first, double *last) {
  if (first == last) return;
  for (double *i = first + 1; i != last; ++i) {
    const double value = *i;
    if (value < *first) {
      std::move_backward(first, i, i + 1);
      *first = value;
    } else {
      double *hole = i;
      for (double *next = i - 1; value < *next; --next) {
        *hole = *next;
        hole = next;
      }
      *hole = value;
    }
  }
}

// The selection past the depth limit: a heap of the first values, each later
// one smaller than its top taking the top's place. The library pops the top
// into the later value's place; the public pop_heap pops into the heap's
// end, so the later value visits that end for the call.
void heap_select(double *first, double *middle, double *last) {
  std::make_heap(first, middle);
  for (double *i = middle; i < last; ++i) {
    if (*i < *first) {
      std::iter_swap(middle, i);
      std::pop_heap(first, middle + 1);
      std::iter_swap(middle, i);
    }
  }
}

}  // namespace

void select_nth(double *first, double *nth, double *last) {
  if (first == last || nth == last) return;
  const auto count = static_cast<size_t>(last - first);
  ptrdiff_t depth = 2 * (static_cast<ptrdiff_t>(std::bit_width(count)) - 1);
  const StopScans scans = stop_scans();
  while (last - first > 3) {
    if (depth == 0) {
      heap_select(first, nth + 1, last);
      std::iter_swap(first, nth);
      return;
    }
    --depth;
    double *middle = first + (last - first) / 2;
    move_median_to_first(first, first + 1, middle, last - 1);
    double *cut = partition(first + 1, last, *first, scans);
    if (cut <= nth)
      first = cut;
    else
      last = cut;
  }
  insertion_sort(first, last);
}
