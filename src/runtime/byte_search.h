// Finding one byte string in another, with std::string_view::find's contract. Candidates
// are picked by the needle's first and last bytes, sixteen positions at a time where the
// processor has SSE2, so a page full of the needle's first byte ("<" in HTML) costs no
// more than one without it.
#pragma once

#include <bit>
#include <cstddef>
#include <cstring>
#include <string_view>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace mvsearch {

// The 0-based index of the first occurrence of needle at or after from, or npos.
[[nodiscard]] inline std::size_t find_bytes(std::string_view hay, std::string_view needle,
                                            std::size_t from) {
  constexpr std::size_t npos = std::string_view::npos;
  const std::size_t n = hay.size();
  const std::size_t m = needle.size();
  if (from > n || n - from < m) return npos;
  if (m == 0) return from;
  const char* const h = hay.data();
  const char first = needle.front();
  const char last = needle.back();
  // What lies between the first and the last byte.
  const char* const middle = needle.data() + 1;
  const std::size_t middle_length = m >= 2 ? m - 2 : 0;
  const std::size_t last_start = n - m;  // the last index at which a match can begin
  std::size_t i = from;
#if defined(__SSE2__)
  const __m128i firsts = _mm_set1_epi8(first);
  const __m128i lasts = _mm_set1_epi8(last);
  // Both loads of 16 bytes stay within hay while i + 15 <= last_start.
  for (; i + 15 <= last_start; i += 16) {
    const __m128i at_first = _mm_loadu_si128(reinterpret_cast<const __m128i*>(h + i));
    const __m128i at_last = _mm_loadu_si128(reinterpret_cast<const __m128i*>(h + i + m - 1));
    unsigned candidates = static_cast<unsigned>(_mm_movemask_epi8(
        _mm_and_si128(_mm_cmpeq_epi8(at_first, firsts), _mm_cmpeq_epi8(at_last, lasts))));
    while (candidates != 0) {
      const std::size_t at = i + static_cast<std::size_t>(std::countr_zero(candidates));
      if (middle_length == 0 || std::memcmp(h + at + 1, middle, middle_length) == 0) return at;
      candidates &= candidates - 1;
    }
  }
#endif
  for (; i <= last_start; ++i) {
    if (h[i] == first && h[i + m - 1] == last &&
        (middle_length == 0 || std::memcmp(h + i + 1, middle, middle_length) == 0)) {
      return i;
    }
  }
  return npos;
}

}  // namespace mvsearch
