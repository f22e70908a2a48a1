#include "app/main_window.h"

#include <string>

#include "app/download_commands.h"
#include "app/promotion.h"
#include "app/search_command.h"

namespace mvsearch {
namespace {

constexpr Colour RED{255, 0, 0};
constexpr Colour BLACK{0, 0, 0};
constexpr Colour WHITE{255, 255, 255};

FontDescription font_of_height(int character_height) {
  FontDescription font;
  font.character_height = character_height;
  font.weight = FONT_WEIGHT_NORMAL;
  font.character_set = CHARSET_GB2312;
  return font;
}

ControlDescription control(std::string_view name, ControlKind kind, int left, int top, int width,
                           int height) {
  ControlDescription c;
  c.name = std::string(name);
  c.kind = kind;
  c.left = left;
  c.top = top;
  c.width = width;
  c.height = height;
  return c;
}

WindowDescription describe_main_window() {
  WindowDescription window;
  window.name = std::string(main_window);
  window.title = "";
  // Stored but unused: the window is centred on the screen.
  window.left = 50;
  window.top = 50;
  window.width = 1064;
  window.height = 616;
  window.centred = true;
  window.visible = true;
  window.frame = FrameStyle{.resizable = false,
                            .title_bar = true,
                            .system_menu = true,
                            .minimise_box = true,
                            .maximise_box = false,
                            .close_box = true};

  ControlDescription label = control(标签1, ControlKind::label, 32, 48, 352, 48);
  label.text =
      "\xCF\xB2\xBB\xB6\xCD\xE6"
      "Vandrel"
      "\xB5\xC4\xB5\xE3\xBB\xF7\xB4\xCB\xB4\xA6";  // 喜欢玩Vandrel的点击此处
  label.font = font_of_height(16);
  label.has_text_colour = true;
  label.text_colour = RED;
  label.visible = false;
  label.horizontal_alignment = Alignment::centre;
  label.vertically_centred = true;
  label.single_line = true;
  label.border = false;

  ControlDescription edit = control(编辑框1, ControlKind::edit_box, 184, 7, 704, 32);
  edit.font = font_of_height(19);
  edit.has_text_colour = true;
  edit.text_colour = BLACK;
  edit.has_background_colour = true;
  edit.background_colour = WHITE;
  edit.focus_stop = true;
  edit.tab_order = 0;
  edit.max_length = 0;
  edit.password = false;

  ControlDescription button = control(按钮1, ControlKind::button, 449, 47, 168, 48);
  button.text = "\xCB\xD1\xCB\xF7";  // 搜索
  button.font = font_of_height(16);
  button.focus_stop = true;
  button.tab_order = 0;

  ControlDescription list = control(超级列表框1, ControlKind::list_view, 8, 104, 1032, 448);
  list.font = font_of_height(29);
  list.has_text_colour = true;
  list.text_colour = BLACK;
  list.has_background_colour = true;
  list.background_colour = WHITE;
  list.columns = {ListColumn{
      .title = "\xB8\xE8\xC3\xFB", .width = 1000, .alignment = Alignment::left}};  // 歌名
  list.header_shown = true;
  list.full_row_select = true;
  list.grid_lines = true;
  list.multiple_selection = true;

  window.controls = {label, edit, button, list};

  MenuDescription download;
  download.name = std::string(menu_download);
  download.caption = "\xCF\xC2\xD4\xD8";  // 下载
  download.visible = false;               // only ever a pop-up menu
  download.enabled = true;
  download.items = {
      MenuItemDescription{.name = std::string(menu_cloud_drive),
                          .caption = "\xCD\xF8\xC5\xCC\xCF\xC2\xD4\xD8",  // 网盘下载
                          .visible = true,
                          .enabled = true,
                          .checked = false},
      MenuItemDescription{.name = std::string(menu_second_line),
                          .caption = "\xCF\xC2\xD4\xD8\xCF\xDF\xC2\xB7"
                                     "2",  // 下载线路2
                          .visible = true,
                          .enabled = true,
                          .checked = false},
  };
  window.menus = {download};

  window.initial_focus = std::string(编辑框1);
  window.events = {
      {std::string(main_window), EVENT_CREATED, on_main_window_created},
      {std::string(标签1), EVENT_LEFT_CLICK, on_promo_label_clicked},
      {std::string(按钮1), EVENT_CLICK, on_search_clicked},
      {std::string(超级列表框1), EVENT_LIST_RIGHT_CLICK, on_list_menu_request},
      {std::string(menu_cloud_drive), EVENT_SELECTED, on_cloud_drive_selected},
      {std::string(menu_second_line), EVENT_SELECTED, on_second_line_selected},
  };
  return window;
}

}  // namespace

const WindowDescription& main_window_description() {
  static const WindowDescription description = describe_main_window();
  return description;
}

}  // namespace mvsearch
