#include "shell_harness.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QAbstractItemModel>
#include <QApplication>
#include <QCoreApplication>
#include <QInputMethodEvent>
#include <QTest>
#include <QTimer>
#include <cstdlib>

#include "app/catalogue_site.h"
#include "app/start_program.h"
#include "platform/shell_open.h"
#include "runtime/window_services.h"

namespace mvsearch::testing {

std::string expected_post(const std::string& path, const std::string& url,
                          const std::string& body) {
  return "POST " + path + " HTTP/1.1\r\nHost: " + std::string(CATALOGUE_HOST) +
         "\r\nUser-Agent: " + std::string(BROWSER_AGENT) + "\r\nAccept: */*\r\nReferer: " + url +
         "\r\nAccept-Language: zh-cn\r\nContent-Type: application/x-www-form-urlencoded\r\n"
         "Content-Length: " +
         std::to_string(body.size()) + "\r\n\r\n" + body;
}
namespace {

SystemTime g_clock{};
SystemTime read_clock() { return g_clock; }

std::vector<std::string> g_opened;
std::vector<bool> g_window_visible;
QPoint g_last_click;
QPoint g_last_menu;

QWidget* find_main_window() {
  QWidget* found = nullptr;
  for (QWidget* widget : QApplication::topLevelWidgets()) {
    if (widget->objectName() != QLatin1String("main_window")) continue;
    if (widget->isVisible()) return widget;
    found = widget;
  }
  return found;
}

template <class T>
T* find_control(const char* utf8_name) {
  QWidget* w = find_main_window();
  return w == nullptr ? nullptr : w->findChild<T*>(QString::fromUtf8(utf8_name));
}

bool record_open(std::string_view utf8_file) {
  g_opened.emplace_back(utf8_file);
  const QWidget* w = find_main_window();
  g_window_visible.push_back(w != nullptr && w->isVisible());
  return true;
}

// A port on 127.0.0.1 where nothing listens: bound once to learn a free one, then closed.
std::uint16_t closed_port() {
  const int fd = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t length = sizeof address;
  if (fd < 0 || bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
      getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
    ADD_FAILURE() << "no loopback socket";
  }
  close(fd);
  return ntohs(address.sin_port);
}

QPoint row_point(QTableView* view, int row) {
  if (row < 0) {
    // The empty area under the rows, away from the scroll bars.
    return QPoint(300, view->viewport()->height() - 10);
  }
  const QRect rect = view->visualRect(view->model()->index(row, 0));
  return QPoint(300, rect.center().y());
}

}  // namespace

std::vector<std::string> opened_addresses() { return g_opened; }
std::vector<bool> window_visible_at_open() { return g_window_visible; }
QPoint ShellTest::last_click_position() { return g_last_click; }
QPoint ShellTest::last_menu_position() { return g_last_menu; }

void ShellTest::SetUp() {
  runtime_init();
  set_clock(2020, 8, 5, 14, 0, 0);
  set_local_time_source(read_clock);
  g_opened.clear();
  g_window_visible.clear();
  set_shell_launcher(record_open);
  server_ = std::make_unique<LoopbackServer>(
      [this](const LoopbackRequest& request) { return answer(request); });
  point_catalogue_at(server_->port());
}

void ShellTest::TearDown() {
  unsetenv("MVSEARCH_CONNECT_TO");
  set_shell_launcher(nullptr);
  set_local_time_source(nullptr);
  server_.reset();
}

void ShellTest::set_clock(int year, int month, int day, int hour, int minute, int second,
                          int milliseconds) {
  g_clock = SystemTime{static_cast<std::uint16_t>(year),
                       static_cast<std::uint16_t>(month),
                       0,
                       static_cast<std::uint16_t>(day),
                       static_cast<std::uint16_t>(hour),
                       static_cast<std::uint16_t>(minute),
                       static_cast<std::uint16_t>(second),
                       static_cast<std::uint16_t>(milliseconds)};
}

void ShellTest::set_search_page(std::string page) {
  const std::lock_guard lock(pages_mutex_);
  search_page_ = std::move(page);
}

void ShellTest::set_detail_page(const std::string& id, std::string page) {
  const std::lock_guard lock(pages_mutex_);
  detail_pages_[id] = std::move(page);
}

void ShellTest::unplug_catalogue() { point_catalogue_at(closed_port()); }

void ShellTest::point_catalogue_at(std::uint16_t port) {
  const std::string connect_to =
      std::string(CATALOGUE_HOST) + ":80:127.0.0.1:" + std::to_string(port);
  setenv("MVSEARCH_CONNECT_TO", connect_to.c_str(), 1);
}

LoopbackResponse ShellTest::answer(const LoopbackRequest& request) {
  const std::lock_guard lock(pages_mutex_);
  LoopbackResponse response;
  response.headers.push_back("Content-Type: text/html; charset=utf-8");
  constexpr std::string_view detail_prefix = "/imv.asp?id=";
  if (request.target == "/isearch.asp") {
    response.body = search_page_;
    return response;
  }
  if (request.target.starts_with(detail_prefix)) {
    const auto found = detail_pages_.find(request.target.substr(detail_prefix.size()));
    if (found != detail_pages_.end()) {
      response.body = found->second;
      return response;
    }
  }
  response.status = 404;
  response.reason = "Not Found";
  response.body = "<html><body>Not Found</body></html>";
  return response;
}

int ShellTest::run_program(const std::function<void()>& script) {
  QTimer::singleShot(0, qApp, [&script] {
    if (QWidget* w = find_main_window()) {
      EXPECT_TRUE(QTest::qWaitForWindowExposed(w));
      script();
    } else {
      ADD_FAILURE() << "main_window was not shown";
    }
    if (QWidget* w = find_main_window()) w->close();
  });
  return start_program();
}

QWidget* ShellTest::window() { return find_main_window(); }
QLabel* ShellTest::label() { return find_control<QLabel>("标签1"); }
QLineEdit* ShellTest::edit() { return find_control<QLineEdit>("编辑框1"); }
QPushButton* ShellTest::button() { return find_control<QPushButton>("按钮1"); }
QTableView* ShellTest::list() { return find_control<QTableView>("超级列表框1"); }

void ShellTest::type_keyword(const QString& keyword) {
  QLineEdit* box = edit();
  ASSERT_NE(box, nullptr);
  QTest::mouseClick(box, Qt::LeftButton);
  box->selectAll();
  QTest::keyClick(box, Qt::Key_Delete);
  type_text(box, keyword);
}

void ShellTest::type_text(QWidget* widget, const QString& text) {
  for (const QChar c : text) {
    if (c.unicode() < 0x80) {
      QTest::keyClick(widget, c.toLatin1());
    } else {
      QInputMethodEvent commit;
      commit.setCommitString(QString(c));
      QCoreApplication::sendEvent(widget, &commit);
    }
  }
}

void ShellTest::click_search() {
  QPushButton* b = button();
  ASSERT_NE(b, nullptr);
  QTest::mouseClick(b, Qt::LeftButton);
  settle();
}

void ShellTest::left_click_row(int row, Qt::KeyboardModifiers modifiers) {
  QTableView* view = list();
  ASSERT_NE(view, nullptr);
  QTest::mouseClick(view->viewport(), Qt::LeftButton, modifiers, row_point(view, row));
  settle();
}

bool ShellTest::right_click_and_choose(int row, const QString& item_name, Qt::MouseButton button) {
  QTableView* view = list();
  if (view == nullptr) {
    ADD_FAILURE() << "no list";
    return false;
  }
  bool opened = false;
  int polls = 0;
  QTimer driver;
  driver.setInterval(5);
  QObject::connect(&driver, &QTimer::timeout, [&] {
    auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
    if (menu == nullptr) {
      if (++polls > 400) driver.stop();
      return;
    }
    driver.stop();
    opened = true;
    g_last_menu = menu->pos();
    QAction* chosen = nullptr;
    for (QAction* action : menu->actions()) {
      if (action->objectName() == item_name) chosen = action;
    }
    if (chosen == nullptr) {
      QTest::keyClick(menu, Qt::Key_Escape);
      return;
    }
    const QPoint centre = menu->actionGeometry(chosen).center();
    QTest::mouseMove(menu, centre);
    QTest::mouseClick(menu, button, Qt::NoModifier, centre);
    // A click on a disabled item chooses nothing and leaves the menu open.
    if (menu->isVisible()) menu->close();
  });
  driver.start();
  const QPoint point = row_point(view, row);
  g_last_click = view->viewport()->mapToGlobal(point);
  QTest::mouseClick(view->viewport(), Qt::RightButton, Qt::NoModifier, point);
  // The list's event 5 is posted; running it opens the menu, which the driver closes.
  settle();
  driver.stop();
  return opened;
}

bool ShellTest::right_click_only(int row) { return right_click_and_choose(row, QString()); }

QStringList ShellTest::rows() {
  settle();  // rows added at the end reach the view once the event loop runs
  QStringList titles;
  QTableView* view = list();
  if (view == nullptr) return titles;
  const QAbstractItemModel* model = view->model();
  for (int r = 0; r < model->rowCount(); ++r) titles << model->index(r, 0).data().toString();
  return titles;
}

void ShellTest::settle() {
  for (int i = 0; i < 3; ++i) QCoreApplication::processEvents(QEventLoop::AllEvents);
}

}  // namespace mvsearch::testing
