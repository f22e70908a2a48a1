// Header blocks with capital initials in their names, and the value of a header line.
//
// A header block is lines joined by CR LF with none after the last; a line's name is the
// bytes before its first ":", spaces included. Only the ASCII letters "a" to "z" change
// case; double-byte characters and every other byte pass unchanged.
#pragma once

#include <string_view>

#include "runtime/text.h"

namespace mvsearch {

// Every line that holds a ":" comes back in its order, with the first byte of its name and
// each byte after a "-" in the name upper-cased; the rest of the line is untouched. Lines
// without a ":" (empty ones too) are dropped. The lines are joined by CR LF, none at the
// end; no surviving line gives the empty Text.
[[nodiscard]] Text normalize_header_names(std::string_view block);

// The text with its first byte upper-cased when that is "a" to "z".
[[nodiscard]] Text capitalize_first(std::string_view text);

// Everything after the first ":" of the text, trimmed of spaces at both ends (CR, LF and
// tabs stay); empty without a ":". On a block this runs to the block's end.
[[nodiscard]] Text header_value(std::string_view text);

}  // namespace mvsearch
