#include <gtest/gtest.h>

#include "catalogue/catalogue_entry.h"
#include "catalogue/catalogue_options.h"
#include "catalogue/catalogue_search.h"
#include "catalogue/form_decoding.h"

namespace mvsearch {
namespace {

TEST(CatalogueData, ParsesLinesAndSkipsCommentsAndHeader) {
  const CatalogueData data = parse_catalogue(
      "# comment\n"
      "id\ttitle\tsinger\tlanguage\tkind\n"
      "\n"
      "7\t\xE8\x8C\x89\xE8\x8E\x89\xE8\x8A\xB1\tA B\t\tMV\r\n"
      "12\tTwo\tSinger\tx\tKTV");
  EXPECT_EQ(data.error, "");
  ASSERT_EQ(data.entries.size(), 2u);
  EXPECT_EQ(data.entries[0],
            (CatalogueEntry{7, "\xE8\x8C\x89\xE8\x8E\x89\xE8\x8A\xB1", "A B", "", "MV"}));
  EXPECT_EQ(data.entries[1], (CatalogueEntry{12, "Two", "Singer", "x", "KTV"}));
}

TEST(CatalogueData, BadLinesStopTheParseWithTheirNumber) {
  struct Case {
    std::string_view line;
    std::string_view error;
  } cases[] = {
      {"1\tA\tB\tC", "line 2: expected 5 tab-separated fields"},
      {"1\tA\tB\tC\tD\tE", "line 2: expected 5 tab-separated fields"},
      {"x\tA\tB\tC\tD", "line 2: the id is not a positive number"},
      {"0\tA\tB\tC\tD", "line 2: the id is not a positive number"},
      {"-3\tA\tB\tC\tD", "line 2: the id is not a positive number"},
      {"5 \tA\tB\tC\tD", "line 2: the id is not a positive number"},
      {"1\tA\tB\tC\tD", "line 2: the id is used twice"},
      {"2\t\tB\tC\tD", "line 2: empty title or singer"},
      {"2\tA\t\tC\tD", "line 2: empty title or singer"},
      {"2\t\xD6\xD0\tB\tC\tD", "line 2: not valid UTF-8"},  // GBK, not UTF-8
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::PrintToString(std::string(c.line)));
    const CatalogueData data = parse_catalogue("1\tOne\tS\tL\tK\n" + std::string(c.line) + "\n");
    EXPECT_EQ(data.error, c.error);
    ASSERT_EQ(data.entries.size(), 1u);  // the lines before the bad one are kept
  }
}

TEST(CatalogueData, Utf8Validation) {
  struct Case {
    std::string_view text;
    bool valid;
  } cases[] = {
      {"", true},
      {"abc", true},
      {"\xE4\xB8\xAD", true},      // 中
      {"\xF0\x9F\x8E\xB5", true},  // U+1F3B5
      {"\xE4\xB8", false},         // cut off
      {"\xE4\xB8"
       "a",
       false},                      // continuation missing
      {"\xC0\xAF", false},          // overlong "/"
      {"\xE0\x80\xAF", false},      // overlong "/"
      {"\xED\xA0\x80", false},      // surrogate
      {"\xF4\x90\x80\x80", false},  // past U+10FFFF
      {"\x80", false},              // stray continuation
      {"\xFF", false},
      {std::string_view("a\0b", 3), true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::PrintToString(std::string(c.text)));
    EXPECT_EQ(is_valid_utf8(c.text), c.valid);
  }
}

TEST(CatalogueData, BundledFileLoadsAndEveryEntryIsFoundByItsTitleAndSinger) {
  const CatalogueData data = load_catalogue(CATALOGUE_TSV);
  ASSERT_EQ(data.error, "");
  ASSERT_FALSE(data.entries.empty());
  for (const CatalogueEntry& entry : data.entries) {
    SCOPED_TRACE(entry.id);
    for (const std::string& keyword : {entry.title, entry.singer}) {
      const std::vector<CatalogueEntry> found = find_catalogue_entries(data.entries, keyword);
      EXPECT_NE(std::find(found.begin(), found.end(), entry), found.end());
    }
  }
}

TEST(CatalogueData, MissingFileIsAnError) {
  const CatalogueData data = load_catalogue("/nonexistent/catalogue.tsv");
  EXPECT_EQ(data.error, "cannot open /nonexistent/catalogue.tsv");
}

TEST(CatalogueData, GeneratedEntriesAreDistinctAndValid) {
  const CatalogueEntry first = generated_entry(1);
  const CatalogueEntry other = generated_entry(50000);
  EXPECT_EQ(first.id, GENERATED_ID_BASE + 1);
  EXPECT_EQ(other.id, GENERATED_ID_BASE + 50000);
  EXPECT_NE(first.title, other.title);
  EXPECT_TRUE(is_valid_utf8(first.title) && is_valid_utf8(other.singer));
}

TEST(FormDecoding, PercentDecode) {
  struct Case {
    std::string_view encoded, decoded;
  } cases[] = {
      {"", ""},
      {"%E6%AD%8C", "\xE6\xAD\x8C"},
      {"%e6%ad%8c", "\xE6\xAD\x8C"},
      {"%61%20%62", "a b"},
      {"a+b", "a b"},
      {"%2B", "+"},
      {"100%", "100%"},
      {"%4", "%4"},
      {"%G1x", "%G1x"},
      {"%%41", "%A"},
      {"%00z", std::string_view("\0z", 2)},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::PrintToString(std::string(c.encoded)));
    EXPECT_EQ(percent_decode(c.encoded), c.decoded);
  }
}

