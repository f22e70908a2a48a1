// The download commands, from a right click in the result list through the pop-up menu
// to the address handed to the browser, with real mouse events.
#include <QApplication>
#include <QMenu>
#include <string>
#include <vector>

#include "app/catalogue_site.h"
#include "app/download_commands.h"
#include "app/main_window.h"
#include "runtime/window_services.h"
#include "shell_harness.h"

namespace mvsearch::testing {
namespace {

const QString CLOUD_DRIVE = QStringLiteral("menu_cloud_drive");
const QString SECOND_LINE = QStringLiteral("menu_second_line");

std::string expected_detail_request(const std::string& id) {
  return expected_post("/imv.asp?id=" + id, std::string(DETAIL_URL_PREFIX) + id, "");
}

std::string result(const std::string& id, const std::string& title) {
  return "<td><a href=\"/imv.asp?id=" + id + "\" class=\"link\"><span>" + title +
         "</span></a></td>";
}

class DownloadTest : public ShellTest {
 protected:
  void SetUp() override {
    ShellTest::SetUp();
    set_search_page("A" + result("1", "One") + "B" + result("2", "Two") + result("3", "Three") +
                    result("4", "Four"));
  }

  // Searches, so that the list holds One, Two, Three and Four.
  void search() {
    type_keyword("k");
    click_search();
    ASSERT_EQ(rows(), (QStringList{"One", "Two", "Three", "Four"}));
    clear_requests();
  }

