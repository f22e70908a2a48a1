#include "textutil/charset.h"

#include <gtest/gtest.h>

#include <string>

#include "platform/adodb_stream.h"
#include "platform/automation.h"

namespace mvsearch {
namespace {

using namespace std::string_view_literals;

ByteSet bytes(std::string_view b) { return ByteSet(std::string(b)); }

TEST(ConvertCharset, ConvertsThroughTheStream) {
  struct Case {
    std::string_view name;
    std::string_view data;
    std::string_view source, target;
    Optional<int> read_position;
    std::string_view expected;
  } cases[] = {
      {"zhong", "\xE4\xB8\xAD", "", "", {}, "\xD6\xD0"},
      {"empty", "", "", "", {}, ""},
      {"ascii", "<a href=x>1</a>", "", "", {}, "<a href=x>1</a>"},
      {"mark skipped", "\xEF\xBB\xBF\xE4\xB8\xAD", "", "", {}, "\xD6\xD0"},
      {"nul ends the text", "a\xE4\xB8\xAD\0b\xE4\xB8\xAD"sv, "", "", {}, "a\xD6\xD0"},
      {"leading nul", "\0abc"sv, "", "", {}, ""},
      {"euro", "\xE2\x82\xAC", "", "", {}, "\x80"},
      {"not in 936",
       "a\xE0\xB8\x81"
       "b",
       "",
       "",
       {},
       "a?b"},
      {"invalid utf-8",
       "a\xFF"
       "b",
       "",
       "",
       {},
       "a?b"},
      {"names in any case", "\xE4\xB8\xAD", "utf-8", "gb2312", {}, "\xD6\xD0"},
      {"to utf-8 keeps the mark", "\xE4\xB8\xAD", "", "UTF-8", {}, "\xEF\xBB\xBF\xE4\xB8\xAD"},
      {"mark dropped by position", "\xE4\xB8\xAD", "", "UTF-8", 3, "\xE4\xB8\xAD"},
      {"gbk to utf-8", "\xD6\xD0\xCE\xC4", "GBK", "UTF-8", 3, "\xE4\xB8\xAD\xE6\x96\x87"},
      {"to unicode", "\xE4\xB8\xAD", "", "Unicode", {}, "\xFF\xFE\x2D\x4E"},
      {"from unicode", "\xFF\xFE\x2D\x4E", "Unicode", "", {}, "\xD6\xD0"},
      {"position 0", "abc", "", "", 0, "abc"},
      {"position 1", "abc", "", "", 1, "bc"},
      {"position inside a character", "\xE4\xB8\xAD\xE6\x96\x87", "", "", 1, "\xD0\xCE\xC4"},
      {"position at the end", "abc", "", "", 3, ""},
      // The stream refuses a position beyond its size or below 0; reading then starts at 0.
      {"position beyond the end", "abc", "", "", 4, "abc"},
      {"negative position", "abc", "", "", -1, "abc"},
      {"unknown source", "\xE4\xB8\xAD", "x-unknown", "", {}, ""},
      {"unknown target", "\xE4\xB8\xAD", "", "x-unknown", {}, ""},
      {"unknown target with position", "abc", "", "utf8", 1, ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.name));
    Text source(c.source);
    Text target(c.target);
    EXPECT_EQ(convert_charset(bytes(c.data), source, target, c.read_position).view(), c.expected);
  }
}

TEST(ConvertCharset, StoresTheDefaultsIntoEmptyVariables) {
  Text source;
  Text target;
  EXPECT_EQ(convert_charset(bytes("\xE4\xB8\xAD"), source, target), bytes("\xD6\xD0"));
  EXPECT_EQ(source, "UTF-8");
  EXPECT_EQ(target, "GBK");

  Text given_source = "GBK";
  Text given_target = "Unicode";
  EXPECT_EQ(convert_charset(bytes("\xD6\xD0"), given_source, given_target),
            bytes("\xFF\xFE\x2D\x4E"));
  EXPECT_EQ(given_source, "GBK");
  EXPECT_EQ(given_target, "Unicode");

  // Omitted, the defaults apply as well.
  EXPECT_EQ(convert_charset(bytes("\xE4\xB8\xAD")), bytes("\xD6\xD0"));
  EXPECT_EQ(convert_charset(bytes("\xE4\xB8\xAD"), {}, given_source), bytes("\xD6\xD0"));
}

TEST(ConvertCharset, LeavesTheApartmentAsItWas) {
  EXPECT_EQ(convert_charset(bytes("a")), bytes("a"));
  EXPECT_EQ(CoInitialize(nullptr), S_OK);  // nothing left initialised
  EXPECT_EQ(convert_charset(bytes("b")), bytes("b"));
  EXPECT_EQ(CoInitialize(nullptr), S_FALSE);
  CoUninitialize();
  CoUninitialize();
  EXPECT_EQ(convert_through_stream(bytes("\xE4\xB8\xAD"), "UTF-8", "GBK"), bytes("\xD6\xD0"));
  EXPECT_EQ(CoInitialize(nullptr), S_OK);
  CoUninitialize();
}

TEST(ConvertCharset, MissingStreamClassGivesEmpty) {
  ASSERT_TRUE(unregister_class(ADODB_STREAM_PROG_ID));
  const ByteSet converted = convert_charset(bytes("\xE4\xB8\xAD"));
  const ByteSet through = convert_through_stream(bytes("abc"), "UTF-8", "GBK", 1);
  register_class(ADODB_STREAM_PROG_ID, create_adodb_stream);
  EXPECT_EQ(converted, ByteSet());
  EXPECT_EQ(through, ByteSet());
  EXPECT_EQ(convert_charset(bytes("\xE4\xB8\xAD")), bytes("\xD6\xD0"));
}

TEST(ConvertCharset, LargePageConvertsExactly) {
  struct Piece {
    std::string_view utf8, gbk;
  } pieces[] = {
      {"<tr><td><a href=/imv.asp?id=", "<tr><td><a href=/imv.asp?id="},
      {"\xE4\xB8\xAD\xE6\x96\x87", "\xD6\xD0\xCE\xC4"},
      {" class=link><span>\xE6\x9C\x88\xE4\xBA\xAE\xE4\xBB\xA3\xE8\xA1\xA8\xE6\x88\x91\xE7\x9A\x84"
       "\xE5\xBF\x83</span></a></td>",
       " class=link><span>\xD4\xC2\xC1\xC1\xB4\xFA\xB1\xED\xCE\xD2\xB5\xC4\xD0\xC4</span></a></"
       "td>"},
      {"\xE2\x82\xAC\xC2\xB7\r\n", "\x80\xA1\xA4\r\n"},
  };
  std::string utf8;
  std::string gbk;
  for (int i = 0; utf8.size() < (std::size_t{6} << 20); ++i) {
    const Piece& p = pieces[i % 4];
    utf8 += p.utf8;
    gbk += p.gbk;
    if (i % 4 == 0) {
      utf8 += std::to_string(i);
      gbk += std::to_string(i);
    }
  }
  const ByteSet converted = convert_charset(ByteSet(utf8));
  ASSERT_EQ(converted.size(), gbk.size());
  EXPECT_TRUE(converted.view() == gbk);
}

}  // namespace
}  // namespace mvsearch
