#include "platform/code_page.h"

#include <gtest/gtest.h>

#include <string>
#include <string_view>

namespace mvsearch {
namespace {

// Both passes with an explicit length; the converting pass gets exactly the counted size.
std::u16string to_wide(unsigned code_page, std::string_view bytes) {
  const int length = static_cast<int>(bytes.size());
  const int n = MultiByteToWideChar(code_page, 0, bytes.data(), length, nullptr, 0);
  std::u16string out(static_cast<std::size_t>(n), u'\xFFFF');
  EXPECT_EQ(MultiByteToWideChar(code_page, 0, bytes.data(), length, out.data(), n), n);
  return out;
}

std::string to_narrow(unsigned code_page, std::u16string_view units) {
  const int length = static_cast<int>(units.size());
  const int n =
      WideCharToMultiByte(code_page, 0, units.data(), length, nullptr, 0, nullptr, nullptr);
  std::string out(static_cast<std::size_t>(n), '\xFF');
  EXPECT_EQ(
      WideCharToMultiByte(code_page, 0, units.data(), length, out.data(), n, nullptr, nullptr), n);
  return out;
}

TEST(MultiByteToWideChar, ConvertsAndSubstitutes) {
  struct Case {
    unsigned code_page;
    std::string_view bytes;
    std::u16string_view expected;
  } cases[] = {
      {936, "\xD6\xD0", u"\u4E2D"},
      {936, "ab\xD6\xD0z", u"ab\u4E2Dz"},
      {936, "\x80", u"\u20AC"},
      {0, "\xD6\xD0\x80", u"\u4E2D\u20AC"},  // the ANSI code page is 936
      {65001, "\xE4\xB8\xAD", u"\u4E2D"},
      {65001, "\xF0\x9F\x8E\xB5", u"\U0001F3B5"},
      {65001,
       "a\xFF"
       "b",
       u"a\uFFFDb"},
      {65001, "a\xE4\xB8", u"a\uFFFD"},  // truncated at the end
      {936, "a\x81", u"a?"},             // lead byte at the end
      {936, "\x81 b", u"? b"},           // a byte that cannot trail is read on its own
      {936, {"\x81\0", 2}, {u"?\0", 2}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::PrintToString(std::string(c.bytes)) + " cp " +
                 std::to_string(c.code_page));
    EXPECT_EQ(to_wide(c.code_page, c.bytes), c.expected);
  }
}

TEST(WideCharToMultiByte, ConvertsAndSubstitutes) {
  struct Case {
    unsigned code_page;
    std::u16string_view units;
    std::string_view expected;
  } cases[] = {
      {936, u"\u4E2D", "\xD6\xD0"},
      {0, u"\u4E2D", "\xD6\xD0"},
      {65001, u"\u4E2D", "\xE4\xB8\xAD"},
      {936, u"\u20AC", "\x80"},
      {65001, u"\U0001F3B5", "\xF0\x9F\x8E\xB5"},
      {936, u"a\u0E01b", "a?b"},  // Thai is not in code page 936
      {936, u"\U0001F3B5", "?"},
      {936,
       u"\xD800"
       u"a",
       "?a"},  // lone surrogates
      {936, u"a\xDC00", "a?"},
      {65001,
       u"\xD800"
       u"a",
       "\xEF\xBF\xBD"
       "a"},
      {65001, u"a\xDC00", "a\xEF\xBF\xBD"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::PrintToString(std::string(c.expected)) + " cp " +
                 std::to_string(c.code_page));
    EXPECT_EQ(to_narrow(c.code_page, c.units), c.expected);
  }
}

TEST(MultiByteToWideChar, LengthMinusOneCountsTheTerminator) {
  const char* gbk = "a\xD6\xD0";
  EXPECT_EQ(MultiByteToWideChar(936, 0, gbk, -1, nullptr, 0), 3);
  EXPECT_EQ(MultiByteToWideChar(936, 0, gbk, 3, nullptr, 0), 2);

  char16_t out[4] = {u'x', u'x', u'x', u'x'};
  ASSERT_EQ(MultiByteToWideChar(936, 0, gbk, -1, out, 4), 3);
  EXPECT_EQ(std::u16string_view(out, 4), std::u16string_view(u"a\u4E2D\0x", 4));

  char16_t no_terminator[3] = {u'x', u'x', u'x'};
  ASSERT_EQ(MultiByteToWideChar(936, 0, gbk, 3, no_terminator, 3), 2);
  EXPECT_EQ(no_terminator[2], u'x');
}

TEST(WideCharToMultiByte, LengthMinusOneCountsTheTerminator) {
  const char16_t* wide = u"a\u4E2D";
  EXPECT_EQ(WideCharToMultiByte(936, 0, wide, -1, nullptr, 0, nullptr, nullptr), 4);
  EXPECT_EQ(WideCharToMultiByte(936, 0, wide, 2, nullptr, 0, nullptr, nullptr), 3);
  EXPECT_EQ(WideCharToMultiByte(65001, 0, wide, -1, nullptr, 0, nullptr, nullptr), 5);

  char out[6] = "xxxxx";
  ASSERT_EQ(WideCharToMultiByte(65001, 0, wide, -1, out, 6, nullptr, nullptr), 5);
  EXPECT_EQ(std::string_view(out, 6), std::string_view("a\xE4\xB8\xAD\0\0", 6));
}

TEST(CodePageFunctions, BufferTooSmallFailsAndWritesNothing) {
  char16_t wide[2] = {u'x', u'x'};
  EXPECT_EQ(MultiByteToWideChar(936, 0, "a\xD6\xD0", -1, wide, 2), 0);
  EXPECT_EQ(std::u16string_view(wide, 2), u"xx");

  char narrow[3] = {'x', 'x', 'x'};
  EXPECT_EQ(WideCharToMultiByte(65001, 0, u"\u4E2D", 1, narrow, 2, nullptr, nullptr), 0);
  EXPECT_EQ(std::string_view(narrow, 3), "xxx");
  EXPECT_EQ(WideCharToMultiByte(65001, 0, u"\u4E2D", 1, narrow, 3, nullptr, nullptr), 3);
}

TEST(CodePageFunctions, BadArgumentsFail) {
  char16_t wide[8];
  char narrow[8];
  EXPECT_EQ(MultiByteToWideChar(1252, 0, "a", -1, wide, 8), 0);  // unknown code page
  EXPECT_EQ(MultiByteToWideChar(12345, 0, "a", -1, nullptr, 0), 0);
  EXPECT_EQ(MultiByteToWideChar(936, 8, "a", -1, wide, 8), 0);  // flags
  EXPECT_EQ(MultiByteToWideChar(936, 0, nullptr, -1, wide, 8), 0);
  EXPECT_EQ(MultiByteToWideChar(936, 0, "a", 0, wide, 8), 0);
  EXPECT_EQ(MultiByteToWideChar(936, 0, "a", -2, wide, 8), 0);
  EXPECT_EQ(MultiByteToWideChar(936, 0, "a", -1, nullptr, 8), 0);
  EXPECT_EQ(MultiByteToWideChar(936, 0, "a", -1, wide, -1), 0);

  EXPECT_EQ(WideCharToMultiByte(1252, 0, u"a", -1, narrow, 8, nullptr, nullptr), 0);
  EXPECT_EQ(WideCharToMultiByte(936, 0x80, u"a", -1, narrow, 8, nullptr, nullptr), 0);
  EXPECT_EQ(WideCharToMultiByte(936, 0, nullptr, -1, narrow, 8, nullptr, nullptr), 0);
  EXPECT_EQ(WideCharToMultiByte(936, 0, u"a", 0, narrow, 8, nullptr, nullptr), 0);
  EXPECT_EQ(WideCharToMultiByte(936, 0, u"a", -1, nullptr, 8, nullptr, nullptr), 0);
  int used = 0;
  EXPECT_EQ(WideCharToMultiByte(65001, 0, u"a", -1, narrow, 8, "*", nullptr), 0);
  EXPECT_EQ(WideCharToMultiByte(65001, 0, u"a", -1, narrow, 8, nullptr, &used), 0);
}

TEST(WideCharToMultiByte, DefaultCharacterAndUsedFlag) {
  char out[8] = {};
  int used = -1;
  ASSERT_EQ(WideCharToMultiByte(936, 0, u"a\u0E01", 2, out, 8, "*", &used), 2);
  EXPECT_EQ(std::string_view(out, 2), "a*");
  EXPECT_EQ(used, 1);

  used = -1;
  ASSERT_EQ(WideCharToMultiByte(936, 0, u"a\u4E2D", 2, out, 8, nullptr, &used), 3);
  EXPECT_EQ(std::string_view(out, 3), "a\xD6\xD0");
  EXPECT_EQ(used, 0);

  used = -1;
  EXPECT_EQ(WideCharToMultiByte(936, 0, u"\xDC00", 1, nullptr, 0, nullptr, &used), 1);
  EXPECT_EQ(used, 1);
}

// Long texts mix ASCII runs of every length with characters that need the converter, so
// that each kind of piece meets each other one at every offset.
TEST(CodePageFunctions, LongMixedTextsConvertPieceByPiece) {
  struct Piece {
    std::string_view gbk, utf8;
    std::u16string_view wide;
    bool round_trips;
  } pieces[] = {
      {"\xD6\xD0", "\xE4\xB8\xAD", u"\u4E2D", true},
      {"\x80", "\xE2\x82\xAC", u"\u20AC", true},
      {"\x81\x20", "? ", u"? ", false},  // a lead byte whose next byte cannot trail it
      {"\xB0\x41", "\xE7\x99\x86", u"\u7646", true},  // a trail byte in the ASCII range
  };
  std::string gbk, utf8, gbk_valid;
  std::u16string wide, wide_valid;
  for (int i = 0; i < 400; ++i) {
    const Piece& p = pieces[static_cast<std::size_t>(i) % std::size(pieces)];
    const std::string ascii(static_cast<std::size_t>(i % 37), static_cast<char>('a' + i % 26));
    gbk += ascii;
    gbk += p.gbk;
    utf8 += ascii;
    utf8 += p.utf8;
    wide += std::u16string(ascii.begin(), ascii.end());
    wide += p.wide;
    if (p.round_trips) {
      gbk_valid += ascii;
      gbk_valid += p.gbk;
      wide_valid += std::u16string(ascii.begin(), ascii.end());
      wide_valid += p.wide;
    }
  }
  gbk += "\xD6";  // a lead byte at the very end
  wide += u"?";
  EXPECT_EQ(to_wide(CP_GBK, gbk), wide);
  EXPECT_EQ(to_narrow(CP_GBK, wide_valid), gbk_valid);
  EXPECT_EQ(to_wide(CP_UTF8, utf8), wide.substr(0, wide.size() - 1));
  EXPECT_EQ(to_narrow(CP_UTF8, wide.substr(0, wide.size() - 1)), utf8);
}

}  // namespace
}  // namespace mvsearch
