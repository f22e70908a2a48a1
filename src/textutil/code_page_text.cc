#include "textutil/code_page_text.h"

#include <bit>
#include <cstring>
#include <string>

#include "platform/code_page.h"
#include "runtime/text_ops.h"

namespace mvsearch {
namespace {

// The UTF-16 units are copied to and from the ByteSet as they lie in memory.
static_assert(std::endian::native == std::endian::little);

}  // namespace

Text ansi_to_utf8(std::string_view text) {
  const ByteSet wide = codepage_to_utf16(text, CP_GBK);
  return utf16_to_codepage(wide, CP_UTF8);
}

ByteSet codepage_to_utf16(std::string_view text, Optional<int> code_page) {
  const unsigned cp = code_page.provided() ? static_cast<unsigned>(code_page.value()) : CP_UTF8;
  const Text terminated(text);  // -1 reads up to the NUL that a string_view lacks
  // Counting pass, then the converting pass into exactly that many zeroed units.
  const int n = MultiByteToWideChar(cp, 0, terminated.c_str(), -1, nullptr, 0);
  std::u16string buffer(static_cast<std::size_t>(n), u'\0');
  MultiByteToWideChar(cp, 0, terminated.c_str(), -1, buffer.data(), n);
  return ByteSet(buffer.data(), buffer.size() * sizeof(char16_t));
}

Text utf16_to_codepage(const ByteSet& wide, Optional<int> code_page) {
  const unsigned cp = code_page.provided() ? static_cast<unsigned>(code_page.value()) : CP_ACP;
  // Copied into terminated units: -1 must not read past a ByteSet without a NUL unit, and
  // the ByteSet's bytes need not be aligned for char16_t.
  std::u16string units(wide.size() / sizeof(char16_t), u'\0');
  std::memcpy(units.data(), wide.data(), units.size() * sizeof(char16_t));
  const int m = WideCharToMultiByte(cp, 0, units.c_str(), -1, nullptr, 0, nullptr, nullptr);
  Text buffer = blank_text(m * 2);
  const int written =
      WideCharToMultiByte(cp, 0, units.c_str(), -1, buffer.data(), m * 2, nullptr, nullptr);
  return text_left(buffer, written - 1);  // up to the terminator the conversion wrote
}

}  // namespace mvsearch
