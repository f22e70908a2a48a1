// The search command, from the keyword typed into the edit box to the rows of the list
// and the kept result pieces, against the loopback catalogue.
#include <string>
#include <vector>

#include "app/catalogue_site.h"
#include "app/result_pieces.h"
#include "app/search_command.h"
#include "shell_harness.h"

namespace mvsearch::testing {
namespace {

using SearchTest = ShellTest;

std::string expected_search_request(const std::string& body) {
  return expected_post("/isearch.asp", std::string(SEARCH_URL), body);
}

std::vector<std::string> pieces() {
  return std::vector<std::string>(result_pieces.begin(), result_pieces.end());
}

TEST_F(SearchTest, KeywordIsPostedAsPercentEncodedUtf8) {
  struct Case {
    const char* keyword;  // UTF-8, as typed
    const char* body;
  };
  const Case cases[] = {
      {"歌", "ktv=%E6%AD%8C"},
      {"a b", "ktv=%61%20%62"},
      {"", "ktv="},
      // A character that GBK lacks is typed as "?".
      {"a\u0E01", "ktv=%61%3F"},
  };
  set_search_page("<html>nothing</html>");
  run_program([&] {
    for (const Case& c : cases) {
      SCOPED_TRACE(c.keyword);
      clear_requests();
      type_keyword(QString::fromUtf8(c.keyword));
      click_search();
      const std::vector<LoopbackRequest> sent = requests();
      ASSERT_EQ(sent.size(), 1u);
      EXPECT_EQ(sent[0].raw, expected_search_request(c.body));
    }
  });
}

TEST_F(SearchTest, PageIsCutIntoPiecesAndTitles) {
  struct Case {
    const char* name;
    std::string page;                 // UTF-8, quotes as the site sends them
    std::vector<std::string> pieces;  // GBK
    QStringList rows;
  };
  const std::string one = "<td><a href=\"/imv.asp?id=1\" class=\"link\"><span>One</span></a></td>";
  const std::string two = "<td><a href=\"/imv.asp?id=2\" class=\"link\"><span>Two</span></a></td>";
  const Case cases[] = {
      {"example page",
       "A" + one + "B" + two,
       {"A", "id=1 class=link><span>One</span></a></td>B",
        "id=2 class=link><span>Two</span></a></td>"},
       {"One", "Two"}},
      {"ends right after a separator",
       "A" + one + "<td><a href=/imv.asp?",
       {"A", "id=1 class=link><span>One</span></a></td>"},
       {"One"}},
      {"two separators in a row",
       "A<td><a href=/imv.asp?<td><a href=/imv.asp?id=2 class=link><span>Two</span></a></td>",
       {"A", "", "id=2 class=link><span>Two</span></a></td>"},
       {"", "Two"}},
      {"no results",
       "<html>\xE6\xB2\xA1\xE6\x9C\x89</html>",
       {"<html>\xC3\xBB\xD3\xD0</html>"},
       {}},
      {"titles as cut, Chinese and markup kept",
       "<td><a href=/imv.asp?id=3 class=link><span> <b>\xE6\xAD\x8C</b> &amp; </span></a></td>"
       "<td><a href=/imv.asp?id=4 class=link><span>no end marker",
       {"", "id=3 class=link><span> <b>\xB8\xE8</b> &amp; </span></a></td>",
        "id=4 class=link><span>no end marker"},
       {QString::fromUtf8(" <b>歌</b> &amp; "), ""}},
  };
  run_program([&] {
    for (const Case& c : cases) {
      SCOPED_TRACE(c.name);
      set_search_page(c.page);
      type_keyword("k");
      click_search();
      EXPECT_EQ(pieces(), c.pieces);
      EXPECT_EQ(rows(), c.rows);
    }
  });
}

TEST_F(SearchTest, ReturnsThePageWithoutQuotes) {
  set_search_page("<p class=\"x\">\xE6\xAD\x8C</p>");
  run_program([&] { EXPECT_EQ(search_catalogue(), "<p class=x>\xB8\xE8</p>"); });
}

TEST_F(SearchTest, SecondSearchReplacesEveryRowAndPiece) {
  run_program([&] {
    set_search_page(
        "A<td><a href=/imv.asp?id=1 class=link><span>One</span></a></td>"
        "<td><a href=/imv.asp?id=2 class=link><span>Two</span></a></td>"
        "<td><a href=/imv.asp?id=3 class=link><span>Three</span></a></td>");
    type_keyword("first");
    click_search();
    ASSERT_EQ(rows(), (QStringList{"One", "Two", "Three"}));
    left_click_row(2);

    set_search_page("Z<td><a href=/imv.asp?id=9 class=link><span>Nine</span></a></td>");
    type_keyword("second");
    click_search();
    EXPECT_EQ(rows(), QStringList{"Nine"});
    EXPECT_EQ(pieces(),
              (std::vector<std::string>{"Z", "id=9 class=link><span>Nine</span></a></td>"}));
  });
}

TEST_F(SearchTest, WithoutAServerTheListAndTheStoreStayEmpty) {
  run_program([&] {
    set_search_page("A<td><a href=/imv.asp?id=1 class=link><span>One</span></a></td>");
    type_keyword("k");
    click_search();
    ASSERT_EQ(rows(), QStringList{"One"});

    unplug_catalogue();
    click_search();
    EXPECT_TRUE(rows().isEmpty());
    EXPECT_TRUE(result_pieces.empty());
    EXPECT_EQ(search_catalogue(), "");
  });
}

}  // namespace
}  // namespace mvsearch::testing
