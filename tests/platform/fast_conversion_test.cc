#include "platform/fast_conversion.h"

#include <gtest/gtest.h>
#include <unicode/ucnv.h>
#include <unicode/ucnv_err.h>
#include <unicode/ustring.h>

#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "platform/ascii_copy.h"

namespace mvsearch {
namespace {

struct ConverterCloser {
  void operator()(UConverter* converter) const { ucnv_close(converter); }
};

// ICU's windows-936-2000, stopping at anything without an exact mapping.
std::unique_ptr<UConverter, ConverterCloser> strict_cp936() {
  UErrorCode status = U_ZERO_ERROR;
  std::unique_ptr<UConverter, ConverterCloser> c(ucnv_open("windows-936-2000", &status));
  ucnv_setToUCallBack(c.get(), UCNV_TO_U_CALLBACK_STOP, nullptr, nullptr, nullptr, &status);
  ucnv_setFromUCallBack(c.get(), UCNV_FROM_U_CALLBACK_STOP, nullptr, nullptr, nullptr, &status);
  EXPECT_TRUE(U_SUCCESS(status));
  return c;
}

std::optional<std::u16string> icu_decode(UConverter* c, std::string_view bytes) {
  std::u16string out(bytes.size() + 1, u'\0');
  UErrorCode status = U_ZERO_ERROR;
  const int32_t n = ucnv_toUChars(c, out.data(), static_cast<int32_t>(out.size()), bytes.data(),
                                  static_cast<int32_t>(bytes.size()), &status);
  if (U_FAILURE(status)) return std::nullopt;
  out.resize(static_cast<std::size_t>(n));
  return out;
}

std::optional<std::string> icu_encode(UConverter* c, std::u16string_view units) {
  std::string out(units.size() * 2 + 1, '\0');
  UErrorCode status = U_ZERO_ERROR;
  const int32_t n = ucnv_fromUChars(c, out.data(), static_cast<int32_t>(out.size()), units.data(),
                                    static_cast<int32_t>(units.size()), &status);
  if (U_FAILURE(status)) return std::nullopt;
  out.resize(static_cast<std::size_t>(n));
  return out;
}

// 20 bytes of ASCII on each side, so that the character sits inside a block of the ASCII
// copy and the conversion has to leave it and come back.
constexpr std::string_view kPad = "<td class=x>abcdefgh";

// Converts pad + character + pad with step and compares with what ICU made of the same
// text (nullopt where ICU has no exact mapping): the fast path converts the character as
// ICU does, or stops right before it and leaves it to ICU. It must stop where ICU has no
// exact mapping, and may stop where ICU maps to nothing at all (ICU drops a few ignorable
// characters such as U+00AD when encoding). True when it converted the character.
template <class From, class To>
bool agrees_with_icu(std::basic_string_view<From> text, std::size_t pad,
                     ConversionStep (*step)(std::basic_string_view<From>, To*, std::size_t),
                     const std::optional<std::basic_string<To>>& icu) {
  std::basic_string<To> out(text.size() * 2, To{});
  const ConversionStep done = step(text, out.data(), out.size());
  out.resize(done.written);
  if (done.read == text.size()) {
    EXPECT_TRUE(icu.has_value());
    EXPECT_EQ(out, icu.value_or(std::basic_string<To>()));
    return true;
  }
  EXPECT_EQ(done.read, pad);
  EXPECT_EQ(out,
            std::basic_string<To>(text.begin(), text.begin() + static_cast<std::ptrdiff_t>(pad)));
  return false;
}

// Every character of code page 936, alone between ASCII.
TEST(FastConversion, Cp936AgreesWithIcuOnEveryCharacter) {
  const auto c = strict_cp936();
  int converted = 0;
  for (unsigned first = 0; first < 0x100; ++first) {
    const bool lead = first >= 0x81 && first <= 0xFE;
    for (unsigned second = 0; second < (lead ? 0x100u : 1u); ++second) {
      std::string character(1, static_cast<char>(first));
      if (lead) character += static_cast<char>(second);
      const std::string text = std::string(kPad) + character + std::string(kPad);
      SCOPED_TRACE(testing::PrintToString(character));
      converted += agrees_with_icu(std::string_view(text), kPad.size(), cp936_to_utf16,
                                   icu_decode(c.get(), text));
    }
  }
  EXPECT_GT(converted, 21000);  // GBK's characters, not a table that failed to load
}

TEST(FastConversion, Cp936EncodingAgreesWithIcuOnEveryUnit) {
  const auto c = strict_cp936();
  const std::u16string pad(kPad.begin(), kPad.end());
  int converted = 0;
  for (unsigned unit = 0; unit < 0x10000; ++unit) {
    const std::u16string text = pad + static_cast<char16_t>(unit) + pad;
    SCOPED_TRACE(unit);
    converted += agrees_with_icu(std::u16string_view(text), pad.size(), utf16_to_cp936,
                                 icu_encode(c.get(), text));
  }
  EXPECT_GT(converted, 21000);
}

TEST(FastConversion, Utf8DecodesEveryScalarValueAsIcuDoes) {
  std::string text;
  for (char32_t code = 0; code <= 0x10FFFF; ++code) {
    if (code >= 0xD800 && code <= 0xDFFF) continue;
    if (code < 0x80) {
      text += static_cast<char>(code);
    } else if (code < 0x800) {
      text += static_cast<char>(0xC0 | code >> 6);
      text += static_cast<char>(0x80 | (code & 0x3F));
    } else if (code < 0x10000) {
      text += static_cast<char>(0xE0 | code >> 12);
      text += static_cast<char>(0x80 | (code >> 6 & 0x3F));
      text += static_cast<char>(0x80 | (code & 0x3F));
    } else {
      text += static_cast<char>(0xF0 | code >> 18);
      text += static_cast<char>(0x80 | (code >> 12 & 0x3F));
      text += static_cast<char>(0x80 | (code >> 6 & 0x3F));
      text += static_cast<char>(0x80 | (code & 0x3F));
    }
  }
  std::u16string expected(text.size(), u'\0');
  int32_t length = 0;
  UErrorCode status = U_ZERO_ERROR;
  u_strFromUTF8(expected.data(), static_cast<int32_t>(expected.size()), &length, text.data(),
                static_cast<int32_t>(text.size()), &status);
  ASSERT_TRUE(U_SUCCESS(status));
  expected.resize(static_cast<std::size_t>(length));

  std::u16string out;
  ASSERT_TRUE(append_fast(std::string_view(text), &out, utf8_to_utf16));
  EXPECT_EQ(out, expected);
}

// Ill-formed UTF-8 is left to ICU: the fast path stops right before it.
TEST(FastConversion, Utf8StopsBeforeIllFormedSequences) {
  struct Case {
    std::string_view bad;
  } cases[] = {
      {"\x80"},              // a continuation byte alone
      {"\xC0\x80"},          // overlong NUL
      {"\xC1\xBF"},          // overlong
      {"\xE0\x9F\xBF"},      // overlong three-byte form
      {"\xED\xA0\x80"},      // a surrogate
      {"\xF0\x8F\xBF\xBF"},  // overlong four-byte form
      {"\xF4\x90\x80\x80"},  // above U+10FFFF
      {"\xF5\x80\x80\x80"},  // no such lead byte
      {"\xE4\xB8"},          // cut off at the end
      {"\xE4\xB8z"},         // cut off before ASCII
      {"\xFF"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::PrintToString(std::string(c.bad)));
    const std::string text = std::string(kPad) + "\xE4\xB8\xAD" + std::string(c.bad);
    std::u16string out(text.size(), u'\0');
    const ConversionStep step = utf8_to_utf16(text, out.data(), out.size());
    EXPECT_EQ(step.read, kPad.size() + 3);
    EXPECT_EQ(step.written, kPad.size() + 1);
    EXPECT_EQ(out[kPad.size()], u'\u4E2D');
  }
}

// Converts in with step into an output of room units at a time, checking that each step
// makes progress and stays within the room.
template <class From, class To>
std::basic_string<To> in_pieces(std::basic_string_view<From> in, std::size_t room,
                                ConversionStep (*step)(std::basic_string_view<From>, To*,
                                                       std::size_t)) {
  std::basic_string<To> whole;
  std::basic_string<To> piece(room, To{});
  while (!in.empty()) {
    const ConversionStep done = step(in, piece.data(), room);
    EXPECT_GT(done.read, 0u);
    EXPECT_LE(done.written, room);
    if (done.read == 0) break;
    whole.append(piece.data(), done.written);
    in.remove_prefix(done.read);
  }
  return whole;
}

// A small output stops each conversion early, never inside a character, and the pieces
// add up to the whole.
TEST(FastConversion, PiecesFitTheRoomAndAddUp) {
  const std::u16string pad(kPad.begin(), kPad.end());
  const std::string utf8 = "ab\xE4\xB8\xAD\xF0\x9F\x8E\xB5" + std::string(kPad) + "\xE6\x96\x87z";
  const std::string gbk = "ab\xD6\xD0\x80" + std::string(kPad) + "\xCE\xC4z";
  const std::u16string wide = u"ab\u4E2D\u20AC" + pad + u"\u6587z";
  for (std::size_t room = 2; room <= 40; ++room) {
    SCOPED_TRACE(room);
    EXPECT_EQ(in_pieces(std::string_view(utf8), room, utf8_to_utf16),
              u"ab\u4E2D\U0001F3B5" + pad + u"\u6587z");
    EXPECT_EQ(in_pieces(std::string_view(gbk), room, cp936_to_utf16), wide);
    EXPECT_EQ(in_pieces(std::u16string_view(wide), room, utf16_to_cp936), gbk);
  }
}

// The block copies stop exactly at the first unit outside ASCII, wherever it falls.
TEST(AsciiCopy, StopsAtTheFirstHighUnitInAnyPosition) {
  for (std::size_t length = 0; length <= 70; ++length) {
    for (std::size_t high = 0; high <= length; ++high) {
      SCOPED_TRACE(testing::Message() << "length " << length << " high at " << high);
      std::string bytes(length, 'a');
      std::u16string units(length, u'a');
      for (std::size_t i = 0; i < length; ++i)
        bytes[i] = units[i] = static_cast<char>('a' + i % 26);
      if (high < length) {
        bytes[high] = '\x80';
        // Above 0xFF, and with the sign bit set, which saturating packs must not hide.
        units[high] = high % 2 ? u'\u0100' : u'\u8000';
      }
      std::u16string widened(length, u'\0');
      std::string narrowed(length, '\0');
      EXPECT_EQ(widen_ascii(bytes.data(), length, widened.data()), high);
      EXPECT_EQ(narrow_ascii(units.data(), length, narrowed.data()), high);
      EXPECT_EQ(widened.substr(0, high), units.substr(0, high));
      EXPECT_EQ(narrowed.substr(0, high), bytes.substr(0, high));
      std::u16string with_nul = units;
      if (high < length) with_nul[high] = u'\0';
      EXPECT_EQ(find_nul_unit(with_nul.data(), length), high);
    }
  }
}

}  // namespace
}  // namespace mvsearch
