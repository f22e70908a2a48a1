// WindowDescription: a window with its controls, menus and event wiring as plain data,
// from which a window backend builds the window.
//
// Names (window, controls, menus, items) are the program's own identifiers in UTF-8, as
// written in the source; they never reach the user. Every text shown to the user is a
// GBK Text. Positions and sizes are pixels; control positions are relative to the
// window's client area.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "runtime/text.h"

namespace mvsearch {

// Event ids. A backend delivers only the events that a window's wiring names.
inline constexpr int EVENT_CREATED = 1;     // window: built, not yet shown
inline constexpr int EVENT_CLICK = 2;       // button: clicked (mouse or keyboard)
inline constexpr int EVENT_LEFT_CLICK = 3;  // label: clicked with the left mouse button
inline constexpr int EVENT_SELECTED = 4;    // menu item: chosen
// List view: the right mouse button clicked inside the list, raised after the list's own
// handling of the click (so a selection it made is already there).
inline constexpr int EVENT_LIST_RIGHT_CLICK = 5;

// Windows' GB2312_CHARSET: the font's character set.
inline constexpr int CHARSET_GB2312 = 134;
inline constexpr int FONT_WEIGHT_NORMAL = 400;

using EventHandler = void (*)();

enum class ControlKind { label, edit_box, button, list_view };
enum class Alignment { left, centre, right };

struct Colour {
  std::uint8_t red = 0;
  std::uint8_t green = 0;
  std::uint8_t blue = 0;
  friend bool operator==(const Colour&, const Colour&) = default;
};

struct FontDescription {
  // Character height in pixels (the em height, without internal leading); 0: default.
  int character_height = 0;
  int weight = FONT_WEIGHT_NORMAL;  // 100..900
  int character_set = CHARSET_GB2312;
  Text face_name;  // empty: the system's default face for the character set
};

struct ListColumn {
  Text title;
  int width = 0;
  Alignment alignment = Alignment::left;
};

struct ControlDescription {
  std::string name;
  ControlKind kind = ControlKind::label;
  int left = 0;
  int top = 0;
  int width = 0;
  int height = 0;
  Text text;
  FontDescription font;
  // Colours the control's text is drawn in and on; unset: the toolkit's default.
  bool has_text_colour = false;
  Colour text_colour;
  bool has_background_colour = false;
  Colour background_colour;
  bool visible = true;
  bool enabled = true;
  bool focus_stop = false;  // reached with the Tab key
  int tab_order = 0;        // among focus stops; equal orders keep description order

  // Labels: alignment in both directions, line breaking, frame.
  Alignment horizontal_alignment = Alignment::left;
  bool vertically_centred = false;
  bool single_line = false;
  bool border = false;

  // Edit boxes: 0 means no length limit.
  int max_length = 0;
  bool password = false;

  // List views, always in report view.
  std::vector<ListColumn> columns;
  bool header_shown = true;
  bool full_row_select = false;
  bool grid_lines = false;
  bool multiple_selection = false;
};

struct MenuItemDescription {
  std::string name;
  Text caption;
  bool visible = true;
  bool enabled = true;
  bool checked = false;
};

// A top-level menu. A visible one stands in the window's menu bar; a hidden one can still
// be shown as a pop-up menu.
struct MenuDescription {
  std::string name;
  Text caption;
  bool visible = true;
  bool enabled = true;
  std::vector<MenuItemDescription> items;
};

struct FrameStyle {
  bool resizable = false;
  bool title_bar = true;
  bool system_menu = true;
  bool minimise_box = true;
  bool maximise_box = false;
  bool close_box = true;
};

struct EventBinding {
  std::string source;  // window, control or menu item name
  int event = 0;
  EventHandler handler = nullptr;
};

struct WindowDescription {
  std::string name;
  Text title;
  // Outer position and size, frame included. The position is used only when the window
  // is not centred on the screen.
  int left = 0;
  int top = 0;
  int width = 0;
  int height = 0;
  bool centred = true;
  bool visible = true;
  FrameStyle frame;
  std::vector<ControlDescription> controls;
  std::vector<MenuDescription> menus;
  std::string initial_focus;  // the control that receives the window's keyboard focus
  std::vector<EventBinding> events;
};

}  // namespace mvsearch
