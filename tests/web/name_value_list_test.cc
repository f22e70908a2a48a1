#include "web/name_value_list.h"

#include <utility>
#include <vector>

#include <gtest/gtest.h>

namespace mvsearch {
namespace {

using Pairs = std::vector<std::pair<Text, Text>>;

NameValueList list_of(const Pairs& pairs) {
  NameValueList list;
  for (const auto& [name, value] : pairs) list.add_pair(name, value);
  return list;
}

Pairs pairs_of(const NameValueList& list) {
  TextArray names, values;
  list.all_names(names);
  list.all_values(values);
  EXPECT_EQ(names.size(), values.size());
  Pairs pairs;
  for (int k = 1; k <= names.size() && k <= values.size(); ++k) {
    pairs.emplace_back(names[k], values[k]);
  }
  return pairs;
}

TEST(NameValueList, Builders) {
  struct Case {
    const char* label;
    Pairs pairs;
    std::string_view header, query, json;
  } cases[] = {
      {"empty", {}, "", "", "{}"},
      {"one", {{"User-Agent", "X"}}, "User-Agent: X", "User-Agent=X", R"({"User-Agent":"X"})"},
      {"two", {{"A", "1"}, {"B", "2"}}, "A: 1\r\nB: 2", "A=1&B=2", R"({"A":"1","B":"2"})"},
      {"empty texts", {{"", ""}, {"", ""}}, ": \r\n: ", "=&=", R"({"":"","":""})"},
      // Only the double quote of a value is escaped; names, backslashes and other bytes
      // pass as they are.
      {"quotes", {{"k", "say \"hi\""}}, "k: say \"hi\"", "k=say \"hi\"", R"({"k":"say \"hi\""})"},
      {"backslash", {{"k", "a\\b"}}, "k: a\\b", "k=a\\b", R"({"k":"a\b"})"},
      {"raw name",
       {{"n\"", "\xD6\xD0\t"}},
       "n\": \xD6\xD0\t",
       "n\"=\xD6\xD0\t",
       "{\"n\"\":\"\xD6\xD0\t\"}"},
      // Only the one separating comma is stripped, never a value's own.
      {"commas", {{",k", "v,"}}, ",k: v,", ",k=v,", R"({",k":"v,"})"},
      {"ampersands", {{"a&b", "c=d"}}, "a&b: c=d", "a&b=c=d", R"({"a&b":"c=d"})"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.label);
    const NameValueList list = list_of(c.pairs);
    EXPECT_EQ(list.header_text(), c.header);
    EXPECT_EQ(list.query_text(), c.query);
    EXPECT_EQ(list.json_text(), c.json);
  }
}

TEST(NameValueList, UrlEncodedBuilders) {
  struct Case {
    Pairs pairs;
    std::string_view header, query;
  } cases[] = {
      {{{"a b", "c/d"}}, "a b: c%2Fd", "a%20b=c%2Fd"},
      {{{"a b", "c d"}}, "a b: c%20d", "a%20b=c%20d"},
      {{{"\xD6\xD0", "-._~"}, {"k", "\n"}},
       "\xD6\xD0: -.%5F%7E\r\nk: %0A",
       "%D6%D0=-.%5F%7E&k=%0A"},
      {{{"AZaz09", ""}}, "AZaz09: ", "AZaz09="},
      {{}, "", ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::PrintToString(c.query));
    const NameValueList list = list_of(c.pairs);
    EXPECT_EQ(list.header_text(true), c.header);
    EXPECT_EQ(list.query_text(true), c.query);
  }
}

TEST(NameValueList, LookupsTakeTheFirstPairWithTheName) {
  NameValueList list = list_of({{"a", "1"}, {"a", "2"}, {"User-Agent", "X"}, {"", "e"}});
  EXPECT_EQ(list.get_value("a"), "1");
  EXPECT_EQ(list.get_value("user-agent"), "");
  EXPECT_EQ(list.get_value("User-Agent"), "X");
  EXPECT_EQ(list.get_value("User-Agent "), "");
  EXPECT_EQ(list.get_value(""), "e");
  EXPECT_EQ(list.get_value("b"), "");

  list.set_value("a", "3");
  EXPECT_EQ(pairs_of(list), (Pairs{{"a", "3"}, {"a", "2"}, {"User-Agent", "X"}, {"", "e"}}));
  list.set_value("b", "\xD6\xD0");
  EXPECT_EQ(pairs_of(list),
            (Pairs{{"a", "3"}, {"a", "2"}, {"User-Agent", "X"}, {"", "e"}, {"b", "\xD6\xD0"}}));

  list.remove_pair("a");
  EXPECT_EQ(pairs_of(list), (Pairs{{"a", "2"}, {"User-Agent", "X"}, {"", "e"}, {"b", "\xD6\xD0"}}));
  list.remove_pair("missing");
  list.remove_pair("USER-AGENT");
  EXPECT_EQ(pairs_of(list), (Pairs{{"a", "2"}, {"User-Agent", "X"}, {"", "e"}, {"b", "\xD6\xD0"}}));
  list.remove_pair("User-Agent");
  EXPECT_EQ(pairs_of(list), (Pairs{{"a", "2"}, {"", "e"}, {"b", "\xD6\xD0"}}));
  EXPECT_EQ(list.get_value("b"), "\xD6\xD0");
  list.remove_pair("");
  EXPECT_EQ(list.get_value(""), "");
  EXPECT_EQ(list.query_text(), "a=2&b=\xD6\xD0");
}

TEST(NameValueList, EmptyList) {
  NameValueList list;
  EXPECT_EQ(list.get_value(""), "");
  list.remove_pair("a");
  list.remove_pair("");
  TextArray names = {"stale"};
  list.all_names(names);
  EXPECT_TRUE(names.empty());
  list.set_value("a", "1");
  EXPECT_EQ(pairs_of(list), (Pairs{{"a", "1"}}));
}

TEST(NameValueList, AddPairsCutsEachPieceAtItsFirstAndLastEquals) {
  struct Case {
    std::string_view text;
    Pairs expected;
  } cases[] = {
      {"a=1&b=2", {{"a", "1"}, {"b", "2"}}},
      {"a=1&&b=2", {{"a", "1"}, {"", ""}, {"b", "2"}}},
      {"a=1&", {{"a", "1"}}},
      {"", {}},
      {"&", {{"", ""}}},
      {"k=v=w", {{"k", "w"}}},
      {"flag", {{"", ""}}},
      {"k=", {{"k", ""}}},
      {"=v", {{"", "v"}}},
      {"a=1&a=2", {{"a", "1"}, {"a", "2"}}},
      {"ktv=%E4%B8%AD", {{"ktv", "%E4%B8%AD"}}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::PrintToString(std::string(c.text)));
    NameValueList list;
    list.add_pair("first", "0");
    list.add_pairs(c.text);
    Pairs expected = {{"first", "0"}};
    expected.insert(expected.end(), c.expected.begin(), c.expected.end());
    EXPECT_EQ(pairs_of(list), expected);
  }
}

TEST(NameValueList, ToUtf8ConvertsNameAndValue) {
  NameValueList list;
  list.add_pair("\xD6\xD0", "a\xD6\xD0", true);
  list.add_pair("\xD6\xD0", "a\xD6\xD0");
  list.add_pair("\xD6\xD0", "a\xD6\xD0", false);
  list.add_pairs("\xD6\xD0=\xD6\xD0&k=v", true);
  list.add_pairs("\xD6\xD0=\xD6\xD0");
  EXPECT_EQ(pairs_of(list), (Pairs{{"\xE4\xB8\xAD", "a\xE4\xB8\xAD"},
                                   {"\xD6\xD0", "a\xD6\xD0"},
                                   {"\xD6\xD0", "a\xD6\xD0"},
                                   {"\xE4\xB8\xAD", "\xE4\xB8\xAD"},
                                   {"k", "v"},
                                   {"\xD6\xD0", "\xD6\xD0"}}));
}

TEST(NameValueList, AllNamesAndValuesReplaceTheCallersArray) {
  const NameValueList list = list_of({{"a", "1"}, {"b", "2"}});
  TextArray names = {"x", "y", "z"};
  TextArray values = {"stale"};
  list.all_names(names);
  list.all_values(values);
  EXPECT_EQ(names, (TextArray{"a", "b"}));
  EXPECT_EQ(values, (TextArray{"1", "2"}));
}

TEST(NameValueList, ClearAndReleaseEmptyTheList) {
  NameValueList list = list_of({{"a", "1"}, {"b", "2"}});
  list.clear();
  EXPECT_EQ(list.query_text(), "");
  EXPECT_EQ(list.json_text(), "{}");
  list.add_pair("c", "3");
  EXPECT_EQ(pairs_of(list), (Pairs{{"c", "3"}}));
  list.release();
  EXPECT_TRUE(pairs_of(list).empty());
}

TEST(NameValueList, EscapeQuotes) {
  struct Case {
    std::string_view text, expected;
  } cases[] = {
      {R"(say "hi")", R"(say \"hi\")"},
      {R"(a\")", R"(a\\")"},
      {"\"\"", R"(\"\")"},
      {"", ""},
      {"ABC abc \xD6\xD0", "ABC abc \xD6\xD0"},
  };
  const NameValueList list;
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::PrintToString(std::string(c.text)));
    const Text text(c.text);
    EXPECT_EQ(list.escape_quotes(text), c.expected);
    EXPECT_EQ(text, c.text);
  }
}

