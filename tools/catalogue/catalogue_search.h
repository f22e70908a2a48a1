// Searching the catalogue stand-in's entries by keyword, as the site's search page does.
#pragma once

#include <string_view>
#include <vector>

#include "catalogue/catalogue_entry.h"

namespace mvsearch {

// True when `needle` occurs in `haystack`, byte by byte, ASCII letters compared without
// case. Both are UTF-8, so a match always starts and ends on a character boundary; other
// letters (Chinese, accented Latin) must match exactly. An empty needle occurs everywhere.
[[nodiscard]] bool contains_ignoring_ascii_case(std::string_view haystack, std::string_view needle);

// The entries whose title or singer contains the keyword, in catalogue order. The keyword
// is trimmed of spaces, tabs, CR and LF first; what is left empty finds nothing.
[[nodiscard]] std::vector<CatalogueEntry> find_catalogue_entries(
    const std::vector<CatalogueEntry>& entries, std::string_view keyword);

}  // namespace mvsearch
