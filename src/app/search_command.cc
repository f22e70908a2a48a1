#include "app/search_command.h"

#include "app/catalogue_site.h"
#include "app/main_window.h"
#include "app/result_pieces.h"
#include "runtime/byte_ops.h"
#include "runtime/text_ops.h"
#include "runtime/window_services.h"
#include "textutil/charset.h"
#include "textutil/text_cutting.h"
#include "textutil/url_encode.h"
#include "web/name_value_list.h"
#include "web/web_request.h"

namespace mvsearch {

// Method index of POST in web_request's method_names.
constexpr int METHOD_POST = 1;

Text search_catalogue() {
  // Emptied first: the list stays empty while the request runs and after a failed one.
  list_delete_all(超级列表框1);
  NameValueList list;
  const Text keyword = read_property(编辑框1, PROP_EDIT_CONTENT).as_text();
  const Text encoded = url_encode(keyword, {}, true);
  const Text body = Text(SEARCH_FIELD) + encoded;
  list.add_pair("User-Agent", BROWSER_AGENT);
  const Text headers = list.header_text();
  const ByteSet response = web_request(SEARCH_URL, METHOD_POST, body, {}, {}, headers);
  ByteSet bytes = convert_charset(response);
  Text page = to_text(std::move(bytes));  // the bytes are not needed after
  page = replace_text(page, "\"", "", {}, {}, true);
  TextArray pieces = split_text(page, RESULT_SEPARATOR);
  result_pieces.clear();
  result_pieces = std::move(pieces);
  // The count is read anew before each pass.
  for (int i = 1; i < result_pieces.size(); ++i) {
    const Text title = text_between(result_pieces[i + 1], TITLE_START, TITLE_END);
    (void)list_insert_item(超级列表框1, i - 1, title);
  }
  list.release();
  return page;
}

void on_search_clicked() {
  const Text page = search_catalogue();
  (void)page;
}

}  // namespace mvsearch