TEST(NameValueList, StripEndsWritesTheCallersVariable) {
  struct Case {
    std::string_view text, affix, expected;
  } cases[] = {
      {",a,", ",", "a"},  {",,", ",", ""},
      {",", ",", ""},     {"abc", "", "abc"},
      {"a,,", ",", "a,"}, {",,a", ",", ",a"},
      {"abab", "ab", ""}, {"xab", "ab", "x"},
      {"abx", "ab", "x"}, {"ab", "abc", "ab"},
      {"", ",", ""},      {"aba", "ab", "a"},
      {"Ab", "ab", "Ab"}, {"{\"k\":\"v\",", ",", "{\"k\":\"v\""},
  };
  const NameValueList list;
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << testing::PrintToString(std::string(c.text)) << " affix "
                                    << testing::PrintToString(std::string(c.affix)));
    Text text(c.text);
    EXPECT_EQ(list.strip_ends(text, c.affix), c.expected);
    EXPECT_EQ(text, c.expected);
  }
}

TEST(NameValueList, StripEndsWithTheTextAsItsOwnAffix) {
  const NameValueList list;
  Text text = "ab";
  EXPECT_EQ(list.strip_ends(text, text), "");
  EXPECT_EQ(text, "");
}

TEST(NameValueList, CloneIsIndependent) {
  NameValueList source = list_of({{"a", "1"}, {"b", "2"}});
  NameValueList copy = source.clone();
  EXPECT_EQ(pairs_of(copy), pairs_of(source));

  source.set_value("a", "changed");
  source.add_pair("c", "3");
  EXPECT_EQ(pairs_of(copy), (Pairs{{"a", "1"}, {"b", "2"}}));

  copy.remove_pair("b");
  copy.clear();
  copy.add_pair("z", "9");
  EXPECT_EQ(pairs_of(source), (Pairs{{"a", "changed"}, {"b", "2"}, {"c", "3"}}));
  EXPECT_EQ(pairs_of(copy), (Pairs{{"z", "9"}}));

  source.release();
  EXPECT_EQ(copy.get_value("z"), "9");
}

}  // namespace
}  // namespace mvsearch
