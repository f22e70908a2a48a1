// The run-time text operations on GBK Text.
//
// Byte-level contract: positions are 1-based byte positions and -1 means not found.
// Character boundaries are counted from the first byte of the text: a byte of 0x80 or
// above and the byte after it form one character (a lead byte in the last position stands
// alone). A match must begin on a character boundary and end on one, so no search matches
// from a character's second byte and nothing ever splits a double-byte character.
// Letter-case folding touches only single-byte ASCII letters.
#pragma once

#include <string_view>

#include "runtime/optional_arg.h"
#include "runtime/text.h"

namespace mvsearch {

[[nodiscard]] int text_length(std::string_view t);
// The first / last min(n, length) bytes; empty if n <= 0.
[[nodiscard]] Text text_left(std::string_view t, int n);
[[nodiscard]] Text text_right(std::string_view t, int n);
// n bytes from position p, cut at the end; empty if p < 1, p > length or n <= 0.
[[nodiscard]] Text text_mid(std::string_view t, int p, int n);

// A one-byte Text; 0 gives the empty Text.
[[nodiscard]] Text char_from_code(int code);
// The first byte as a signed value; 0 for the empty Text.
[[nodiscard]] int char_code(std::string_view t);

// First match of s at or after start (omitted or < 1: 1; past the end: -1). ASCII letters
// are folded only when ignore_case is true. An empty s is found at the start position, or
// not at all (-1) when the searched part is empty.
[[nodiscard]] int find_text(std::string_view t, std::string_view s, Optional<int> start = {},
                            Optional<bool> ignore_case = {});
// Last match lying wholly before start (omitted: the whole text; start <= 1: -1). An empty
// s is found at 1 unless the searched part is empty.
[[nodiscard]] int find_text_reverse(std::string_view t, std::string_view s,
                                    Optional<int> start = {}, Optional<bool> ignore_case = {});

[[nodiscard]] Text to_upper(std::string_view t);
[[nodiscard]] Text to_lower(std::string_view t);

// Strips leading and trailing spaces (0x20) and full-width spaces (A1 A1); TAB, CR and LF
// stay.
[[nodiscard]] Text trim_spaces(std::string_view t);

// Replaces occurrences of old_text by new_text, left to right and not overlapping, from
// start (default 1; bytes before it pass unchanged), at most count times (default: all).
// match_case false folds ASCII letters: the opposite sense to ignore_case. An empty t or
// old_text, a start past the end, or a count of 0 give t unchanged.
[[nodiscard]] Text replace_text(std::string_view t, std::string_view old_text,
                                std::string_view new_text = {}, Optional<int> start = {},
                                Optional<int> count = {}, Optional<bool> match_case = {});

// Cuts t at every separator (omitted: ","). An empty t gives no pieces; an empty separator
// gives t as one piece. Each separator closes a piece, empty pieces included; a non-empty
// rest is the last piece. With max_pieces provided, pieces beyond that number are dropped.
[[nodiscard]] TextArray split_text(std::string_view t, Optional<std::string_view> separator = {},
                                   Optional<int> max_pieces = {});

// n spaces / n copies of t; empty if n <= 0.
[[nodiscard]] Text blank_text(int n);
[[nodiscard]] Text repeat_text(int n, std::string_view t);

}  // namespace mvsearch
