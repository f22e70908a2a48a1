#include "textutil/url_encode.h"

#include <gtest/gtest.h>

#include <string>

namespace mvsearch {
namespace {

TEST(UrlEncode, EncodesByteByByte) {
  struct Case {
    std::string_view text;
    Optional<bool> keep_unreserved, to_utf8;
    std::string_view expected;
  } cases[] = {
      {"-./_~09AZaz", true, {}, "-.%2F%5F%7E09AZaz"},
      {"-./_~09AZaz", {}, {}, "%2D%2E%2F%5F%7E%30%39%41%5A%61%7A"},
      {"@[`{ +", true, {}, "%40%5B%60%7B%20%2B"},  // the neighbours of the kept ranges
      {"a b", {}, true, "%61%20%62"},
      {"a b", true, {}, "a%20b"},
      {"a b", false, false, "%61%20%62"},
      {"\n\x01\x0F\x10", true, {}, "%0A%01%0F%10"},
      {"\xD6\xD0", true, {}, "%D6%D0"},
      {"\xD6\xD0", {}, {}, "%D6%D0"},
      {"\xD6\xD0", {}, true, "%E4%B8%AD"},
      {"\xD6\xD0", true, true, "%E4%B8%AD"},
      {"\x80\xFF", true, {}, "%80%FF"},
      {"a\x80", true, true, "a%E2%82%AC"},  // the euro sign of code page 936
      {"", {}, {}, ""},
      {"", true, true, ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::PrintToString(std::string(c.text)));
    EXPECT_EQ(url_encode(c.text, c.keep_unreserved, c.to_utf8), c.expected);
  }
}

TEST(UrlEncode, LongText) {
  std::string text, expected;
  for (int i = 0; i < 50000; ++i) {
    text += "\xD6\xD0z";
    expected += "%E4%B8%ADz";
  }
  EXPECT_EQ(url_encode(text, true, true), expected);
}

}  // namespace
}  // namespace mvsearch
