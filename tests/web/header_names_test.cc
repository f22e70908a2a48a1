#include "web/header_names.h"

#include <gtest/gtest.h>

namespace mvsearch {
namespace {

TEST(NormalizeHeaderNames, CapitalisesNamesAndDropsLinesWithoutColon) {
  struct Case {
    std::string_view block, expected;
  } cases[] = {
      {"user-agent: Foo", "User-Agent: Foo"},
      {"accept:*/*", "Accept:*/*"},
      // The name keeps its trailing space and splits into "content" and "type ".
      {"content-type : text/html", "Content-Type : text/html"},
      {"content-TYPE: x", "Content-TYPE: x"},
      {"x-forwarded-for: 1.2.3.4", "X-Forwarded-For: 1.2.3.4"},
      {"User-Agent: Mozilla/5.0 (Windows NT 6.1; WOW64)",
       "User-Agent: Mozilla/5.0 (Windows NT 6.1; WOW64)"},
      // Only the name changes: the value, further colons and a trailing CR stay.
      {"a: b-c d: e\r", "A: b-c d: e\r"},
      {"a: 1\r\nno colon here\r\nb: 2", "A: 1\r\nB: 2"},
      {"a: 1\r\n", "A: 1"},
      {"a:\r\n\r\nb:", "A:\r\nB:"},
      {"no colon", ""},
      {"", ""},
      {"\r\n\r\n", ""},
      {": x", ": x"},
      {"a--b: x", "A--B: x"},
      // A trailing "-" is lost by the split but comes back with the rest of the line.
      {"a-: x", "A-: x"},
      {"a--: x", "A--: x"},
      {"-: x", "-: x"},
      {"-a: x", "-A: x"},
      {" a-b: x", " a-B: x"},
      // A lone CR does not end a line.
      {"a: 1\rb: 2", "A: 1\rb: 2"},
      {"a: 1\nb: 2", "A: 1\nb: 2"},
      // Double-byte characters in a name are left as they are.
      {"\xD6\xD0-a: x", "\xD6\xD0-A: x"},
      {"\xB0"
       "a-b: x",
       "\xB0"
       "a-B: x"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::PrintToString(std::string(c.block)));
    EXPECT_EQ(normalize_header_names(c.block), c.expected);
  }
}

TEST(CapitalizeFirst, UpperCasesOnlyAnAsciiFirstByte) {
  struct Case {
    std::string_view text, expected;
  } cases[] = {
      {"abc", "Abc"},           {"a", "A"}, {"", ""}, {"Zz", "Zz"}, {"1a", "1a"}, {" a", " a"},
      {"\xE1\xE2", "\xE1\xE2"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::PrintToString(std::string(c.text)));
    EXPECT_EQ(capitalize_first(c.text), c.expected);
  }
}

TEST(HeaderValue, TrimmedTextAfterTheFirstColon) {
  struct Case {
    std::string_view text, expected;
  } cases[] = {
      {"Referer:  x ", "x"},
      {"no colon", ""},
      {"a:", ""},
      {"", ""},
      {"a: b: c", "b: c"},
      // On a block the value runs to the end.
      {"a: 1\r\nb: 2", "1\r\nb: 2"},
      // Only spaces, ASCII and full-width, are trimmed.
      {"a:\t1 ", "\t1"},
      {"a: 1\r\n", "1\r\n"},
      {"a: \xA1\xA1x\xA1\xA1 ", "x"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::PrintToString(std::string(c.text)));
    EXPECT_EQ(header_value(c.text), c.expected);
  }
}

}  // namespace
}  // namespace mvsearch
