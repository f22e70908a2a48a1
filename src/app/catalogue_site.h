// The catalogue site that the search and download commands talk to, and the browser
// identification they send it.
#pragma once

#include <string_view>

namespace mvsearch {

// Set at build time from the MVSEARCH_CATALOGUE_HOST cache variable.
inline constexpr std::string_view CATALOGUE_HOST = MVSEARCH_CATALOGUE_HOST;

inline constexpr std::string_view BROWSER_AGENT =
    "Mozilla/5.0 (Windows NT 6.1; WOW64) AppleWebKit/537.36 (KHTML, like Gecko) "
    "Chrome/47.0.2526.80 Safari/537.36 Core/1.47.277.400 QQBrowser/9.4.7658.400";

}  // namespace mvsearch
