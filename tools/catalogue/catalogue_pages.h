// The catalogue stand-in's pages: the search result page, the detail page with the two
// download addresses, the error pages and the file behind the second download line. All
// are UTF-8 HTML (the file is plain text), with CR LF line ends, as the site writes them.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "catalogue/catalogue_entry.h"

namespace mvsearch {

// kStandard is the site's markup. kWithoutMarkers is a redesigned page that holds the same
// results and addresses in other markup: result links with single quotes and a relative
// path, and the detail script going through location.assign().
enum class PageMarkup { kStandard, kWithoutMarkers };

// &, <, > and " become entities; every other byte passes unchanged (invalid UTF-8 too).
[[nodiscard]] std::string html_escape(std::string_view text);

// The search result page for `keyword` (as decoded from the request, shown escaped). Each
// result is a table row whose first cell is
//   <td><a href="/imv.asp?id=ID" class="link"><span>TITLE</span></a></td>
// followed by the singer, language and kind cells. No results: the table head alone and a
// line saying nothing was found (or asking for a keyword when it is empty).
[[nodiscard]] std::string render_result_page(std::string_view keyword,
                                             const std::vector<CatalogueEntry>& results,
                                             PageMarkup markup = PageMarkup::kStandard);

// The cloud-drive address of an entry: https on the reserved host pan.example.
[[nodiscard]] std::string cloud_drive_address(const CatalogueEntry& entry);
// The second download line: the stand-in itself, http://127.0.0.1:PORT/files/ID.mp4.
[[nodiscard]] std::string second_line_address(const CatalogueEntry& entry, std::uint16_t port);

// The detail page of an entry. Its script sends the browser to the cloud-drive address in
// one branch (window.location.href="https://...";) and to the second line in the other
// (window.location.href="http://...";).
[[nodiscard]] std::string render_detail_page(const CatalogueEntry& entry, std::uint16_t port,
                                             PageMarkup markup = PageMarkup::kStandard);
// The detail page for an id the catalogue does not have: no script, no address.
[[nodiscard]] std::string render_unknown_entry_page(std::string_view id);

// The body of a "404 Not Found" answer.
[[nodiscard]] std::string render_not_found_page(std::string_view path);

// The small file served behind the second download line (plain UTF-8 text that says what
// it stands for, so that a browser shows something readable).
[[nodiscard]] std::string render_line_file(const CatalogueEntry& entry);

}  // namespace mvsearch
