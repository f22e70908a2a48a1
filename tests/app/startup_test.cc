// The program's start: the window as built from its description, the promotion label and
// page, the time stamp, and the end of the program.
#include <QApplication>
#include <QGuiApplication>
#include <QHeaderView>
#include <QMenuBar>
#include <QScreen>
#include <QTest>
#include <QWindow>

#include "app/main_window.h"
#include "app/promotion.h"
#include "app/result_pieces.h"
#include "app/search_command.h"
#include "app/timestamp.h"
#include "runtime/window_services.h"
#include "shell_harness.h"

namespace mvsearch::testing {
namespace {

using StartupTest = ShellTest;

TEST_F(StartupTest, ControlsStandWhereTheDescriptionPutsThem) {
  struct Case {
    const char* name;
    QRect geometry;
    QString text;
    int font_height;
    bool visible;
  };
  const Case cases[] = {
      {"标签1", QRect(32, 48, 352, 48), QString::fromUtf8("喜欢玩Vandrel的点击此处"), 16, false},
      {"编辑框1", QRect(184, 7, 704, 32), QString(), 19, true},
      {"按钮1", QRect(449, 47, 168, 48), QString::fromUtf8("搜索"), 16, true},
      {"超级列表框1", QRect(8, 104, 1032, 448), QString(), 29, true},
  };
  run_program([&] {
    for (const Case& c : cases) {
      SCOPED_TRACE(c.name);
      auto* control = window()->findChild<QWidget*>(QString::fromUtf8(c.name));
      ASSERT_NE(control, nullptr);
      EXPECT_EQ(control->geometry(), c.geometry);
      EXPECT_EQ(control->font().pixelSize(), c.font_height);
      EXPECT_EQ(control->font().weight(), QFont::Normal);
      EXPECT_EQ(!control->isHidden(), c.visible);
      EXPECT_EQ(control->isEnabled(), true);
      if (auto* l = qobject_cast<QLabel*>(control)) {
        EXPECT_EQ(l->text(), c.text);
      } else if (auto* e = qobject_cast<QLineEdit*>(control)) {
        EXPECT_EQ(e->text(), c.text);
      } else if (auto* b = qobject_cast<QPushButton*>(control)) {
        EXPECT_EQ(b->text(), c.text);
      }
    }
  });
}

TEST_F(StartupTest, WindowHasAFixedFrameOfOuterSizeCentredOnTheScreen) {
  run_program([&] {
    QWidget* w = window();
    EXPECT_EQ(w->frameGeometry().size(), QSize(1064, 616));
    EXPECT_EQ(w->minimumSize(), w->maximumSize());
    const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
    // A platform may pull a window that is wider than its screen back onto it.
    if (screen.width() >= 1064 && screen.height() >= 616) {
      EXPECT_EQ(w->frameGeometry().topLeft(), QPoint(screen.x() + (screen.width() - 1064) / 2,
                                                     screen.y() + (screen.height() - 616) / 2));
    }
    const Qt::WindowFlags flags = w->windowFlags();
    EXPECT_TRUE(flags & Qt::WindowTitleHint);
    EXPECT_TRUE(flags & Qt::WindowSystemMenuHint);
    EXPECT_TRUE(flags & Qt::WindowMinimizeButtonHint);
    EXPECT_TRUE(flags & Qt::WindowCloseButtonHint);
    EXPECT_FALSE(flags & Qt::WindowMaximizeButtonHint);
    EXPECT_TRUE(w->windowTitle().isEmpty());
    // The download menu serves only as the list's pop-up menu.
    EXPECT_TRUE(w->findChildren<QMenuBar*>().isEmpty());
  });
}

TEST_F(StartupTest, ControlsAreStyledAsDescribed) {
  run_program([&] {
    QLabel* promo = label();
    EXPECT_EQ(promo->palette().color(QPalette::WindowText), QColor(255, 0, 0));
    EXPECT_EQ(promo->alignment(), Qt::AlignCenter);
    EXPECT_FALSE(promo->wordWrap());
    EXPECT_EQ(promo->frameShape(), QFrame::NoFrame);

    QLineEdit* box = edit();
    EXPECT_EQ(box->echoMode(), QLineEdit::Normal);
    EXPECT_EQ(box->palette().color(QPalette::Text), QColor(0, 0, 0));
    EXPECT_EQ(box->palette().color(QPalette::Base), QColor(255, 255, 255));

    QTableView* view = list();
    ASSERT_EQ(view->model()->columnCount(), 1);
    EXPECT_EQ(view->model()->headerData(0, Qt::Horizontal).toString(), QString::fromUtf8("歌名"));
    EXPECT_EQ(view->columnWidth(0), 1000);
    EXPECT_TRUE(view->horizontalHeader()->isVisible());
    EXPECT_FALSE(view->verticalHeader()->isVisible());
    EXPECT_TRUE(
        view->model()->headerData(0, Qt::Horizontal, Qt::TextAlignmentRole).value<Qt::Alignment>() &
        Qt::AlignLeft);
    EXPECT_EQ(view->selectionBehavior(), QAbstractItemView::SelectRows);
    EXPECT_EQ(view->selectionMode(), QAbstractItemView::ExtendedSelection);
    EXPECT_TRUE(view->showGrid());
    EXPECT_EQ(view->palette().color(QPalette::Text), QColor(0, 0, 0));
    EXPECT_EQ(view->palette().color(QPalette::Base), QColor(255, 255, 255));
    EXPECT_EQ(view->model()->rowCount(), 0);
    EXPECT_EQ(read_property(超级列表框1, PROP_LIST_SELECTION).as_int(), -1);
  });
}

TEST_F(StartupTest, FocusStartsInTheEditBoxAndTabSkipsLabelAndList) {
  run_program([&] {
    QApplication::setActiveWindow(window());
    EXPECT_EQ(QApplication::focusWidget(), edit());
    QTest::keyClick(edit(), Qt::Key_Tab);
    EXPECT_EQ(QApplication::focusWidget(), button());
    QTest::keyClick(button(), Qt::Key_Tab);
    EXPECT_EQ(QApplication::focusWidget(), edit());
  });
}

TEST_F(StartupTest, EditBoxHasNoLengthLimitAndTextCrossesAsGbk) {
  run_program([&] {
    const Text long_text(40000, 'x');
    write_property(编辑框1, PROP_EDIT_CONTENT, long_text);
    EXPECT_EQ(read_property(编辑框1, PROP_EDIT_CONTENT).as_text(), long_text);

    // 歌 in GBK; the Thai letter has no GBK form and comes back as "?".
    edit()->clear();
    type_text(edit(), QString::fromUtf8("歌a\u0E01"));
    EXPECT_EQ(read_property(编辑框1, PROP_EDIT_CONTENT).as_text(),
              "\xB8\xE8"
              "a?");
  });
}

// The promotion runs from local 2020-08-05 14:00:01 on, and is decided before the window
// is first shown.
class PromotionTest : public ShellTest {
 protected:
  // Records, at the window's first Show event, whether the label was visible.
  struct ShowWatch : QObject {
    bool shown = false;
    bool label_visible_at_show = false;
    std::size_t opened_at_show = 0;
    bool eventFilter(QObject* watched, QEvent* event) override {
      if (event->type() == QEvent::Show && !shown &&
          watched->objectName() == QLatin1String("main_window")) {
        shown = true;
        auto* l = static_cast<QWidget*>(watched)->findChild<QLabel*>(QString::fromUtf8("标签1"));
        label_visible_at_show = l != nullptr && !l->isHidden();
        opened_at_show = opened_addresses().size();
      }
      return false;
    }
  };
};

TEST_F(PromotionTest, AtTheStartMomentTheLabelStaysHiddenAndNothingOpens) {
  set_clock(2020, 8, 5, 14, 0, 0, 999);
  ShowWatch watch;
  qApp->installEventFilter(&watch);
  run_program([&] {
    EXPECT_TRUE(label()->isHidden());
    // A click where the label would be reaches the window, and nothing happens.
    QWidget* client = label()->parentWidget();
    QTest::mouseClick(client, Qt::LeftButton, Qt::NoModifier, label()->geometry().center());
    settle();
  });
  qApp->removeEventFilter(&watch);
  EXPECT_TRUE(watch.shown);
  EXPECT_FALSE(watch.label_visible_at_show);
  EXPECT_TRUE(opened_addresses().empty());
}

TEST_F(PromotionTest, OneSecondLaterTheLabelShowsAndThePageOpensBeforeTheWindow) {
  set_clock(2020, 8, 5, 14, 0, 1);
  ShowWatch watch;
  qApp->installEventFilter(&watch);
  std::vector<std::string> opened_before_click;
  run_program([&] {
    opened_before_click = opened_addresses();
    EXPECT_FALSE(label()->isHidden());
    EXPECT_TRUE(read_property(标签1, PROP_VISIBLE).as_bool());
    QTest::mouseClick(label(), Qt::LeftButton);
    QTest::mouseClick(label(), Qt::LeftButton);
    // Only the left button clicks the label.
    QTest::mouseClick(label(), Qt::RightButton);
    settle();
  });
  qApp->removeEventFilter(&watch);
  EXPECT_TRUE(watch.label_visible_at_show);
  EXPECT_EQ(watch.opened_at_show, 1u);
  const std::string page(PROMO_PAGE_ADDRESS);
  EXPECT_EQ(opened_before_click, std::vector<std::string>{page});
  EXPECT_EQ(opened_addresses(), (std::vector<std::string>{page, page, page}));
  EXPECT_EQ(window_visible_at_open(), (std::vector<bool>{false, true, true}));
}

TEST(PromoPageAddressTest, IsAnHttpsAddressWithoutPath) {
  const std::string_view address = PROMO_PAGE_ADDRESS;
  ASSERT_TRUE(address.starts_with("https://"));
  EXPECT_EQ(address.substr(8).find('/'), std::string_view::npos);
}

TEST_F(ShellTest, TimestampTextCountsFromLocalEightOClock) {
  struct Case {
    int hour, minute, second, milliseconds;
    const char* full;
    const char* seconds_only;
  };
  const Case cases[] = {
      {14, 0, 1, 45, "1596607201045", "1596607201"},
      {14, 0, 1, 7, "1596607201007", "1596607201"},
      {14, 0, 0, 123, "1596607200123", "1596607200"},
      {14, 0, 0, 0, "1596607200000", "1596607200"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.full);
    set_clock(2020, 8, 5, c.hour, c.minute, c.second, c.milliseconds);
    EXPECT_EQ(timestamp_text(false), c.full);
    EXPECT_EQ(timestamp_text(), c.full);
    EXPECT_EQ(timestamp_text(true), c.seconds_only);
  }
  // Short second counts are padded on the right.
  set_clock(1970, 1, 1, 8, 0, 5, 123);
  EXPECT_EQ(timestamp_text(false), "5123000000000");
  EXPECT_EQ(timestamp_text(true), "5123000000");
}

TEST_F(ShellTest, ClosingTheWindowReturnsZeroAndTheStoreIsReleasedOnceAtExit) {
  static int runs = 0;
  static int pieces_seen = -1;
  runs = 0;
  set_search_page("A<td><a href=\"/imv.asp?id=1\" class=\"link\"><span>One</span></a></td>");
  const int result = run_program([&] {
    type_keyword("x");
    click_search();
    // Registered after start_program's own routine, so it runs after it.
    register_exit_routine([] {
      ++runs;
      pieces_seen = result_pieces.size();
    });
  });
  EXPECT_EQ(result, 0);
  // Closing ends the loop; the pieces go only at exit.
  EXPECT_EQ(result_pieces.size(), 2);
  EXPECT_TRUE(window() == nullptr || !window()->isVisible());
  run_exit_routines();
  EXPECT_EQ(runs, 1);
  EXPECT_EQ(pieces_seen, 0);
  EXPECT_TRUE(result_pieces.empty());
  run_exit_routines();
  EXPECT_EQ(runs, 1);
}

TEST_F(ShellTest, ProgramCanCloseWithoutAnySearch) {
  EXPECT_EQ(run_program([] {}), 0);
  EXPECT_TRUE(result_pieces.empty());
}

TEST(FatalErrorTest, BadIndexEndsTheProcessWithMinusOneAndNoBoxOffscreen) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  runtime_init();
  // With a display the error box waits for the user.
  if (QGuiApplication::platformName() != QLatin1String("offscreen")) GTEST_SKIP();
  EXPECT_EXIT(
      {
        const TextArray empty;
        (void)empty[1];
      },
      ::testing::ExitedWithCode(255), "error code 1");
}

TEST(FatalErrorTest, NoDisplayIsTheFatalErrorOfAWindowThatCannotBeCreated) {
  const std::string command =
      std::string("env -u DISPLAY -u WAYLAND_DISPLAY QT_QPA_PLATFORM=xcb ") + MVSEARCH_PROGRAM +
      " 2>&1";
  FILE* pipe = popen(command.c_str(), "r");
  ASSERT_NE(pipe, nullptr);
  std::string output;
  char buffer[256];
  while (std::fgets(buffer, sizeof buffer, pipe) != nullptr) output += buffer;
  const int status = pclose(pipe);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 255);
  EXPECT_NE(output.find("fatal run-time error"), std::string::npos) << output;
}

}  // namespace
}  // namespace mvsearch::testing
