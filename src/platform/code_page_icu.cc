// The code-page stand-ins on ICU converters. Each call opens its own converter (ICU caches
// the tables), converts the whole input into a string and copies it out only when it fits,
// so a buffer that is too small is left untouched.
#include <unicode/ucnv.h>
#include <unicode/ucnv_cb.h>

#include <algorithm>
#include <climits>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "platform/code_page.h"

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

// Runs an ICU whole-string conversion once, into a buffer of `capacity` units, which the
// caller computes as an upper bound of the output.
template <class Unit, class Convert>
std::optional<std::basic_string<Unit>> run_conversion(std::size_t capacity, Convert convert) {
  if (capacity > INT32_MAX) return std::nullopt;
  std::basic_string<Unit> converted(capacity, Unit{});
  UErrorCode status = U_ZERO_ERROR;
  const int32_t written = convert(converted.data(), static_cast<int32_t>(capacity), &status);
  // A full buffer is not NUL-terminated, which ICU reports as a warning.
  if (U_FAILURE(status) || written < 0 || static_cast<std::size_t>(written) > capacity) {
    return std::nullopt;
  }
  converted.resize(static_cast<std::size_t>(written));
  return converted;
}

// The Windows result: the count when only counting, else the count if it fits, else 0.
template <class Unit>
int deliver(const std::optional<std::basic_string<Unit>>& converted, Unit* output,
            int output_size) {
  if (!converted || converted->empty() || converted->size() > INT_MAX) return 0;
  const int needed = static_cast<int>(converted->size());
  if (output_size == 0) return needed;
  if (needed > output_size) return 0;
  std::copy(converted->begin(), converted->end(), output);
  return needed;
}

}  // namespace

int MultiByteToWideChar(unsigned code_page, unsigned long flags, const char* input,
                        int input_length, char16_t* output, int output_units) {
  if (!valid_arguments(flags, input, input_length, output, output_units)) return 0;
  const auto bytes = input_view(input, input_length);
  Converter converter = open_converter(code_page);
  if (!bytes || !converter) return 0;
  if (is_gbk(code_page)) {
    UErrorCode status = U_ZERO_ERROR;
    ucnv_setToUCallBack(converter.get(), to_question_mark, nullptr, nullptr, nullptr, &status);
    if (U_FAILURE(status)) return 0;
  }
  const auto converted =
      // Neither UTF-8 nor code page 936 yields more UTF-16 units than input bytes.
      run_conversion<char16_t>(bytes->size(), [&](UChar* out, int32_t size, UErrorCode* status) {
        return ucnv_toUChars(converter.get(), out, size, bytes->data(),
                             static_cast<int32_t>(bytes->size()), status);
      });
  return deliver(converted, output, output_units);
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
  Converter converter = open_converter(code_page);
  if (!units || !converter) return 0;
  bool used_default = false;
  UErrorCode status = U_ZERO_ERROR;
  ucnv_setFromUCallBack(converter.get(), substitute_and_mark, &used_default, nullptr, nullptr,
                        &status);
  if (default_char != nullptr) ucnv_setSubstChars(converter.get(), default_char, 1, &status);
  if (U_FAILURE(status)) return 0;
  // At most 3 bytes per unit (UTF-8 of the BMP); code page 936 needs at most 2.
  const std::size_t capacity = units->size() * (is_gbk(code_page) ? 2 : 3);
  const auto converted =
      run_conversion<char>(capacity, [&](char* out, int32_t size, UErrorCode* status) {
        return ucnv_fromUChars(converter.get(), out, size, units->data(),
                               static_cast<int32_t>(units->size()), status);
      });
  const int result = deliver(converted, output, output_bytes);
  if (used_default_char != nullptr) *used_default_char = used_default ? 1 : 0;
  return result;
}

}  // namespace mvsearch