TEST(FormDecoding, FormValue) {
  struct Case {
    std::string_view form, name;
    std::optional<std::string> value;
  } cases[] = {
      {"ktv=%E8%8C%89", "ktv", "\xE8\x8C\x89"},
      {"ktv=", "ktv", ""},
      {"ktv", "ktv", ""},
      {"a=1&ktv=x&ktv=y", "ktv", "x"},
      {"xktv=1", "ktv", std::nullopt},
      {"", "ktv", std::nullopt},
      {"&&id=12", "id", "12"},
      {"id=1=2", "id", "1=2"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::PrintToString(std::string(c.form)));
    EXPECT_EQ(form_value(c.form, c.name), c.value);
  }
  EXPECT_EQ(target_path("/imv.asp?id=3"), "/imv.asp");
  EXPECT_EQ(target_query("/imv.asp?id=3?x"), "id=3?x");
  EXPECT_EQ(target_query("/isearch.asp"), "");
}

TEST(CatalogueSearch, MatchesTitleOrSingerFoldingOnlyAsciiLetters) {
  const std::vector<CatalogueEntry> entries = {
      {1, "\xE8\x8C\x89\xE8\x8E\x89\xE8\x8A\xB1", "Lantern Band", "", ""},   // 茉莉花
      {2, "Morning Train", "\xE6\x9E\x97", "", ""},                          // 林
      {3, "\xC3\x89t\xC3\xA9", "LANTERN BAND", "", ""},                      // Été
      {4, "\xE8\x8C\x89\xE8\x8E\x89\xE8\x8A\xB1\xE5\xBC\x80", "x", "", ""},  // 茉莉花开
  };
  struct Case {
    std::string_view keyword;
    std::vector<int> ids;
  } cases[] = {
      {"\xE8\x8C\x89\xE8\x8E\x89", {1, 4}},  // 茉莉
      {"\xE8\x8C\x89\xE8\x8E\x89\xE8\x8A\xB1\xE5\xBC\x80", {4}},
      {"lantern band", {1, 3}},
      {"MORNING", {2}},
      {"  train\t", {2}},         // trimmed
      {"\xE6\x9E\x97", {2}},      // singer
      {"\xC3\xA9t\xC3\xA9", {}},  // é is not folded to É
      {"\xC3\x89t\xC3\xA9", {3}},
      {"", {}},
      {"   ", {}},
      {"\xE8\x8C", {1, 4}},  // a cut-off character still matches bytewise
      {"nothing", {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::PrintToString(std::string(c.keyword)));
    std::vector<int> ids;
    for (const CatalogueEntry& entry : find_catalogue_entries(entries, c.keyword)) {
      ids.push_back(entry.id);
    }
    EXPECT_EQ(ids, c.ids);
  }
}

TEST(CatalogueOptions, ParsesTheCommandLine) {
  const CatalogueOptions options =
      parse_catalogue_options({"--port", "8080", "--data", "/x.tsv", "--generate", "50000",
                               "--fault", "long-title", "--delay-ms", "250", "--quiet"});
  EXPECT_EQ(options.error, "");
  EXPECT_EQ(options.port, 8080);
  EXPECT_EQ(options.data_path, "/x.tsv");
  EXPECT_EQ(options.generate, 50000);
  EXPECT_EQ(options.fault, CatalogueFault::kLongTitle);
  EXPECT_EQ(options.slow_delay, std::chrono::milliseconds(250));
  EXPECT_TRUE(options.quiet);

  struct Case {
    std::vector<std::string_view> args;
    std::string_view error;
  } cases[] = {
      {{"--port"}, "--port needs a value"},
      {{"--port", "65536"}, "bad value for --port: 65536"},
      {{"--port", "-1"}, "bad value for --port: -1"},
      {{"--generate", "many"}, "bad value for --generate: many"},
      {{"--fault", "crash"}, "bad value for --fault: crash"},
      {{"--data", ""}, "bad value for --data: "},
      {{"--verbose"}, "unknown argument --verbose"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.error));
    EXPECT_EQ(parse_catalogue_options(c.args).error, c.error);
  }
  for (const std::string_view name :
       {"none", "slow", "reset", "bad-utf8", "404", "no-markers", "long-title"}) {
    const auto fault = parse_catalogue_fault(name);
    ASSERT_TRUE(fault.has_value()) << name;
    EXPECT_EQ(catalogue_fault_name(*fault), name);
  }
}

}  // namespace
}  // namespace mvsearch
