// The window services of the run time: start-up and exit routines, windows built from a
// WindowDescription, the message loop, property access by number, list rows, pop-up menus
// and opening an address in the browser.
//
// The interface knows no toolkit. A window backend (the Qt one lives in runtime/qt/)
// defines these functions, except register_exit_routine, run_exit_routines and open_url,
// which are the same for every backend. Controls, menus and menu items are named as in
// their description. Every text is a GBK Text; what a toolkit holds in another encoding
// is converted at the backend's edge, and a character that GBK lacks becomes "?".
//
// Everything runs on the one GUI thread. Handlers run one at a time, each to its end; an
// event that arrives while a handler runs is delivered after it has returned.
#pragma once

#include <string_view>
#include <utility>
#include <variant>

#include "runtime/optional_arg.h"
#include "runtime/text.h"
#include "runtime/window_description.h"

namespace mvsearch {

// Property numbers.
inline constexpr int PROP_VISIBLE = 5;          // any control, menu or item: visible (bool)
inline constexpr int PROP_EDIT_CONTENT = 8;     // edit box: its current text (Text)
inline constexpr int PROP_LIST_SELECTION = 35;  // list view: first selected row from 0, or -1
inline constexpr int PROP_MENU_DISABLED = 2;    // menu or menu item: disabled (bool)

// Error code of the fatal run-time error raised when a window cannot be created.
inline constexpr int ERROR_WINDOW_NOT_CREATED = 2;

// A property's value: a boolean, an integer or a Text, read in whichever form is needed.
class PropertyValue {
 public:
  PropertyValue() = default;
  PropertyValue(bool value) : value_(value) {}               // NOLINT: implicit
  PropertyValue(int value) : value_(value) {}                // NOLINT: implicit
  PropertyValue(Text value) : value_(std::move(value)) {}    // NOLINT: implicit
  PropertyValue(const char* value) : value_(Text(value)) {}  // NOLINT: implicit

  // false, 0 and the empty Text are false.
  [[nodiscard]] bool as_bool() const;
  // A boolean as 1 or 0, a Text by to_int.
  [[nodiscard]] int as_int() const;
  // A number in decimal, a boolean as "1" or "0".
  [[nodiscard]] Text as_text() const;

  friend bool operator==(const PropertyValue&, const PropertyValue&) = default;

 private:
  std::variant<bool, int, Text> value_{false};
};

using ExitRoutine = void (*)();

// Prepares the run time: the toolkit, the fatal error box. Safe to call again.
void runtime_init();

// Each registered routine runs once, in the order of registration, at program exit;
// registering a routine again does not make it run twice.
void register_exit_routine(ExitRoutine routine);
// Runs the registered routines now, once each, and forgets them. Program exit calls it;
// a host that ends the program some other way calls it itself.
void run_exit_routines();

// Creates the window and its controls, shows the controls marked visible, raises the
// window's created event, then shows the window if it is marked visible. A window that
// cannot be created is the fatal run-time error ERROR_WINDOW_NOT_CREATED.
void load_window(const WindowDescription& window);

// Handles events one at a time until no window of the program is left.
void run_message_loop();

// An unknown control or a number that does not apply to it reads as false and is not
// written.
[[nodiscard]] PropertyValue read_property(std::string_view control, int number);
void write_property(std::string_view control, int number, const PropertyValue& value);

// Removes every row of the list view.
void list_delete_all(std::string_view list);
// Inserts a row showing title in the first column at index position (from 0), or at the
// end when position is negative or past the end. Returns the new row's index, or -1.
int list_insert_item(std::string_view list, int position, std::string_view title);

// Shows the visible items of a top-level menu of the window as a pop-up menu, also when
// the menu is hidden from the menu bar; disabled items are greyed and either mouse button
// chooses. Without x and y (client coordinates of the window) it opens 3 pixels right of
// and below the mouse pointer. Returns when the menu has closed; the chosen item's
// selected event arrives afterwards.
void popup_menu(std::string_view window, std::string_view menu, Optional<int> x = {},
                Optional<int> y = {});

// Opens the address with the shell's "open" verb; nothing waits for the browser, and a
// failure is silent.
void open_url(std::string_view address);

}  // namespace mvsearch
