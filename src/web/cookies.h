// Merging the cookies a response set into the cookies that were sent, and the small list
// routines it is built from.
//
// Cookie text: pairs joined by "; " with no separator at the end; a pair is whatever lies
// between two separators, so pairs joined by ";" alone are one pair. A pair's name is the
// bytes before its first "=" (the whole pair without one), trimmed of spaces; names compare
// byte for byte. A pair whose last 8 bytes are "=deleted" is a deleted cookie.
#pragma once

#include <string_view>

#include "runtime/optional_arg.h"
#include "runtime/text.h"

namespace mvsearch {

// The returned pairs in their order, then the submitted pairs whose names were not
// returned, in theirs; deleted cookies and exact duplicates are dropped.
// Both arguments are written: `returned` is trimmed (a final ";" gains a space), and
// `submitted` receives the merged text, which is also returned.
Text merge_cookies(Text& submitted, Text& returned);

// The trimmed bytes before the pair's first "=", or the whole pair trimmed.
[[nodiscard]] Text cookie_name(std::string_view pair);

// Whether some element's cookie_name equals `name`.
[[nodiscard]] bool has_cookie_name(const TextArray& list, std::string_view name);

// The 1-based index of the first element equal to `text` byte for byte, or -1.
[[nodiscard]] int index_of_text(const TextArray& list, std::string_view text);

// The text without the items that equal an earlier item byte for byte. With a separator
// the items are the pieces between separators, joined again by it; omitted, they are the
// characters of the text (split_chars), simply concatenated.
[[nodiscard]] Text unique_items(std::string_view text, Optional<std::string_view> separator = {});

// Replaces the list's contents with the characters of `text` and returns their count. A
// character is 2 bytes when a further byte exists and the byte is above 0x80 (0x80 itself
// is a single byte) or is a CR followed by LF; otherwise it is 1 byte.
int split_chars(std::string_view text, OptionalRef<TextArray> list = {});

}  // namespace mvsearch
