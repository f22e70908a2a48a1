#include "runtime/text_ops.h"

#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "runtime/byte_ops.h"
#include "runtime/byte_search.h"

namespace mvsearch {
namespace {

// "中" in GBK; its second byte 0xD0 is no ASCII, but "\xB0\x41" ("癆"-like) has the trail
// byte 'A', which must not be found or folded on its own.
constexpr std::string_view kZhong = "\xD6\xD0";
constexpr std::string_view kTrailA = "\xB0\x41";

TEST(TextOps, CutsByBytePositions) {
  struct Case {
    std::string_view t;
    int p, n;
    Text left, right, mid;
  } cases[] = {
      {"abcdef", 0, 2, "ab", "ef", ""},
      {"abcdef", 1, 2, "ab", "ef", "ab"},
      {"abcdef", 5, 9, "abcdef", "abcdef", "ef"},
      {"abcdef", 7, 1, "a", "f", ""},
      {"abcdef", 3, 0, "", "", ""},
      {"abcdef", -1, -3, "", "", ""},
      {"", 1, 1, "", "", ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << "t=" << c.t << " p=" << c.p << " n=" << c.n);
    EXPECT_EQ(text_left(c.t, c.n), c.left);
    EXPECT_EQ(text_right(c.t, c.n), c.right);
    EXPECT_EQ(text_mid(c.t, c.p, c.n), c.mid);
  }
  EXPECT_EQ(text_length("a\xD6\xD0"), 3);
}

TEST(TextOps, FindTextPositionsAndDoubleByteRule) {
  struct Case {
    std::string_view t, s;
    Optional<int> start;
    bool ignore_case;
    int forward;
  } cases[] = {
      {"abcabc", "bc", {}, false, 2},
      {"abcabc", "bc", 3, false, 5},
      {"abcabc", "bc", 0, false, 2},
      {"abcabc", "bc", -5, false, 2},
      {"abcabc", "bc", 6, false, -1},
      {"abcabc", "bc", 7, false, -1},
      {"abcabc", "x", {}, false, -1},
      {"abcabc", "", {}, false, 1},
      {"abcabc", "", 4, false, 1},
      {"abcabc", "", 7, false, -1},
      {"", "", {}, false, -1},
      {"", "a", {}, false, -1},
      {"aBc", "bC", {}, false, -1},
      {"aBc", "bC", {}, true, 2},
      // The trail byte 'A' of a double-byte character is no match, folded or not.
      {"\xB0\x41\x41", "A", {}, false, 3},
      {"\xB0\x41\x41", "a", {}, true, 3},
      {"\xB0\x41", "A", {}, false, -1},
      // Starting inside a character moves to the next boundary.
      {"\xD6\xD0\xD6\xD0", "\xD0\xD6", {}, false, -1},
      {"x\xD6\xD0", "\xD6\xD0", 3, false, -1},
      {"x\xD6\xD0", "\xD6\xD0", 2, false, 2},
      // A lone lead byte never matches the first half of a character...
      {"\xD6\xD0", "\xD6", {}, false, -1},
      // ...but does match a lone lead byte at the very end.
      {"ab\xD6", "\xD6", {}, false, 3},
      // Folding touches only single-byte letters, never trail bytes.
      {"\xB0\x61", "\xB0\x41", {}, true, -1},
      {"x\xB0\x41Y", "\xB0\x41y", {}, true, 2},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << "t=" << testing::PrintToString(std::string(c.t))
                                    << " s=" << testing::PrintToString(std::string(c.s))
                                    << " start=" << c.start.value());
    EXPECT_EQ(find_text(c.t, c.s, c.start, c.ignore_case), c.forward);
  }
}

TEST(TextOps, FindTextReverseLastMatchWhollyBeforeStart) {
  struct Case {
    std::string_view t, s;
    Optional<int> start;
    bool ignore_case;
    int expected;
  } cases[] = {
      {"abcabc", "bc", {}, false, 5},   {"abcabc", "bc", 7, false, 5},
      {"abcabc", "bc", 6, false, 2},  // the match at 5 ends at 6, not before it
      {"abcabc", "bc", 4, false, 2},    {"abcabc", "bc", 3, false, -1},
      {"abcabc", "bc", 1, false, -1},   {"abcabc", "bc", -3, false, -1},
      {"abcabc", "bc", 100, false, 5},  {"aaaa", "aa", {}, false, 3},  // overlapping matches count
      {"abc", "", {}, false, 1},        {"", "", {}, false, -1},
      {"ABCabc", "BC", {}, true, 5},    {"\xD6\xD0\xD6\xD0", "\xD0\xD6", {}, false, -1},
      {"a.b.\xB0.", ".", {}, false, 4},  // the last "." is the trail byte of 0xB0 0x2E
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << "t=" << testing::PrintToString(std::string(c.t))
                                    << " s=" << c.s << " start=" << c.start.value());
    EXPECT_EQ(find_text_reverse(c.t, c.s, c.start, c.ignore_case), c.expected);
  }
}

