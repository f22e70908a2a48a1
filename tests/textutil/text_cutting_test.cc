#include "textutil/text_cutting.h"

#include <gtest/gtest.h>

namespace mvsearch {
namespace {

TEST(TextBetween, CutsBetweenMarkers) {
  struct Case {
    std::string_view text, start_marker, end_marker;
    Optional<int> start_pos;
    bool ignore_case;
    std::string_view expected;
  } cases[] = {
      {"x(1)(2)", "(", ")", {}, false, "1"},
      {"x(1)(2)", "(", ")", 3, false, "2"},
      {"x()", "(", ")", {}, false, ""},
      {"x(1", "(", ")", {}, false, ""},
      {"aba", "ab", "ba", {}, false, ""},  // the end marker never overlaps the start marker
      {"abc", "", "c", {}, false, "ab"},
      {"abc", "", "c", 9, false, ""},
      {"abc", "a", "", {}, false, ""},
      {"", "a", "b", {}, false, ""},
      {"<A>x</a>", "<a>", "</A>", {}, true, "x"},
      {"<A>x</a>", "<a>", "</A>", {}, false, ""},
      // The placeholder stands for a double quote in both markers.
      {"id=\"42\" rest", "id=#\xD2\xFD\xBA\xC5", "#\xD2\xFD\xBA\xC5", {}, false, "42"},
      // Markers found only from a character's second byte do not count.
      {"\xB0(1)", "\x28", ")", {}, false, ""},
      {"\xD6\xD0" "id=7 z", "id=", " ", {}, false, "7"},
      {"id=2 class=link><span>Two</span></a></td>", "class=link><span>", "</span></a></td>", {},
       false, "Two"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::PrintToString(std::string(c.text)));
    EXPECT_EQ(text_between(c.text, c.start_marker, c.end_marker, c.start_pos, c.ignore_case),
              c.expected);
  }
  EXPECT_EQ(QUOTE_PLACEHOLDER.size(), 5u);
}

TEST(TextBeforeAfter, StartPositionTable) {
  struct Case {
    Optional<int> start_pos;
    std::string_view before, after;
  } cases[] = {
      {{}, "a", "3"},  {0, "a", "3"},       {2, "a", "2=3"},   {3, "a=1", "2=3"},
      {-1, "a=1=2", "1=2=3"}, {-2, "a=1", "1=2=3"}, {-4, "a", "2=3"}, {-6, "", "3"},
      {-7, "", ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << "start_pos=" << c.start_pos.value());
    EXPECT_EQ(text_before("a=1=2=3", "=", c.start_pos), c.before);
    EXPECT_EQ(text_after("a=1=2=3", "=", c.start_pos), c.after);
  }
}

TEST(TextBeforeAfter, MarkersAndCase) {
  EXPECT_EQ(text_before("k=a=b", "="), "k");
  EXPECT_EQ(text_after("k=a=b", "="), "b");
  EXPECT_EQ(text_before("abc", ""), "");
  EXPECT_EQ(text_after("abc", ""), "abc");
  EXPECT_EQ(text_after("", ""), "");
  EXPECT_EQ(text_before("flag", "="), "");
  EXPECT_EQ(text_after("flag", "="), "");
  EXPECT_EQ(text_before("Set-Cookie: a", ": "), "Set-Cookie");
  EXPECT_EQ(text_before("aXbxc", "x", {}, true), "a");
  EXPECT_EQ(text_after("aXbxc", "X", {}, true), "c");
  EXPECT_EQ(text_after("aXbxc", "X"), "bxc");
  // The trail byte '=' of 0xB0 0x3D is no marker.
  EXPECT_EQ(text_before("\xB0=x=y", "="), "\xB0=x");
}

TEST(ReplaceFive, PairsInTurn) {
  EXPECT_EQ(replace_five("say \"hi\"", {}, {}, {}, "\"", "\\\""), "say \\\"hi\\\"");
  EXPECT_EQ(replace_five("ABC", {}, {}, {}, "b", "x"), "AxC");
  EXPECT_EQ(replace_five("ABC", {}, {}, true, "b", "x"), "ABC");
  EXPECT_EQ(replace_five("abab", 0, {}, {}, "a", "x"), "abab");
  EXPECT_EQ(replace_five("abab", 1, {}, {}, "a", "x", "b", "y"), "xyab");
  EXPECT_EQ(replace_five("abab", {}, 2, {}, "a", "x"), "abxb");
  // A later pair sees what an earlier one put in.
  EXPECT_EQ(replace_five("a", {}, {}, {}, "a", "b", "b", "c", "c", "d", "d", "e", "e", "f"), "f");
  EXPECT_EQ(replace_five("abc", {}, {}, {}, "b", ""), "ac");
  EXPECT_EQ(replace_five("", {}, {}, {}, "a", "b"), "");
}

}  // namespace
}  // namespace mvsearch
