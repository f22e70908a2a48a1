// Copying the ASCII at the front of a text between bytes and UTF-16 units, and finding a
// U+0000, sixteen at a time where the processor has SSE2. ASCII makes up most of a web page,
// and the code page and UTF-16 agree on it, so the converters copy it with these and look
// up only the rest.
#pragma once

#include <bit>
#include <cstddef>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace mvsearch {

// Copies the bytes of in[0..n) up to the first one of 0x80 or above to out as units and
// returns how many it copied. out has room for n units; past the count it may hold junk.
[[nodiscard]] inline std::size_t widen_ascii(const char* in, std::size_t n, char16_t* out) {
  std::size_t i = 0;
#if defined(__SSE2__)
  const __m128i zero = _mm_setzero_si128();
  // Whole ASCII blocks of 32 first, with one test each.
  for (; n - i >= 32; i += 32) {
    const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(in + i));
    const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(in + i + 16));
    if (_mm_movemask_epi8(_mm_or_si128(a, b)) != 0) break;
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out + i), _mm_unpacklo_epi8(a, zero));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out + i + 8), _mm_unpackhi_epi8(a, zero));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out + i + 16), _mm_unpacklo_epi8(b, zero));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out + i + 24), _mm_unpackhi_epi8(b, zero));
  }
  for (; n - i >= 16; i += 16) {
    const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(in + i));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out + i), _mm_unpacklo_epi8(bytes, zero));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out + i + 8), _mm_unpackhi_epi8(bytes, zero));
    const unsigned high = static_cast<unsigned>(_mm_movemask_epi8(bytes));
    if (high != 0) return i + static_cast<std::size_t>(std::countr_zero(high));
  }
#endif
  for (; i < n && static_cast<unsigned char>(in[i]) < 0x80; ++i) out[i] = in[i];
  return i;
}

// Copies the units of in[0..n) up to the first one of U+0080 or above to out as bytes and
// returns how many it copied. out has room for n bytes; past the count it may hold junk.
[[nodiscard]] inline std::size_t narrow_ascii(const char16_t* in, std::size_t n, char* out) {
  std::size_t i = 0;
#if defined(__SSE2__)
  const __m128i zero = _mm_setzero_si128();
  const __m128i above_ascii = _mm_set1_epi16(static_cast<short>(0xFF80));
  for (; n - i >= 16; i += 16) {
    const __m128i low = _mm_loadu_si128(reinterpret_cast<const __m128i*>(in + i));
    const __m128i high = _mm_loadu_si128(reinterpret_cast<const __m128i*>(in + i + 8));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out + i), _mm_packus_epi16(low, high));
    // All ones for each ASCII unit, packed to one byte per unit.
    const __m128i ascii = _mm_packs_epi16(_mm_cmpeq_epi16(_mm_and_si128(low, above_ascii), zero),
                                          _mm_cmpeq_epi16(_mm_and_si128(high, above_ascii), zero));
    const unsigned other = ~static_cast<unsigned>(_mm_movemask_epi8(ascii)) & 0xFFFF;
    if (other != 0) return i + static_cast<std::size_t>(std::countr_zero(other));
  }
#endif
  for (; i < n && in[i] < 0x80; ++i) out[i] = static_cast<char>(in[i]);
  return i;
}

// The index of the first U+0000 in in[0..n), or n when there is none.
[[nodiscard]] inline std::size_t find_nul_unit(const char16_t* in, std::size_t n) {
  std::size_t i = 0;
#if defined(__SSE2__)
  const __m128i zero = _mm_setzero_si128();
  for (; n - i >= 8; i += 8) {
    const __m128i units = _mm_loadu_si128(reinterpret_cast<const __m128i*>(in + i));
    const unsigned nul = static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi16(units, zero)));
    if (nul != 0) return i + static_cast<std::size_t>(std::countr_zero(nul)) / 2;
  }
#endif
  for (; i < n; ++i) {
    if (in[i] == u'\0') return i;
  }
  return n;
}

}  // namespace mvsearch
