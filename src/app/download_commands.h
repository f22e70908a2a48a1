// The download commands of the result list's pop-up menu: each fetches the selected
// entry's detail page and opens the address its script sends the browser to.
#pragma once

#include <string_view>

namespace mvsearch {

inline constexpr std::string_view DETAIL_URL_PREFIX =
    "http://" MVSEARCH_CATALOGUE_HOST "/imv.asp?id=";
inline constexpr std::string_view ID_START = "id=";
inline constexpr std::string_view ID_END = " ";
inline constexpr std::string_view REDIRECT_END = ";";
// The redirect markers (after quote removal) and the scheme put back in front of what
// follows them.
inline constexpr std::string_view CLOUD_DRIVE_MARKER = "window.location.href=https:";
inline constexpr std::string_view CLOUD_DRIVE_PREFIX = "https:";
inline constexpr std::string_view SECOND_LINE_MARKER = "window.location.href=http:";
inline constexpr std::string_view SECOND_LINE_PREFIX = "http:";

// Handler of the right click in the result list: pops up menu_download when a row is
// selected, and otherwise disables it.
void on_list_menu_request();
// Handlers of the two menu items.
void on_cloud_drive_selected();
void on_second_line_selected();

}  // namespace mvsearch
