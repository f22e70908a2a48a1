// main_window: the program's one window, described as data, with the names of its
// controls and menus and the wiring of its events to the handlers.
#pragma once

#include <string_view>

#include "runtime/window_description.h"

namespace mvsearch {

inline constexpr std::string_view main_window = "main_window";
inline constexpr std::string_view 标签1 = "标签1";              // promotion label
inline constexpr std::string_view 编辑框1 = "编辑框1";          // keyword
inline constexpr std::string_view 按钮1 = "按钮1";              // search button
inline constexpr std::string_view 超级列表框1 = "超级列表框1";  // result list
inline constexpr std::string_view menu_download = "menu_download";
inline constexpr std::string_view menu_cloud_drive = "menu_cloud_drive";
inline constexpr std::string_view menu_second_line = "menu_second_line";

// The description the run time builds main_window from: the controls, the pop-up menu
// of the result list (never in the menu bar) and the only events that reach handlers.
[[nodiscard]] const WindowDescription& main_window_description();

}  // namespace mvsearch
