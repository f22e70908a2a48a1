#include "catalogue/catalogue_pages.h"

#include <gtest/gtest.h>

#include "catalogue/catalogue_entry.h"
#include "page_reading.h"

namespace mvsearch {
namespace {

using page_reading::redirect;
using page_reading::rows;

const std::vector<CatalogueEntry> kResults = {
    {1001, "\xE8\x8C\x89\xE8\x8E\x89\xE8\x8A\xB1", "\xE6\x9E\x97", "\xE6\xB0\x91", "MV"},
    {7, "Two Words", "Band", "", "KTV"},
    {2026, "A<b>&\"c\"", "S&T", "", ""},
};

TEST(ResultPage, EveryResultIsOneRowWithItsIdAndTitle) {
  const std::string page = render_result_page("x", kResults);
  EXPECT_TRUE(is_valid_utf8(page));
  EXPECT_NE(page.find("<td><a href=\"/imv.asp?id=1001\" class=\"link\"><span>"
                      "\xE8\x8C\x89\xE8\x8E\x89\xE8\x8A\xB1</span></a></td>"),
            std::string::npos);
  const std::vector<page_reading::Row> listed = rows(page);
  ASSERT_EQ(listed.size(), kResults.size());
  for (std::size_t i = 0; i < kResults.size(); ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(listed[i].id, std::to_string(kResults[i].id));
    EXPECT_EQ(listed[i].title, html_escape(kResults[i].title));
  }
  EXPECT_EQ(listed[2].title, "A&lt;b&gt;&amp;&quot;c&quot;");
}

TEST(ResultPage, NoResultsAndEmptyKeywordGiveNoRows) {
  for (const std::string_view keyword : {"", "nothing", "  "}) {
    SCOPED_TRACE(std::string(keyword));
    const std::string page = render_result_page(keyword, {});
    EXPECT_TRUE(rows(page).empty());
    EXPECT_NE(page.find("</table>"), std::string::npos);
  }
  EXPECT_NE(render_result_page("", {}).find("\xE8\xAF\xB7\xE8\xBE\x93\xE5\x85\xA5"),  // 请输入
            std::string::npos);
}

TEST(ResultPage, AKeywordHoldingTheMarkersDoesNotAddRows) {
  const std::string keyword =
      "<td><a href=\"/imv.asp?id=1\" class=\"link\"><span>x</span></a></td>";
  EXPECT_TRUE(rows(render_result_page(keyword, {})).empty());
  EXPECT_EQ(rows(render_result_page(keyword, {kResults[1]})).size(), 1u);
}

TEST(ResultPage, WithoutMarkersTheTitlesAreThereButNoRowIsFound) {
  const std::string page = render_result_page("x", kResults, PageMarkup::kWithoutMarkers);
  EXPECT_TRUE(rows(page).empty());
  EXPECT_NE(page.find("Two Words"), std::string::npos);
  EXPECT_NE(page.find("imv.asp?id=7"), std::string::npos);
}

TEST(DetailPage, EachCommandFindsItsOwnAddress) {
  const CatalogueEntry& entry = kResults[0];
  const std::string page = render_detail_page(entry, 8123);
  EXPECT_TRUE(is_valid_utf8(page));
  EXPECT_EQ(redirect(page, "https"), cloud_drive_address(entry));
  EXPECT_EQ(redirect(page, "http"), "http://127.0.0.1:8123/files/1001.mp4");
  EXPECT_EQ(redirect(page, "http"), second_line_address(entry, 8123));
  // The two lines sit in separate branches of the script, as written by the site.
  EXPECT_NE(page.find("window.location.href=\"https://pan.example/s/"), std::string::npos);
  EXPECT_NE(page.find("} else {"), std::string::npos);
}

TEST(DetailPage, CloudAddressesAreStablePerEntryAndDistinctBetweenEntries) {
  const std::string first = cloud_drive_address(kResults[0]);
  EXPECT_EQ(first, cloud_drive_address(kResults[0]));
  EXPECT_NE(first, cloud_drive_address(kResults[1]));
  EXPECT_TRUE(first.starts_with("https://pan.example/s/1"));
  EXPECT_EQ(first.find_first_of(";\" "), std::string::npos);
}

TEST(DetailPage, UnknownEntryAndRedesignedPageHoldNoAddress) {
  struct Case {
    std::string_view name;
    std::string page;
  } cases[] = {
      {"unknown", render_unknown_entry_page("99")},
      {"unknown, hostile id", render_unknown_entry_page("1\";window.location.href=\"https://x")},
      {"without markers", render_detail_page(kResults[1], 80, PageMarkup::kWithoutMarkers)},
      {"404", render_not_found_page("/imv.asp")},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.name));
    EXPECT_EQ(redirect(c.page, "https"), "");
    EXPECT_EQ(redirect(c.page, "http"), "");
  }
  EXPECT_NE(cases[2].page.find(cloud_drive_address(kResults[1])), std::string::npos);
}

TEST(LineFile, NamesTheEntry) {
  const std::string file = render_line_file(kResults[0]);
  EXPECT_NE(file.find("1001"), std::string::npos);
  EXPECT_NE(file.find(kResults[0].title), std::string::npos);
}

}  // namespace
}  // namespace mvsearch