  [[nodiscard]] std::vector<std::string> targets() const {
    std::vector<std::string> sent;
    for (const LoopbackRequest& request : requests()) sent.push_back(request.target);
    return sent;
  }
};

TEST_F(DownloadTest, BothCommandsPostForTheSelectedRow) {
  set_detail_page("2", "<script>window.location.href=\"https://x/y\";</script>");
  run_program([&] {
    search();
    left_click_row(1);
    ASSERT_EQ(read_property(超级列表框1, PROP_LIST_SELECTION).as_int(), 1);

    ASSERT_TRUE(right_click_and_choose(1, CLOUD_DRIVE));
    EXPECT_EQ(last_menu_position(), last_click_position() + QPoint(3, 3));
    // Either mouse button chooses.
    ASSERT_TRUE(right_click_and_choose(1, SECOND_LINE, Qt::RightButton));

    const std::vector<LoopbackRequest> sent = requests();
    ASSERT_EQ(sent.size(), 2u);
    EXPECT_EQ(sent[0].raw, expected_detail_request("2"));
    EXPECT_EQ(sent[1].raw, expected_detail_request("2"));
    EXPECT_FALSE(read_property(menu_download, PROP_MENU_DISABLED).as_bool());
  });
  EXPECT_EQ(opened_addresses(), std::vector<std::string>{"https://x/y"});
}

TEST_F(DownloadTest, EachCommandFindsItsOwnRedirect) {
  struct Case {
    const char* name;
    std::string page;  // UTF-8, as the site sends it
    std::vector<std::string> cloud_drive;
    std::vector<std::string> second_line;
  };
  const Case cases[] = {
      {"https redirect", "window.location.href=\"https://x/y\";", {"https://x/y"}, {}},
      // After "http" comes "s", not ":".
      {"http redirect", "window.location.href=\"http://x/y\";", {}, {"http://x/y"}},
      {"case matters", "Window.Location.Href=\"https://x/y\";", {}, {}},
      {"first of several",
       "window.location.href=\"https://first/a\"; window.location.href=\"https://second/b\";"
       "window.location.href=\"http://third/c\"; window.location.href=\"http://fourth/d\";",
       {"https://first/a"},
       {"http://third/c"}},
      {"no semicolon", "window.location.href=\"https://x/y\"</script>", {}, {}},
      {"no redirect at all", "<html>gone</html>", {}, {}},
      {"a non-ASCII address crosses GBK",
       "window.location.href=\"https://x/\xE6\xAD\x8C\";",
       {"https://x/\xE6\xAD\x8C"},
       {}},
  };
  run_program([&] {
    search();
    left_click_row(2);
    for (const Case& c : cases) {
      SCOPED_TRACE(c.name);
      set_detail_page("3", c.page);
      const std::size_t before = opened_addresses().size();
      ASSERT_TRUE(right_click_and_choose(2, CLOUD_DRIVE));
      const std::vector<std::string> all = opened_addresses();
      EXPECT_EQ(std::vector<std::string>(all.begin() + static_cast<long>(before), all.end()),
                c.cloud_drive);
      const std::size_t middle = all.size();
      ASSERT_TRUE(right_click_and_choose(2, SECOND_LINE));
      const std::vector<std::string> after = opened_addresses();
      EXPECT_EQ(std::vector<std::string>(after.begin() + static_cast<long>(middle), after.end()),
                c.second_line);
    }
    EXPECT_EQ(targets(), std::vector<std::string>(2 * std::size(cases), "/imv.asp?id=3"));
  });
}

TEST_F(DownloadTest, WithSeveralRowsSelectedTheFirstCounts) {
  set_detail_page("2", "window.location.href=\"https://two/\";");
  set_detail_page("4", "window.location.href=\"https://four/\";");
  run_program([&] {
    search();
    left_click_row(1);
    left_click_row(3, Qt::ControlModifier);
    // A right click on a selected row keeps the selection as it is.
    ASSERT_TRUE(right_click_and_choose(3, CLOUD_DRIVE));
    EXPECT_EQ(read_property(超级列表框1, PROP_LIST_SELECTION).as_int(), 1);
    EXPECT_EQ(targets(), std::vector<std::string>{"/imv.asp?id=2"});
  });
  EXPECT_EQ(opened_addresses(), std::vector<std::string>{"https://two/"});
}

TEST_F(DownloadTest, RightClickWithoutSelectionShowsNoMenuAndDisablesIt) {
  run_program([&] {
    // An empty list, then a filled one with nothing selected.
    EXPECT_FALSE(right_click_only(-1));
    EXPECT_TRUE(read_property(menu_download, PROP_MENU_DISABLED).as_bool());
    search();
    EXPECT_FALSE(right_click_only(-1));
    EXPECT_TRUE(read_property(menu_download, PROP_MENU_DISABLED).as_bool());
    EXPECT_EQ(QApplication::activePopupWidget(), nullptr);

    // A command that arrives without a selection does nothing.
    on_cloud_drive_selected();
    on_second_line_selected();
    EXPECT_TRUE(requests().empty());

    // With a row selected the menu is enabled again.
    left_click_row(0);
    EXPECT_TRUE(right_click_only(0));
    EXPECT_FALSE(read_property(menu_download, PROP_MENU_DISABLED).as_bool());
  });
  EXPECT_TRUE(opened_addresses().empty());
}

TEST_F(DownloadTest, RightClickOnAnUnselectedRowUsesTheRowTheListSelected) {
  set_detail_page("3", "window.location.href=\"https://three/\";");
  run_program([&] {
    search();
    left_click_row(0);
    // The list selects the row on the press; event 5 comes after that.
    ASSERT_TRUE(right_click_and_choose(2, CLOUD_DRIVE));
    EXPECT_EQ(targets(), std::vector<std::string>{"/imv.asp?id=3"});
  });
  EXPECT_EQ(opened_addresses(), std::vector<std::string>{"https://three/"});
}

TEST_F(DownloadTest, DisabledItemIsShownGreyedAndCannotBeChosen) {
  set_detail_page("1", "window.location.href=\"http://x/y\";");
  run_program([&] {
    search();
    left_click_row(0);
    write_property(menu_second_line, PROP_MENU_DISABLED, true);
    EXPECT_TRUE(read_property(menu_second_line, PROP_MENU_DISABLED).as_bool());
    EXPECT_TRUE(right_click_and_choose(0, SECOND_LINE));
    EXPECT_TRUE(requests().empty());
    write_property(menu_second_line, PROP_MENU_DISABLED, false);
    EXPECT_TRUE(right_click_and_choose(0, SECOND_LINE));
    EXPECT_EQ(targets(), std::vector<std::string>{"/imv.asp?id=1"});
  });
  EXPECT_EQ(opened_addresses(), std::vector<std::string>{"http://x/y"});
}

TEST_F(DownloadTest, DismissedMenuRunsNoCommand) {
  set_detail_page("1", "window.location.href=\"https://x/y\";");
  run_program([&] {
    search();
    left_click_row(0);
    EXPECT_TRUE(right_click_only(0));
    settle();
    EXPECT_TRUE(requests().empty());
  });
  EXPECT_TRUE(opened_addresses().empty());
}

TEST_F(DownloadTest, PieceWithoutIdStillAsksForTheEmptyId) {
  set_search_page("A<td><a href=/imv.asp?x class=link><span>NoId</span></a></td>");
  set_detail_page("", "window.location.href=\"http://empty/\";");
  run_program([&] {
    type_keyword("k");
    click_search();
    ASSERT_EQ(rows(), QStringList{"NoId"});
    clear_requests();
    left_click_row(0);
    ASSERT_TRUE(right_click_and_choose(0, SECOND_LINE));
    EXPECT_EQ(targets(), std::vector<std::string>{"/imv.asp?id="});
  });
  EXPECT_EQ(opened_addresses(), std::vector<std::string>{"http://empty/"});
}

}  // namespace
}  // namespace mvsearch::testing
