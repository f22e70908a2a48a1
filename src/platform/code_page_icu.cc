// The code-page stand-ins on ICU converters. Each call opens its own converter (ICU caches
// the tables), converts the whole input into a string and copies it out only when it fits,
// so a buffer that is too small is left untouched. Text that the fast paths take whole
// (well-formed UTF-8, code page 936 with every character mapped) skips the converter.
#include <unicode/ucnv.h>
#include <unicode/ucnv_cb.h>

#include <algorithm>
#include <climits>
#include <cstdint>
#include <cstring>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <type_traits>

#include "platform/code_page.h"
#include "platform/fast_conversion.h"

namespace mvsearch {
namespace {

// ICU's table of Windows code page 936; "GBK" and "cp936" are aliases of it. Other GBK
// tables map 0x80 elsewhere or not at all.
constexpr const char* GBK_CONVERTER = "windows-936-2000";
constexpr const char* UTF8_CONVERTER = "UTF-8";

struct ConverterCloser {
  void operator()(UConverter* converter) const { ucnv_close(converter); }
};
using Converter = std::unique_ptr<UConverter, ConverterCloser>;

bool is_gbk(unsigned code_page) { return code_page == CP_GBK || code_page == CP_ACP; }

// Null for a code page we do not know or when ICU cannot open the converter.
Converter open_converter(unsigned code_page) {
  const char* name = is_gbk(code_page)      ? GBK_CONVERTER
                     : code_page == CP_UTF8 ? UTF8_CONVERTER
                                            : nullptr;
  if (name == nullptr) return nullptr;
  UErrorCode status = U_ZERO_ERROR;
  Converter converter(ucnv_open(name, &status));
  if (U_FAILURE(status)) return nullptr;
  return converter;
}

// Windows turns an undecodable code page 936 byte into "?", where ICU would give U+FFFD.
void to_question_mark(const void* /*context*/, UConverterToUnicodeArgs* args, const char* /*bytes*/,
                      int32_t /*length*/, UConverterCallbackReason reason, UErrorCode* status) {
  if (reason > UCNV_IRREGULAR) return;  // reset, close or clone: nothing to write
  static constexpr UChar question_mark = u'?';
  *status = U_ZERO_ERROR;
  ucnv_cbToUWriteUChars(args, &question_mark, 1, 0, status);
}

// Substitutes as ICU does by default, and records in *context (a bool) that it did.
void substitute_and_mark(const void* context, UConverterFromUnicodeArgs* args, const UChar* units,
                         int32_t length, UChar32 code_point, UConverterCallbackReason reason,
                         UErrorCode* status) {
  if (reason <= UCNV_IRREGULAR) *static_cast<bool*>(const_cast<void*>(context)) = true;
  UCNV_FROM_U_CALLBACK_SUBSTITUTE(nullptr, args, units, length, code_point, reason, status);
}

// The checks that both functions make before converting anything.
bool valid_arguments(unsigned long flags, const void* input, int input_length, const void* output,
                     int output_size) {
  return flags == 0 && input != nullptr && (input_length > 0 || input_length == -1) &&
         output_size >= 0 && (output_size == 0 || output != nullptr);
}

// The input as a view, the terminating NUL included when input_length is -1.
template <class Unit>
std::optional<std::basic_string_view<Unit>> input_view(const Unit* input, int input_length) {
  if (input_length != -1) {
    return std::basic_string_view<Unit>(input, static_cast<std::size_t>(input_length));
  }
  const std::size_t length = std::char_traits<Unit>::length(input) + 1;
  if (length > INT32_MAX) return std::nullopt;
  return std::basic_string_view<Unit>(input, length);
}

template <class Unit>
bool is_ascii(Unit u) {
  return static_cast<std::make_unsigned_t<Unit>>(u) < 0x80;
}

// Both code pages and UTF-16 agree on ASCII, which makes up most of a page: runs of at least
// this many ASCII units are copied as they are, and only the rest goes through ICU.
constexpr std::size_t MIN_ASCII_RUN = 16;

// The number of ASCII units from i on, tested eight bytes at a time.
template <class Unit>
std::size_t ascii_run(std::basic_string_view<Unit> s, std::size_t i) {
  constexpr std::size_t per_word = sizeof(std::uint64_t) / sizeof(Unit);
  constexpr std::uint64_t high_bits =
      sizeof(Unit) == 1 ? 0x8080808080808080ULL : 0xFF80FF80FF80FF80ULL;
  std::size_t j = i;
  for (; j + per_word <= s.size(); j += per_word) {
    std::uint64_t word;
    std::memcpy(&word, s.data() + j, sizeof word);
    if ((word & high_bits) != 0) break;
  }
  while (j < s.size() && is_ascii(s[j])) ++j;
  return j - i;
}

// Converts `in` into out[0..capacity) and returns the count written, or nullopt when ICU
// fails or the output does not fit. `next_char`(in, i) is the end of the character that
// starts at i, so that no segment handed to ICU ends inside a character; `icu_step` is
// ucnv_toUnicode or ucnv_fromUnicode, called with flush for each whole segment.
template <class From, class To, class NextChar, class IcuStep>
std::optional<std::size_t> convert_into(std::basic_string_view<From> in, To* out,
                                        std::size_t capacity, NextChar next_char,
                                        IcuStep icu_step) {
  std::size_t i = 0;
  std::size_t written = 0;
  while (i < in.size()) {
    const std::size_t run = ascii_run(in, i);
    if (run >= MIN_ASCII_RUN || i + run == in.size()) {
      if (run > capacity - written) return std::nullopt;
      std::copy(in.begin() + static_cast<std::ptrdiff_t>(i),
                in.begin() + static_cast<std::ptrdiff_t>(i + run), out + written);
      written += run;
      i += run;
      continue;
    }
    std::size_t end = i;  // the segment runs up to the next long ASCII run
    while (end < in.size()) {
      if (is_ascii(in[end])) {
        const std::size_t r = ascii_run(in, end);
        if (r >= MIN_ASCII_RUN || end + r == in.size()) break;
        end += r;
      } else {
        end = next_char(in, end);
      }
    }
    To* target = out + written;
    const From* source = in.data() + i;
    UErrorCode status = U_ZERO_ERROR;
    icu_step(&target, out + capacity, &source, in.data() + end, &status);
    if (U_FAILURE(status) || source != in.data() + end) return std::nullopt;
    written = static_cast<std::size_t>(target - out);
    i = end;
  }
  return written;
}

// The ICU side of MultiByteToWideChar: bytes into out[0..capacity).
std::optional<std::size_t> decode_with_icu(unsigned code_page, std::string_view bytes,
                                           char16_t* out, std::size_t capacity) {
  Converter converter = open_converter(code_page);
  if (!converter) return std::nullopt;
  const bool gbk = is_gbk(code_page);
  if (gbk) {
    UErrorCode status = U_ZERO_ERROR;
    ucnv_setToUCallBack(converter.get(), to_question_mark, nullptr, nullptr, nullptr, &status);
    if (U_FAILURE(status)) return std::nullopt;
  }
  // A lead byte of code page 936 takes the byte after it; UTF-8 continuation bytes are
  // never ASCII, so any byte ends a character there.
  auto next_char = [gbk](std::string_view in, std::size_t i) {
    return gbk && static_cast<unsigned char>(in[i]) >= 0x81 && i + 1 < in.size() ? i + 2 : i + 1;
  };
  auto icu_step = [&](UChar** target, UChar* target_end, const char** source,
                      const char* source_end, UErrorCode* status) {
    ucnv_toUnicode(converter.get(), target, target_end, source, source_end, nullptr, true, status);
  };
  return convert_into(bytes, out, capacity, next_char, icu_step);
}

// The ICU side of WideCharToMultiByte: units into out[0..capacity), recording in
// *used_default whether a character was substituted.
std::optional<std::size_t> encode_with_icu(unsigned code_page, std::u16string_view units,
                                           const char* default_char, bool* used_default, char* out,
                                           std::size_t capacity) {
  Converter converter = open_converter(code_page);
  if (!converter) return std::nullopt;
  UErrorCode status = U_ZERO_ERROR;
  ucnv_setFromUCallBack(converter.get(), substitute_and_mark, used_default, nullptr, nullptr,
                        &status);
  if (default_char != nullptr) ucnv_setSubstChars(converter.get(), default_char, 1, &status);
  if (U_FAILURE(status)) return std::nullopt;
  auto next_unit = [](std::u16string_view, std::size_t i) { return i + 1; };
  auto icu_step = [&](char** target, char* target_end, const UChar** source,
                      const UChar* source_end, UErrorCode* status) {
    ucnv_fromUnicode(converter.get(), target, target_end, source, source_end, nullptr, true,
                     status);
  };
  return convert_into(units, out, capacity, next_unit, icu_step);
}

// The Windows result: the count when only counting, else the count if it fits, else 0, with
// the output buffer left untouched. `capacity` is an upper bound of the output size.
template <class To, class Convert>
int deliver(std::size_t capacity, To* output, int output_size, Convert convert) {
  if (capacity > INT32_MAX) return 0;
  std::optional<std::size_t> written;
  if (output_size > 0 && static_cast<std::size_t>(output_size) >= capacity) {
    written = convert(output, capacity);  // cannot be too small: no temporary needed
  } else {
    std::basic_string<To> converted(capacity, To{});
    written = convert(converted.data(), capacity);
    if (written && output_size > 0 && *written <= static_cast<std::size_t>(output_size)) {
      std::copy(converted.begin(), converted.begin() + static_cast<std::ptrdiff_t>(*written),
                output);
    } else if (output_size > 0) {
      return 0;
    }
  }
  if (!written || *written == 0) return 0;
  return static_cast<int>(*written);
}

}  // namespace

int MultiByteToWideChar(unsigned code_page, unsigned long flags, const char* input,
                        int input_length, char16_t* output, int output_units) {
  if (!valid_arguments(flags, input, input_length, output, output_units)) return 0;
  const auto bytes = input_view(input, input_length);
  const bool gbk = is_gbk(code_page);
  if (!bytes || (!gbk && code_page != CP_UTF8)) return 0;
  // Neither UTF-8 nor code page 936 yields more UTF-16 units than input bytes.
  return deliver(bytes->size(), output, output_units, [&](char16_t* out, std::size_t capacity) {
    const ConversionStep fast =
        gbk ? cp936_to_utf16(*bytes, out, capacity) : utf8_to_utf16(*bytes, out, capacity);
    if (fast.read == bytes->size()) return std::optional(fast.written);
    return decode_with_icu(code_page, *bytes, out, capacity);
  });
}

int WideCharToMultiByte(unsigned code_page, unsigned long flags, const char16_t* input,
                        int input_length, char* output, int output_bytes, const char* default_char,
                        int* used_default_char) {
  if (!valid_arguments(flags, input, input_length, output, output_bytes)) return 0;
  // As on Windows, UTF-8 has no default character.
  if (code_page == CP_UTF8 && (default_char != nullptr || used_default_char != nullptr)) {
    return 0;
  }
  const auto units = input_view(input, input_length);
  const bool gbk = is_gbk(code_page);
  if (!units || (!gbk && code_page != CP_UTF8)) return 0;
  bool used_default = false;
  // At most 3 bytes per unit (UTF-8 of the BMP); code page 936 needs at most 2.
  const std::size_t capacity = units->size() * (gbk ? 2 : 3);
  const int result = deliver(capacity, output, output_bytes, [&](char* out, std::size_t room) {
    if (gbk) {
      const ConversionStep fast = utf16_to_cp936(*units, out, room);
      if (fast.read == units->size()) return std::optional(fast.written);
    }
    return encode_with_icu(code_page, *units, default_char, &used_default, out, room);
  });
  if (used_default_char != nullptr) *used_default_char = used_default ? 1 : 0;
  return result;
}

}  // namespace mvsearch
