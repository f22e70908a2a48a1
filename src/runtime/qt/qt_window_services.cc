// The window services on Qt 6 Widgets.
//
// Every window, control, menu and menu item is found by its description's name (also
// its Qt object name). Events reach the program only through the window's wiring, and
// only one handler runs at a time: an event raised while a handler runs waits in a queue
// and is delivered after that handler has returned.
#include <malloc.h>
#include <QAction>
#include <QApplication>
#include <QCursor>
#include <QEventLoop>
#include <QFont>
#include <QFontMetrics>
#include <QHeaderView>
#include <QIcon>
#include <QItemSelectionModel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPalette>
#include <QPointer>
#include <QPushButton>
#include <QScreen>
#include <QThread>
#include <QVBoxLayout>

#include <algorithm>
#include <climits>
#include <deque>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "runtime/fatal_error.h"
#include "runtime/qt/qt_controls.h"
#include "runtime/qt/qt_text.h"
#include "runtime/window_services.h"

namespace mvsearch {
namespace {

constexpr const char* APPLICATION_NAME = "mvsearch";
// Where a pop-up menu opens, relative to the mouse pointer.
constexpr int POPUP_OFFSET = 3;

enum class EntryKind { window, control, menu, menu_item };

struct Entry {
  EntryKind kind = EntryKind::control;
  ControlKind control_kind = ControlKind::label;
  std::string window;
  QPointer<QWidget> widget;
  QPointer<QLineEdit> edit;
  QPointer<ListView> list;
  QPointer<ListModel> model;
  QPointer<QMenu> menu;
  QPointer<QAction> action;  // the item, or the menu's own entry in the menu bar
  // Kept here: Qt reports a hidden action as disabled, and a menu hidden from the menu
  // bar is still enabled.
  bool disabled = false;
};

struct Wire {
  std::string window;
  EventHandler handler = nullptr;
};

struct Backend {
  std::map<std::string, Entry, std::less<>> entries;
  std::map<std::pair<std::string, int>, Wire> wiring;  // by source and event id
  // Handlers waiting for the one that runs to return.
  std::deque<EventHandler> pending;
  bool busy = false;
  bool drain_posted = false;
  int live_windows = 0;
  QEventLoop* loop = nullptr;
  // The pointer as of the last mouse event: offscreen and virtual platforms do not move
  // QCursor with synthesised input, a real one reports the same place.
  QPoint pointer;
  bool pointer_known = false;
};

Backend& backend() {
  static Backend* instance = new Backend;  // lives as long as the process
  return *instance;
}

// Qt's messages go to the previous handler; a fatal one, such as a display that cannot
// be opened, becomes our fatal run-time error.
QtMessageHandler g_previous_handler = nullptr;
// Set once the toolkit is up; a fatal message from Qt itself leaves it unusable.
bool g_qt_usable = false;

void on_qt_message(QtMsgType type, const QMessageLogContext& context, const QString& message) {
  if (type == QtFatalMsg) {
    g_qt_usable = false;
    fatal_error(ERROR_WINDOW_NOT_CREATED, message.toLocal8Bit().toStdString());
  }
  if (g_previous_handler != nullptr) g_previous_handler(type, context, message);
}

bool display_present() {
  if (!g_qt_usable) return false;
  const auto* app = qobject_cast<QApplication*>(QCoreApplication::instance());
  if (app == nullptr || QThread::currentThread() != app->thread()) return false;
  const QString platform = QGuiApplication::platformName();
  return platform != QLatin1String("offscreen") && platform != QLatin1String("minimal") &&
         QGuiApplication::primaryScreen() != nullptr;
}

void present_fatal_error(int error_code, std::string_view message) {
  if (!display_present()) return;
  QMessageBox box(QMessageBox::Critical, QString::fromLatin1(APPLICATION_NAME),
                  gbk_to_qstring(message) + QStringLiteral("\n(error code %1)").arg(error_code),
                  QMessageBox::Ok);
  box.exec();
}

class PointerWatch final : public QObject {
 public:
  using QObject::QObject;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    switch (event->type()) {
      case QEvent::MouseButtonPress:
      case QEvent::MouseButtonRelease:
      case QEvent::MouseMove: {
        Backend& b = backend();
        b.pointer = static_cast<QMouseEvent*>(event)->globalPosition().toPoint();
        b.pointer_known = true;
        break;
      }
      default:
        break;
    }
    return QObject::eventFilter(watched, event);
  }
};

// --- Event delivery ---------------------------------------------------------------

void drain_pending() {
  Backend& b = backend();
  while (!b.busy && !b.pending.empty()) {
    const EventHandler handler = b.pending.front();
    b.pending.pop_front();
    b.busy = true;
    handler();
    b.busy = false;
  }
}

// Runs the handler now, or after the running one when a handler is running.
void deliver(EventHandler handler) {
  Backend& b = backend();
  b.pending.push_back(handler);
  drain_pending();
}

// Runs the handler once control is back in the event loop and no handler runs.
void post(EventHandler handler) {
  Backend& b = backend();
  b.pending.push_back(handler);
  if (b.busy || b.drain_posted) return;
  b.drain_posted = true;
  QMetaObject::invokeMethod(
      qApp,
      [] {
        backend().drain_posted = false;
        drain_pending();
      },
      Qt::QueuedConnection);
}

EventHandler wired_handler(const std::string& source, int event) {
  const Backend& b = backend();
  const auto found = b.wiring.find({source, event});
  return found == b.wiring.end() ? nullptr : found->second.handler;
}

void raise_now(const std::string& source, int event) {
  if (const EventHandler handler = wired_handler(source, event)) deliver(handler);
}

void raise_later(const std::string& source, int event) {
  if (const EventHandler handler = wired_handler(source, event)) post(handler);
}

// --- Building a window --------------------------------------------------------------

Qt::Alignment horizontal(Alignment alignment) {
  switch (alignment) {
    case Alignment::centre:
      return Qt::AlignHCenter;
    case Alignment::right:
      return Qt::AlignRight;
    case Alignment::left:
      break;
  }
  return Qt::AlignLeft;
}

QColor to_qcolor(const Colour& colour) { return QColor(colour.red, colour.green, colour.blue); }

QFont make_font(const FontDescription& description) {
  QFont font = QApplication::font();
  if (!description.face_name.empty()) font.setFamily(gbk_to_qstring(description.face_name));
  // Windows' negative LOGFONT height: the em height, which Qt's pixel size is too.
  if (description.character_height > 0) font.setPixelSize(description.character_height);
  font.setWeight(static_cast<QFont::Weight>(std::clamp(description.weight, 1, 1000)));
  return font;
}

void apply_colours(QWidget* widget, const ControlDescription& description) {
  QPalette palette = widget->palette();
  if (description.has_text_colour) {
    const QColor colour = to_qcolor(description.text_colour);
    palette.setColor(QPalette::WindowText, colour);
    palette.setColor(QPalette::Text, colour);
    palette.setColor(QPalette::ButtonText, colour);
  }
  if (description.has_background_colour) {
    const QColor colour = to_qcolor(description.background_colour);
    palette.setColor(QPalette::Base, colour);
    palette.setColor(QPalette::Window, colour);
    widget->setAutoFillBackground(description.kind == ControlKind::label);
  }
  widget->setPalette(palette);
}

QWidget* make_label(const ControlDescription& description, const std::string& name,
                    QWidget* parent) {
  auto* label = new ClickLabel(parent);
  label->setTextFormat(Qt::PlainText);
  label->setText(gbk_to_qstring(description.text));
  label->setAlignment(horizontal(description.horizontal_alignment) |
                      (description.vertically_centred ? Qt::AlignVCenter : Qt::AlignTop));
  label->setWordWrap(!description.single_line);
  label->setFrameShape(description.border ? QFrame::Box : QFrame::NoFrame);
  label->on_left_click = [name] { raise_now(name, EVENT_LEFT_CLICK); };
  return label;
}

QLineEdit* make_edit_box(const ControlDescription& description, QWidget* parent) {
  auto* edit = new QLineEdit(parent);
  edit->setMaxLength(description.max_length > 0 ? description.max_length : INT_MAX);
  edit->setEchoMode(description.password ? QLineEdit::Password : QLineEdit::Normal);
  edit->setText(gbk_to_qstring(description.text));
  return edit;
}

QWidget* make_button(const ControlDescription& description, const std::string& name,
                     QWidget* parent) {
  auto* button = new QPushButton(gbk_to_qstring(description.text), parent);
  button->setAutoDefault(false);
  QObject::connect(button, &QPushButton::clicked, [name] { raise_now(name, EVENT_CLICK); });
  return button;
}

ListView* make_list_view(const ControlDescription& description, const std::string& name,
                         QWidget* parent, ListModel** model_out) {
  auto* list = new ListView(parent);
  std::vector<ListModel::Column> columns;
  for (const ListColumn& column : description.columns) {
    columns.push_back({gbk_to_qstring(column.title), horizontal(column.alignment)});
  }
  auto* model = new ListModel(std::move(columns), list);
  list->setModel(model);
  list->verticalHeader()->hide();
  QHeaderView* header = list->horizontalHeader();
  header->setVisible(description.header_shown);
  header->setStretchLastSection(false);
  header->setHighlightSections(false);
  header->setSectionsClickable(false);
  for (std::size_t i = 0; i < description.columns.size(); ++i) {
    list->setColumnWidth(static_cast<int>(i), description.columns[i].width);
  }
  list->setShowGrid(description.grid_lines);
  list->setSelectionBehavior(description.full_row_select ? QAbstractItemView::SelectRows
                                                         : QAbstractItemView::SelectItems);
  list->setSelectionMode(description.multiple_selection ? QAbstractItemView::ExtendedSelection
                                                        : QAbstractItemView::SingleSelection);
  list->setEditTriggers(QAbstractItemView::NoEditTriggers);
  list->setWordWrap(false);
  list->setCornerButtonEnabled(false);
  list->setSortingEnabled(false);
  list->setTabKeyNavigation(false);
  list->on_right_click = [name] { raise_later(name, EVENT_LIST_RIGHT_CLICK); };
  *model_out = model;
  return list;
}

void configure_rows(ListView* list) {
  // Rows as high as the list's font needs: Qt's default height follows the style only.
  const QFontMetrics metrics(list->font());
  list->verticalHeader()->setMinimumSectionSize(1);
  list->verticalHeader()->setDefaultSectionSize(metrics.height() + 4);
  list->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
}

Qt::WindowFlags window_flags(const FrameStyle& frame) {
  Qt::WindowFlags flags = Qt::Window | Qt::CustomizeWindowHint;
  if (frame.title_bar) flags |= Qt::WindowTitleHint;
  if (frame.system_menu) flags |= Qt::WindowSystemMenuHint;
  if (frame.minimise_box) flags |= Qt::WindowMinimizeButtonHint;
  if (frame.maximise_box && frame.resizable) flags |= Qt::WindowMaximizeButtonHint;
  if (frame.close_box) flags |= Qt::WindowCloseButtonHint;
  return flags;
}

QMenu* make_menu(const MenuDescription& description, const std::string& window_name,
                 QWidget* window, Backend& b) {
  auto* menu = new QMenu(gbk_to_qstring(description.caption), window);
  menu->setObjectName(QString::fromStdString(description.name));
  menu->menuAction()->setVisible(description.visible);
  menu->menuAction()->setEnabled(description.enabled);
  for (const MenuItemDescription& item : description.items) {
    QAction* action = menu->addAction(gbk_to_qstring(item.caption));
    action->setObjectName(QString::fromStdString(item.name));
    action->setVisible(item.visible);
    action->setEnabled(item.enabled);
    action->setCheckable(item.checked);
    action->setChecked(item.checked);
    Entry entry;
    entry.kind = EntryKind::menu_item;
    entry.window = window_name;
    entry.menu = menu;
    entry.action = action;
    entry.disabled = !item.enabled;
    b.entries[item.name] = entry;
  }
  Entry entry;
  entry.kind = EntryKind::menu;
  entry.window = window_name;
  entry.menu = menu;
  entry.action = menu->menuAction();
  entry.disabled = !description.enabled;
  b.entries[description.name] = entry;
  return menu;
}

void forget_window(const std::string& name) {
  Backend& b = backend();
  std::erase_if(b.entries, [&](const auto& item) { return item.second.window == name; });
  std::erase_if(b.wiring, [&](const auto& item) { return item.second.window == name; });
  b.live_windows = std::max(0, b.live_windows - 1);
  if (b.live_windows == 0 && b.loop != nullptr) b.loop->quit();
}

// --- Property access --------------------------------------------------------------

Entry* find_entry(std::string_view name) {
  Backend& b = backend();
  const auto found = b.entries.find(name);
  return found == b.entries.end() ? nullptr : &found->second;
}

int first_selected_row(const ListView& list) {
  const QItemSelectionModel* selection = list.selectionModel();
  if (selection == nullptr) return -1;
  int first = -1;
  for (const QItemSelectionRange& range : selection->selection()) {
    if (first < 0 || range.top() < first) first = range.top();
  }
  return first;
}

void select_only_row(ListView& list, const ListModel& model, int row) {
  QItemSelectionModel* selection = list.selectionModel();
  if (selection == nullptr) return;
  if (row < 0 || row >= model.rowCount()) {
    selection->clearSelection();
    return;
  }
  selection->setCurrentIndex(model.index(row, 0),
                             QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
}

// A result page is tens of MiB and passes through several whole-page buffers per search.
// glibc hands blocks that large to the kernel on free and back on the next malloc, and
// touching those fresh pages costs more than the conversions themselves. Keeping them in
// the heap changes nothing but the time.
void keep_large_blocks() {
#if defined(__GLIBC__)
  constexpr int MMAP_THRESHOLD = 32 << 20;  // glibc's upper limit on 64-bit systems
  constexpr int TRIM_THRESHOLD = 256 << 20;
  (void)mallopt(M_MMAP_THRESHOLD, MMAP_THRESHOLD);
  (void)mallopt(M_TRIM_THRESHOLD, TRIM_THRESHOLD);
#endif
}

}  // namespace

void runtime_init() {
  static bool done = false;
  if (done) return;
  done = true;
  keep_large_blocks();
  g_previous_handler = qInstallMessageHandler(on_qt_message);
  if (QCoreApplication::instance() == nullptr) {
    // The program takes no arguments: Qt sees only the program name.
    static int argc = 1;
    static char program_name[] = "mvsearch";
    static char* argv[] = {program_name, nullptr};
    new QApplication(argc, argv);  // lives as long as the process
  }
  QCoreApplication::setApplicationName(QString::fromLatin1(APPLICATION_NAME));
  QGuiApplication::setDesktopFileName(QString::fromLatin1(APPLICATION_NAME));
  QGuiApplication::setWindowIcon(QIcon::fromTheme(QString::fromLatin1(APPLICATION_NAME)));
  // Our own loop ends when the last window has gone.
  QGuiApplication::setQuitOnLastWindowClosed(false);
  qApp->installEventFilter(new PointerWatch(qApp));
  g_qt_usable = true;
  set_fatal_error_presenter(present_fatal_error);
}

void load_window(const WindowDescription& description) {
  if (qobject_cast<QApplication*>(QCoreApplication::instance()) == nullptr) runtime_init();
  if (qobject_cast<QApplication*>(QCoreApplication::instance()) == nullptr ||
      QGuiApplication::primaryScreen() == nullptr) {
    fatal_error(ERROR_WINDOW_NOT_CREATED, "the window " + description.name + " cannot be created");
  }
  Backend& b = backend();
  const std::string window_name = description.name;

  auto* window =
      new FixedFrameWindow(QSize(description.width, description.height), description.centred,
                           QPoint(description.left, description.top));
  window->setObjectName(QString::fromStdString(window_name));
  window->setAttribute(Qt::WA_DeleteOnClose);
  window->setWindowFlags(window_flags(description.frame));
  window->setWindowTitle(gbk_to_qstring(description.title));

  auto* layout = new QVBoxLayout(window);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(0);
  auto* client = new QWidget(window);
  client->setObjectName(QStringLiteral("client"));
  layout->addWidget(client);

  Entry window_entry;
  window_entry.kind = EntryKind::window;
  window_entry.window = window_name;
  window_entry.widget = window;
  b.entries[window_name] = window_entry;
  for (const EventBinding& binding : description.events) {
    if (binding.handler != nullptr) {
      b.wiring[{binding.source, binding.event}] = Wire{window_name, binding.handler};
    }
  }

  // Focus stops in tab order; equal orders keep description order.
  std::vector<std::pair<int, QWidget*>> focus_stops;
  for (const ControlDescription& control : description.controls) {
    Entry entry;
    entry.kind = EntryKind::control;
    entry.control_kind = control.kind;
    entry.window = window_name;
    QWidget* widget = nullptr;
    switch (control.kind) {
      case ControlKind::label:
        widget = make_label(control, control.name, client);
        break;
      case ControlKind::edit_box:
        entry.edit = make_edit_box(control, client);
        widget = entry.edit;
        break;
      case ControlKind::button:
        widget = make_button(control, control.name, client);
        break;
      case ControlKind::list_view: {
        ListModel* model = nullptr;
        entry.list = make_list_view(control, control.name, client, &model);
        entry.model = model;
        widget = entry.list;
        break;
      }
    }
    widget->setObjectName(QString::fromStdString(control.name));
    widget->setGeometry(control.left, control.top, control.width, control.height);
    widget->setFont(make_font(control.font));
    apply_colours(widget, control);
    if (entry.list != nullptr) configure_rows(entry.list);
    widget->setEnabled(control.enabled);
    if (control.kind == ControlKind::label) {
      widget->setFocusPolicy(Qt::NoFocus);
    } else {
      widget->setFocusPolicy(control.focus_stop ? Qt::StrongFocus : Qt::ClickFocus);
    }
    if (control.focus_stop) focus_stops.emplace_back(control.tab_order, widget);
    widget->setHidden(!control.visible);
    entry.widget = widget;
    b.entries[control.name] = entry;
  }
  std::stable_sort(focus_stops.begin(), focus_stops.end(),
                   [](const auto& a, const auto& c) { return a.first < c.first; });
  for (std::size_t i = 1; i < focus_stops.size(); ++i) {
    QWidget::setTabOrder(focus_stops[i - 1].second, focus_stops[i].second);
  }

  QMenuBar* menu_bar = nullptr;
  for (const MenuDescription& menu_description : description.menus) {
    QMenu* menu = make_menu(menu_description, window_name, window, b);
    // Only a menu shown in the menu bar gives the window one.
    if (menu_description.visible) {
      if (menu_bar == nullptr) menu_bar = new QMenuBar(window);
      menu_bar->addMenu(menu);
    }
  }
  if (menu_bar != nullptr) layout->setMenuBar(menu_bar);

  if (const Entry* focus = find_entry(description.initial_focus);
      focus != nullptr && focus->widget != nullptr) {
    focus->widget->setFocus(Qt::OtherFocusReason);
  }

  ++b.live_windows;
  QObject::connect(window, &QObject::destroyed, [window_name] { forget_window(window_name); });

  window->winId();  // the platform window exists now, with its frame margins if known
  window->fit_frame();
  raise_now(window_name, EVENT_CREATED);
  if (description.visible) {
    window->show();
    window->activateWindow();
  }
}

void run_message_loop() {
  Backend& b = backend();
  if (b.live_windows == 0 || b.loop != nullptr) return;
  QEventLoop loop;
  b.loop = &loop;
  loop.exec();
  b.loop = nullptr;
}

PropertyValue read_property(std::string_view control, int number) {
  const Entry* entry = find_entry(control);
  if (entry == nullptr) return {};
  switch (number) {
    case PROP_VISIBLE:
      if (entry->widget != nullptr) {
        return entry->kind == EntryKind::window ? entry->widget->isVisible()
                                                : !entry->widget->isHidden();
      }
      if (entry->action != nullptr) return entry->action->isVisible();
      return {};
    case PROP_EDIT_CONTENT:
      if (entry->edit != nullptr) return qstring_to_gbk(entry->edit->text());
      return {};
    case PROP_LIST_SELECTION:
      if (entry->list != nullptr) {
        if (entry->model != nullptr) entry->model->flush();
        return first_selected_row(*entry->list);
      }
      return {};
    case PROP_MENU_DISABLED:
      if (entry->kind == EntryKind::menu || entry->kind == EntryKind::menu_item) {
        return entry->disabled;
      }
      return {};
    default:
      return {};
  }
}

void write_property(std::string_view control, int number, const PropertyValue& value) {
  Entry* entry = find_entry(control);
  if (entry == nullptr) return;
  switch (number) {
    case PROP_VISIBLE:
      if (entry->widget != nullptr) {
        entry->widget->setVisible(value.as_bool());
      } else if (entry->action != nullptr) {
        entry->action->setVisible(value.as_bool());
      }
      break;
    case PROP_EDIT_CONTENT:
      if (entry->edit != nullptr) entry->edit->setText(gbk_to_qstring(value.as_text()));
      break;
    case PROP_LIST_SELECTION:
      if (entry->list != nullptr && entry->model != nullptr) {
        entry->model->flush();
        select_only_row(*entry->list, *entry->model, value.as_int());
      }
      break;
    case PROP_MENU_DISABLED:
      if (entry->kind == EntryKind::menu || entry->kind == EntryKind::menu_item) {
        entry->disabled = value.as_bool();
        if (entry->action != nullptr) entry->action->setEnabled(!entry->disabled);
      }
      break;
    default:
      break;
  }
}

void list_delete_all(std::string_view list) {
  const Entry* entry = find_entry(list);
  if (entry != nullptr && entry->model != nullptr) entry->model->remove_all();
}

int list_insert_item(std::string_view list, int position, std::string_view title) {
  const Entry* entry = find_entry(list);
  if (entry == nullptr || entry->model == nullptr) return -1;
  return entry->model->insert(position, title);
}

void popup_menu(std::string_view window, std::string_view menu, Optional<int> x, Optional<int> y) {
  const Entry* window_entry = find_entry(window);
  const Entry* menu_entry = find_entry(menu);
  if (window_entry == nullptr || window_entry->kind != EntryKind::window ||
      window_entry->widget == nullptr || menu_entry == nullptr ||
      menu_entry->kind != EntryKind::menu || menu_entry->window != window_entry->window ||
      menu_entry->menu == nullptr) {
    return;
  }
  const Backend& b = backend();
  QPoint position = b.pointer_known ? b.pointer : QCursor::pos();
  position += QPoint(POPUP_OFFSET, POPUP_OFFSET);
  if (x.provided() || y.provided()) {
    const QWidget* client = window_entry->widget->findChild<QWidget*>(QStringLiteral("client"));
    const QPoint origin =
        (client != nullptr ? client : window_entry->widget.data())->mapToGlobal(QPoint(0, 0));
    if (x.provided()) position.setX(origin.x() + x.value());
    if (y.provided()) position.setY(origin.y() + y.value());
  }
  const QPointer<QMenu> popup = menu_entry->menu;
  const QAction* chosen = popup->exec(position);
  if (chosen == nullptr || popup == nullptr) return;
  raise_later(chosen->objectName().toStdString(), EVENT_SELECTED);
}

}  // namespace mvsearch
