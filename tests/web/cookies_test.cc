#include "web/cookies.h"

#include <gtest/gtest.h>

namespace mvsearch {
namespace {

TEST(MergeCookies, ReturnedPairsFirstThenUnsetSubmittedPairs) {
  struct Case {
    std::string_view submitted, returned;
    std::string_view merged;
    std::string_view returned_after;  // what the call leaves in `returned`
  } cases[] = {
      {"a=1; b=2", "b=3; c=4", "b=3; c=4; a=1", "b=3; c=4"},
      {"a=1; b=2;", "b=deleted", "a=1", "b=deleted"},
      {"a=1; a=2", "", "a=1", ""},
      {"", "a=1; a=2", "a=1; a=2", "a=1; a=2"},
      // Without a space after ";" the submitted text is one pair named "a".
      {"a=1;b=2", "a=5", "a=5", "a=5"},
      {" sid = x ; ", "sid=y", "sid=y", "sid=y"},
      {"k", "k=v", "k=v", "k=v"},
      {"", "", "", ""},
      {"a=1", "", "a=1", ""},
      {"  a=1;  ", "", "a=1", ""},
      {"a=1; ; b=2", "", "a=1; ; b=2", ""},
      {" a=1 ", " b=2; ", "b=2; a=1", "b=2; "},
      // "=deleted" is case-sensitive, and drops a returned pair with no submitted twin.
      {"x=1", "X=Deleted", "X=Deleted; x=1", "X=Deleted"},
      {"", "x=deleted", "", "x=deleted"},
      {"a=1", "x=deleted; b=2", "b=2; a=1", "x=deleted; b=2"},
      {"b=1; a=1", "b=deleted", "a=1", "b=deleted"},
      // Names compare case-sensitively.
      {"A=1", "a=2", "a=2; A=1", "a=2"},
      // Exact duplicates go, pairs that only share a name stay.
      {"a=1", "a=1", "a=1", "a=1"},
      {"", "a=1; a=2; a=1", "a=1; a=2", "a=1; a=2; a=1"},
      {"\xD6\xD0=1; b=2", "\xD6\xD0=3", "\xD6\xD0=3; b=2", "\xD6\xD0=3"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message()
                 << "submitted=" << testing::PrintToString(std::string(c.submitted))
                 << " returned=" << testing::PrintToString(std::string(c.returned)));
    Text submitted(c.submitted);
    Text returned(c.returned);
    EXPECT_EQ(merge_cookies(submitted, returned), c.merged);
    EXPECT_EQ(submitted, c.merged);
    EXPECT_EQ(returned, c.returned_after);
  }
}

TEST(MergeCookies, MergingAgainChangesNothing) {
  Text jar = "a=1; b=2";
  Text returned = "b=3; c=4";
  const Text merged = merge_cookies(jar, returned);
  Text nothing;
  EXPECT_EQ(merge_cookies(jar, nothing), merged);
  EXPECT_EQ(jar, merged);
}

TEST(CookieName, TrimmedBytesBeforeTheFirstEquals) {
  struct Case {
    std::string_view pair, name;
  } cases[] = {
      {"a=1", "a"},     {" a b =1", "a b"}, {"k", "k"}, {" k ", "k"},
      {"=v", ""},       {"a=b=c", "a"},     {"", ""},   {"\xA1\xA1n\xA1\xA1=v", "n"},
      {"\tn=v", "\tn"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::PrintToString(std::string(c.pair)));
    EXPECT_EQ(cookie_name(c.pair), c.name);
  }
}

TEST(CookieLists, HasCookieNameAndIndexOfText) {
  const TextArray pairs = {"a=1", " b =2", "c", "=x"};
  EXPECT_TRUE(has_cookie_name(pairs, "a"));
  EXPECT_TRUE(has_cookie_name(pairs, "b"));
  EXPECT_TRUE(has_cookie_name(pairs, "c"));
  EXPECT_TRUE(has_cookie_name(pairs, ""));
  EXPECT_FALSE(has_cookie_name(pairs, "a=1"));
  EXPECT_FALSE(has_cookie_name(pairs, "A"));
  EXPECT_FALSE(has_cookie_name(TextArray{}, ""));

  const TextArray items = {"x", "y", "x", ""};
  EXPECT_EQ(index_of_text(items, "x"), 1);
  EXPECT_EQ(index_of_text(items, "y"), 2);
  EXPECT_EQ(index_of_text(items, ""), 4);
  EXPECT_EQ(index_of_text(items, "X"), -1);
  EXPECT_EQ(index_of_text(items, "z"), -1);
  EXPECT_EQ(index_of_text(TextArray{}, "x"), -1);
}

TEST(UniqueItems, DropsRepeatedItems) {
  struct Case {
    std::string_view text;
    Optional<std::string_view> separator;
    std::string_view expected;
  } cases[] = {
      {"a; b; a", "; ", "a; b"},
      {"a; a; ", "; ", "a"},
      {"a;b;a", ";", "a;b"},
      {"a; ; b; ", "; ", "a; ; b"},
      {"", "; ", ""},
      // An empty separator leaves the text as one item.
      {"aab", "", "aab"},
      // Character mode: double-byte characters and CR LF stay whole.
      {"hello", {}, "helo"},
      {"\xD6\xD0\xD6\xD0\r\nx\r\n", {}, "\xD6\xD0\r\nx"},
      {"\xB0"
       "AA",
       {},
       "\xB0"
       "AA"},
      {"\r\r\n\n\r\n", {}, "\r\r\n\n"},
      // 0x80 is a single byte; 0x81 leads a double-byte character.
      {"\x80\x80", {}, "\x80"},
      {"\x81\x80\x81\x80", {}, "\x81\x80"},
      {"a\xD6", {}, "a\xD6"},
      {"", {}, ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message()
                 << testing::PrintToString(std::string(c.text)) << " separator="
                 << (c.separator.provided()
                         ? testing::PrintToString(std::string(c.separator.value()))
                         : std::string("omitted")));
    EXPECT_EQ(unique_items(c.text, c.separator), c.expected);
  }
}

TEST(SplitChars, OneElementPerCharacter) {
  struct Case {
    std::string_view text;
    TextArray chars;
  } cases[] = {
      {"", {}},
      {"ab", {"a", "b"}},
      {"\xD6\xD0x", {"\xD6\xD0", "x"}},
      {"\r\n\r", {"\r\n", "\r"}},
      {"\n\r", {"\n", "\r"}},
      {"\x80"
       "A",
       {"\x80", "A"}},
      {"\x81"
       "A",
       {"\x81"
        "A"}},
      {"x\xD6", {"x", "\xD6"}},
      // A lead byte takes the CR with it.
      {"\xD6\r\n", {"\xD6\r", "\n"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::PrintToString(std::string(c.text)));
    TextArray list = {"old", "content"};
    EXPECT_EQ(split_chars(c.text, list), c.chars.size());
    EXPECT_EQ(list, c.chars);
    EXPECT_EQ(split_chars(c.text), c.chars.size());
  }
}

}  // namespace
}  // namespace mvsearch
