// The search command: posts the keyword to the catalogue's search page, keeps the page's
// result pieces and lists one title per result.
#pragma once

#include <string_view>

#include "runtime/text.h"

namespace mvsearch {

inline constexpr std::string_view SEARCH_URL = "http://" MVSEARCH_CATALOGUE_HOST "/isearch.asp";
inline constexpr std::string_view SEARCH_FIELD = "ktv=";
// The page's markers, as they read once every double quote has been removed from it.
inline constexpr std::string_view RESULT_SEPARATOR = "<td><a href=/imv.asp?";
inline constexpr std::string_view TITLE_START = "class=link><span>";
inline constexpr std::string_view TITLE_END = "</span></a></td>";

// Empties the result list, posts the keyword of the edit box, replaces result_pieces with
// the pieces of the answer and lists the title of every piece after the first. Returns the
// decoded page without its double quotes; empty when there was no answer.
[[nodiscard]] Text search_catalogue();

// Handler of a click on the search button.
void on_search_clicked();

}  // namespace mvsearch
