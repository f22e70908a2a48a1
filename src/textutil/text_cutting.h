// Cutting a Text around literal markers: between two markers, before or after one, and up
// to five search/replacement pairs applied in turn.
//
// Pure functions: a marker that is not found gives the empty Text. They inherit the
// run-time text operations' rules: 1-based byte positions, matches only on character
// boundaries, ASCII-only case folding.
#pragma once

#include <string_view>

#include "runtime/optional_arg.h"
#include "runtime/text.h"

namespace mvsearch {

// "#引号": inside the markers of text_between, and only there, it stands for one double
// quote (0x22).
inline constexpr std::string_view QUOTE_PLACEHOLDER = "#\xD2\xFD\xBA\xC5";

// The text between the first start_marker at or after start_pos and the first end_marker
// that begins after it.
[[nodiscard]] Text text_between(std::string_view text, std::string_view start_marker,
                                std::string_view end_marker, Optional<int> start_pos = {},
                                Optional<bool> ignore_case = {});

// The text left of the first marker at or after start_pos; a negative start_pos searches
// backwards, -k (k >= 2) leaving out the last k bytes.
[[nodiscard]] Text text_before(std::string_view text, std::string_view marker,
                               Optional<int> start_pos = {}, Optional<bool> ignore_case = {});

// The text right of the last marker within the first length - start_pos bytes; a negative
// start_pos searches forwards from position k for -k (k >= 2).
[[nodiscard]] Text text_after(std::string_view text, std::string_view marker,
                              Optional<int> start_pos = {}, Optional<bool> ignore_case = {});

// Applies the pairs (search_k, replacement_k) one after the other with replace_text. With
// count provided each pair replaces at most count occurrences; omitted, all of them.
// match_case false (also when omitted) folds ASCII letters.
[[nodiscard]] Text replace_five(std::string_view text, Optional<int> count,
                                Optional<int> start_pos, Optional<bool> match_case,
                                std::string_view search_1, std::string_view replacement_1,
                                std::string_view search_2 = {},
                                std::string_view replacement_2 = {},
                                std::string_view search_3 = {},
                                std::string_view replacement_3 = {},
                                std::string_view search_4 = {},
                                std::string_view replacement_4 = {},
                                std::string_view search_5 = {},
                                std::string_view replacement_5 = {});

}  // namespace mvsearch
