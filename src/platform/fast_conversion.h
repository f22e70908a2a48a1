// Conversions for the common case, tried before ICU: well-formed UTF-8 to UTF-16, and code
// page 936 to and from UTF-16 where every character has a mapping of its own. Each one
// stops before the first character outside its case (an ill-formed UTF-8 sequence; a lone
// or badly trailed lead byte, the byte 0xFF, an unassigned pair, a unit the code page
// lacks, a surrogate), so that the caller converts the rest with ICU and the result never
// differs from ICU's. The code page 936 table is read from ICU's "windows-936-2000" once
// per process, one character at a time.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace mvsearch {

// How far a conversion got: units read from the input and written to the output. It
// stops at the end of the input, before a character outside its case, or when the output
// might not hold the next character.
struct ConversionStep {
  std::size_t read = 0;
  std::size_t written = 0;
};

// Each converts from the front of in into out[0..room). With room at least in.size()
// (utf8_to_utf16, cp936_to_utf16) or 2 * in.size() (utf16_to_cp936), only a character
// outside the fast case stops it before the end. Past `written`, out may hold junk.
[[nodiscard]] ConversionStep utf8_to_utf16(std::string_view in, char16_t* out, std::size_t room);
[[nodiscard]] ConversionStep cp936_to_utf16(std::string_view in, char16_t* out, std::size_t room);
[[nodiscard]] ConversionStep utf16_to_cp936(std::u16string_view in, char* out, std::size_t room);

// Appends all of in, converted by step (one of the above), to *out through a buffer that
// stays in the cache; false when step stopped before the end, with *out then holding
// whatever came before that character.
template <class From, class To>
bool append_fast(std::basic_string_view<From> in, std::basic_string<To>* out,
                 ConversionStep (*step)(std::basic_string_view<From>, To*, std::size_t)) {
  constexpr std::size_t BUFFER = 16 * 1024;
  To buffer[BUFFER];
  while (!in.empty()) {
    const ConversionStep done = step(in, buffer, BUFFER);
    out->append(buffer, done.written);
    if (done.read == 0) return false;
    in.remove_prefix(done.read);
  }
  return true;
}

}  // namespace mvsearch
