// ShellTest: runs the real program in-process, with its real window (offscreen), against
// a loopback server that plays the catalogue site, with the local clock set and every
// address handed to the browser recorded.
//
//   run_program([&] { type_keyword("a b"); click_search(); ... });
//
// The script runs inside the program's message loop once the window has been shown; the
// window is closed after it, so start_program returns.
#pragma once

#include <gtest/gtest.h>

#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPoint>
#include <QPushButton>
#include <QString>
#include <QStringList>
#include <QTableView>
#include <QWidget>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "loopback_server/loopback_server.h"
#include "platform/local_time.h"

namespace mvsearch::testing {

// A POST to the catalogue site as the HTTP layer puts it on the wire: the five header lines
// of the commands, then Host and Content-Length, which are the layer's own.
std::string expected_post(const std::string& path, const std::string& url, const std::string& body);

// Addresses handed to the browser, in UTF-8, in order.
std::vector<std::string> opened_addresses();
// Whether main_window was visible at each hand-off.
std::vector<bool> window_visible_at_open();

class ShellTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  // The local clock that GetLocalTime reports from now on.
  static void set_clock(int year, int month, int day, int hour, int minute, int second,
                        int milliseconds = 0);

  // The catalogue's answers: the search page, and the detail page of an id (UTF-8).
  void set_search_page(std::string page);
  void set_detail_page(const std::string& id, std::string page);
  // Sends the catalogue host to a port where nothing listens.
  void unplug_catalogue();
  [[nodiscard]] std::vector<LoopbackRequest> requests() const { return server_->requests(); }
  void clear_requests() { server_->clear_requests(); }

  // Runs start_program with the script; returns its result.
  int run_program(const std::function<void()>& script);

  // The live widgets of main_window, found by their control names.
  static QWidget* window();
  static QLabel* label();
  static QLineEdit* edit();
  static QPushButton* button();
  static QTableView* list();

  // User actions, as real mouse and key events.
  static void type_keyword(const QString& keyword);
  // Types into the widget: ASCII as key clicks, anything else as an input method's commit.
  static void type_text(QWidget* widget, const QString& text);
  static void click_search();
  static void left_click_row(int row, Qt::KeyboardModifiers modifiers = Qt::NoModifier);
  // Right-clicks the row (or, for -1, the empty area under the rows) and, when the menu
  // opens, clicks the item with the button. Returns whether the menu opened; the chosen
  // command has run when it returns.
  static bool right_click_and_choose(int row, const QString& item_name,
                                     Qt::MouseButton button = Qt::LeftButton);
  // Right-clicks and dismisses the menu if it opens; returns whether it opened.
  static bool right_click_only(int row);

  // Where the last right click happened and where its menu opened, in global coordinates.
  [[nodiscard]] static QPoint last_click_position();
  [[nodiscard]] static QPoint last_menu_position();

  [[nodiscard]] static QStringList rows();
  // Lets queued events run.
  static void settle();

 private:
  LoopbackResponse answer(const LoopbackRequest& request);
  void point_catalogue_at(std::uint16_t port);

  std::unique_ptr<LoopbackServer> server_;
  mutable std::mutex pages_mutex_;
  std::string search_page_;
  std::map<std::string, std::string> detail_pages_;
};

}  // namespace mvsearch::testing
