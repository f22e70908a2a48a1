#include "textutil/code_page_text.h"

#include <gtest/gtest.h>

#include <string>

namespace mvsearch {
namespace {

ByteSet bytes(std::string_view b) { return ByteSet(b.data(), b.size()); }

TEST(AnsiToUtf8, ConvertsGbk) {
  struct Case {
    std::string_view gbk, utf8;
  } cases[] = {
      {"", ""},
      {"plain ASCII ~!@#$%^&*()\t\r\n\x7F", "plain ASCII ~!@#$%^&*()\t\r\n\x7F"},
      {"\xD6\xD0", "\xE4\xB8\xAD"},
      {"a\xD6\xD0\xCE\xC4z", "a\xE4\xB8\xAD\xE6\x96\x87z"},
      {"\x80", "\xE2\x82\xAC"},
      {"\xA1\xA1", "\xE3\x80\x80"},  // full-width space
      {"a\x81", "a?"},               // a lead byte at the end
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::PrintToString(std::string(c.gbk)));
    EXPECT_EQ(ansi_to_utf8(c.gbk), c.utf8);
  }
}

TEST(AnsiToUtf8, LongText) {
  std::string gbk, utf8;
  for (int i = 0; i < 100000; ++i) {
    gbk += "\xD6\xD0x";
    utf8 += "\xE4\xB8\xADx";
  }
  EXPECT_EQ(ansi_to_utf8(gbk), utf8);
}

TEST(CodepageToUtf16, GivesTerminatedUtf16le) {
  struct Case {
    std::string_view text;
    Optional<int> code_page;
    std::string_view expected;
  } cases[] = {
      {"\xE4\xB8\xAD", {}, {"\x2D\x4E\0\0", 4}},  // omitted: UTF-8
      {"\xD6\xD0", 936, {"\x2D\x4E\0\0", 4}},
      {"\xD6\xD0", 0, {"\x2D\x4E\0\0", 4}},
      {"A", 65001, {"A\0\0\0", 4}},
      {"\xF0\x9F\x8E\xB5", 65001, {"\x3C\xD8\xB5\xDF\0\0", 6}},
      {"", {}, {"\0\0", 2}},
      {"a", 12345, ""},  // unknown code page
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::PrintToString(std::string(c.text)));
    EXPECT_EQ(codepage_to_utf16(c.text, c.code_page), bytes(c.expected));
  }
}

TEST(Utf16ToCodepage, StopsAtTheFirstNulUnit) {
  struct Case {
    std::string_view wide;
    Optional<int> code_page;
    std::string_view expected;
  } cases[] = {
      {{"\x2D\x4E\0\0", 4}, {}, "\xD6\xD0"},  // omitted: the ANSI code page
      {{"\x2D\x4E\0\0", 4}, 936, "\xD6\xD0"},
      {{"\x2D\x4E\0\0", 4}, 65001, "\xE4\xB8\xAD"},
      {{"A\0\0\0B\0\0\0", 8}, 65001, "A"},
      {{"A\0B\0", 4}, 65001, "AB"},     // no terminator
      {{"A\0B", 3}, 65001, "A"},        // an odd last byte
      {{"\x01\x0E\0\0", 4}, 936, "?"},  // Thai, not in code page 936
      {{"\0\0", 2}, 936, ""},
      {"", 936, ""},
      {{"A\0\0\0", 4}, 12345, ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::PrintToString(std::string(c.wide)));
    EXPECT_EQ(utf16_to_codepage(bytes(c.wide), c.code_page), c.expected);
  }
}

TEST(CodePageText, OmittedCodePagesGoFromUtf8ToAnsi) {
  EXPECT_EQ(utf16_to_codepage(codepage_to_utf16("a\xE4\xB8\xAD")), "a\xD6\xD0");
}

}  // namespace
}  // namespace mvsearch