TEST(TextOps, CaseAndSpaces) {
  EXPECT_EQ(to_upper("abZ\xB0\x61q"), "ABZ\xB0\x61Q");
  EXPECT_EQ(to_lower("ABz\xB0\x41Q"), "abz\xB0\x41q");
  struct Case {
    std::string_view in, out;
  } cases[] = {
      {"  a b  ", "a b"},
      {"\xA1\xA1 x\xA1\xA1", "x"},
      {"\t x \r\n", "\t x \r\n"},
      {"   ", ""},
      {"", ""},
      // 0xB0 0xA1 is one character; the A1 after it is a lone lead byte, no full-width space.
      {"\xB0\xA1\xA1", "\xB0\xA1\xA1"},
      {"\xB0\xA1\xA1\xA1", "\xB0\xA1"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::PrintToString(std::string(c.in)));
    EXPECT_EQ(trim_spaces(c.in), c.out);
  }
}

TEST(TextOps, ReplaceText) {
  struct Case {
    std::string_view t, old_text, new_text;
    Optional<int> start, count;
    Optional<bool> match_case;
    std::string_view expected;
  } cases[] = {
      {"a\"b\"c", "\"", "", {}, {}, true, "abc"},
      {"ABC", "b", "x", {}, {}, {}, "AxC"},  // match_case omitted folds
      {"ABC", "b", "x", {}, {}, true, "ABC"},
      {"aaaa", "aa", "b", {}, {}, true, "bb"},  // left to right, no overlaps
      {"abab", "ab", "", {}, {}, true, ""},
      {"abab", "ab", "x", 2, {}, true, "abx"},  // bytes before start pass unchanged
      {"abab", "ab", "x", 5, {}, true, "abab"},
      {"abab", "ab", "x", {}, 1, true, "xab"},
      {"abab", "ab", "x", {}, 0, true, "abab"},
      {"abab", "", "x", {}, {}, true, "abab"},
      {"", "a", "x", {}, {}, true, ""},
      {"a\xB0\x41"
       "A",
       "A",
       "-",
       {},
       {},
       true,
       "a\xB0\x41-"},
      {"\xD6\xD0\xD6\xD0", "\xD0\xD6", "x", {}, {}, true, "\xD6\xD0\xD6\xD0"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::PrintToString(std::string(c.t)) + " " + std::string(c.old_text));
    EXPECT_EQ(replace_text(c.t, c.old_text, c.new_text, c.start, c.count, c.match_case),
              c.expected);
  }
}

