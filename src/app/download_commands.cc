#include "app/download_commands.h"

#include "app/catalogue_site.h"
#include "app/main_window.h"
#include "app/result_pieces.h"
#include "runtime/byte_ops.h"
#include "runtime/text_ops.h"
#include "runtime/window_services.h"
#include "textutil/charset.h"
#include "textutil/text_cutting.h"
#include "web/name_value_list.h"
#include "web/web_request.h"

namespace mvsearch {
namespace {

// Method index of POST in web_request's method_names.
constexpr int METHOD_POST = 1;

void open_download_address(std::string_view marker, std::string_view prefix) {
  const int s = read_property(超级列表框1, PROP_LIST_SELECTION).as_int();
  if (s == -1) return;
  const Text piece = result_pieces[s + 2];
  const Text id = text_between(piece, ID_START, ID_END);
  const Text url = Text(DETAIL_URL_PREFIX) + id;
  NameValueList list;
  list.add_pair("User-Agent", BROWSER_AGENT);
  const Text headers = list.header_text();
  const ByteSet response = web_request(url, METHOD_POST, {}, {}, {}, headers);
  Text page = to_text(convert_charset(response));
  page = replace_text(page, "\"", "", {}, {}, true);
  const Text target = text_between(page, marker, REDIRECT_END);
  if (!target.empty()) open_url(Text(prefix) + target);
  list.release();
}

}  // namespace

void on_list_menu_request() {
  const int s = read_property(超级列表框1, PROP_LIST_SELECTION).as_int();
  if (s == -1) {
    write_property(menu_download, PROP_MENU_DISABLED, true);
    return;
  }
  write_property(menu_download, PROP_MENU_DISABLED, false);
  popup_menu(main_window, menu_download);
}

void on_cloud_drive_selected() { open_download_address(CLOUD_DRIVE_MARKER, CLOUD_DRIVE_PREFIX); }

void on_second_line_selected() { open_download_address(SECOND_LINE_MARKER, SECOND_LINE_PREFIX); }

}  // namespace mvsearch