TEST(TextOps, SplitText) {
  struct Case {
    std::string_view t;
    Optional<std::string_view> sep;
    Optional<int> max_pieces;
    TextArray expected;
  } cases[] = {
      {"a,b,c", {}, {}, {"a", "b", "c"}},
      {"a,,b", {}, {}, {"a", "", "b"}},
      {"a,b,", {}, {}, {"a", "b"}},  // a trailing separator adds no empty piece
      {",", {}, {}, {""}},
      {",,", {}, {}, {"", ""}},
      {"", {}, {}, {}},
      {"abc", std::string_view(""), {}, {"abc"}},
      {"a; b; c", std::string_view("; "), 2, {"a", "b"}},
      {"a,b", {}, 0, {}},
      {"x\r\ny\r\n\r\nz", std::string_view("\r\n"), {}, {"x", "y", "", "z"}},
      {"a\rb\nc", std::string_view("\r\n"), {}, {"a\rb\nc"}},
      // Never cuts a character: the separator 0xD0 0xD6 spans two characters here.
      {"\xD6\xD0\xD6\xD0", std::string_view("\xD0\xD6"), {}, {"\xD6\xD0\xD6\xD0"}},
      {"\xD6\xD0|\xB0\x7C|", std::string_view("|"), {}, {"\xD6\xD0", "\xB0\x7C"}},
      {"\xD6\xD0", std::string_view("\xD6"), {}, {"\xD6\xD0"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::PrintToString(std::string(c.t)));
    EXPECT_EQ(split_text(c.t, c.sep, c.max_pieces), c.expected);
  }
}

TEST(TextOps, CharCodesAndRepeats) {
  EXPECT_EQ(char_from_code(0x41), "A");
  EXPECT_EQ(char_from_code(0), "");
  EXPECT_EQ(char_from_code(0xD6), "\xD6");
  EXPECT_EQ(char_code("A"), 65);
  EXPECT_EQ(char_code("\xD6\xD0"), -42);
  EXPECT_EQ(char_code(""), 0);
  EXPECT_EQ(blank_text(3), "   ");
  EXPECT_EQ(blank_text(-1), "");
  EXPECT_EQ(repeat_text(3, "0"), "000");
  EXPECT_EQ(repeat_text(0, "ab"), "");
}

// find_bytes against std::string_view::find: haystacks around the 16-byte blocks, made of
// few letters so that partial matches abound.
TEST(FindBytes, AgreesWithStringViewFind) {
  std::mt19937 random(7);
  for (int round = 0; round < 3000; ++round) {
    std::string hay(random() % 70, 'a');
    for (char& c : hay) c = "ab\xB0"[random() % 3];
    std::string needle(1 + random() % 6, 'a');
    for (char& c : needle) c = "ab\xB0"[random() % 3];
    if (round % 4 == 0 && !hay.empty())
      needle = hay.substr(random() % hay.size(), 1 + random() % 20);
    for (std::size_t from = 0; from <= hay.size() + 1; ++from) {
      SCOPED_TRACE(testing::Message() << testing::PrintToString(hay) << " "
                                      << testing::PrintToString(needle) << " from " << from);
      ASSERT_EQ(find_bytes(hay, needle, from), std::string_view(hay).find(needle, from));
    }
  }
  EXPECT_EQ(find_bytes("abc", "", 3), 3u);
  EXPECT_EQ(find_bytes("abc", "", 4), std::string_view::npos);
}

// The searching operations against the double-byte rule written out plainly: boundaries
// walked from the first byte, a match beginning and ending on one.
std::vector<bool> boundaries(std::string_view t) {
  std::vector<bool> at(t.size() + 1, false);
  std::size_t i = 0;
  while (i < t.size()) {
    at[i] = true;
    i += static_cast<unsigned char>(t[i]) >= 0x80 && i + 1 < t.size() ? 2 : 1;
  }
  at[t.size()] = true;
  return at;
}

std::size_t plain_find(std::string_view t, std::string_view s, std::size_t from) {
  const std::vector<bool> at = boundaries(t);
  for (std::size_t p = from; p + s.size() <= t.size(); ++p) {
    if (at[p] && at[p + s.size()] && t.substr(p, s.size()) == s) return p;
  }
  return std::string_view::npos;
}

TEST(TextOps, SearchesFollowThePlainDoubleByteRule) {
  std::mt19937 random(11);
  for (int round = 0; round < 2000; ++round) {
    // Long runs of high bytes, as Chinese text has, between ASCII.
    std::string t;
    while (t.size() < 60)
      t += std::string(random() % 24, "\xB0\xD6"[random() % 2]) + "Aa"[random() % 2];
    std::string s(1 + random() % 4, 'a');
    for (char& c : s) c = "A\xB0\xD6"[random() % 3];
    SCOPED_TRACE(testing::Message()
                 << testing::PrintToString(t) << " " << testing::PrintToString(s));
    const std::size_t first = plain_find(t, s, 0);
    ASSERT_EQ(find_text(t, s), first == std::string_view::npos ? -1 : static_cast<int>(first) + 1);
    std::string replaced;
    std::vector<Text> pieces;
    std::size_t pos = 0;
    for (std::size_t found = plain_find(t, s, 0); found != std::string_view::npos;
         found = plain_find(t, s, pos)) {
      replaced += t.substr(pos, found - pos) + "#";
      pieces.push_back(t.substr(pos, found - pos));
      pos = found + s.size();
    }
    replaced += t.substr(pos);
    if (pos < t.size()) pieces.push_back(t.substr(pos));
    ASSERT_EQ(replace_text(t, s, "#", {}, {}, true), replaced);
    const TextArray split = split_text(t, s);
    ASSERT_EQ(split.size(), static_cast<int>(pieces.size()));
    for (int i = 1; i <= split.size(); ++i) ASSERT_EQ(split[i], pieces[i - 1]);
  }
}

TEST(ByteOps, BytesAndText) {
  const ByteSet b(std::string("ab\0cd", 5));
  EXPECT_EQ(bytes_length(b), 5);
  EXPECT_EQ(to_text(b), "ab");
  EXPECT_EQ(to_text(ByteSet(b)), "ab");
  const std::string long_bytes = std::string(40, 'x') + '\0' + "y";
  EXPECT_EQ(to_text(ByteSet(long_bytes)), std::string(40, 'x'));
  EXPECT_EQ(to_text(ByteSet(std::string("short"))), "short");
  EXPECT_EQ(to_bytes("a\xD6\xD0"), ByteSet(std::string("a\xD6\xD0")));
  EXPECT_EQ(blank_bytes(3), ByteSet(std::string(3, '\0')));
  EXPECT_TRUE(blank_bytes(0).empty());
  EXPECT_EQ(bytes_left(b, 3), ByteSet(std::string("ab\0", 3)));
  EXPECT_EQ(bytes_left(b, 9), b);
  EXPECT_EQ(bytes_mid(b, 3, 2), ByteSet(std::string("\0c", 2)));
  EXPECT_EQ(bytes_mid(b, 4, 9), ByteSet(std::string("cd")));
  EXPECT_TRUE(bytes_mid(b, 6, 1).empty());
  EXPECT_TRUE(bytes_mid(b, 0, 1).empty());
}

}  // namespace
}  // namespace mvsearch
