// Conversions between code pages through UTF-16, over the code-page functions.
//
// The UTF-16 form is a ByteSet of UTF-16LE code units ending in one NUL unit (two zero
// bytes). Code pages are Windows numbers: 936 (GBK), 65001 (UTF-8), 0 (the ANSI code
// page). Bytes or characters that a code page cannot take are substituted, never fatal.
#pragma once

#include <string_view>

#include "runtime/optional_arg.h"
#include "runtime/text.h"

namespace mvsearch {

// The complete UTF-8 form of a GBK text, without a terminator. The result is held in a
// Text but is not GBK: it only carries the bytes to the next step.
[[nodiscard]] Text ansi_to_utf8(std::string_view text);

// text in code_page (omitted: 65001) as UTF-16LE with the terminating NUL unit. The text
// ends at its first NUL byte, if any.
[[nodiscard]] ByteSet codepage_to_utf16(std::string_view text, Optional<int> code_page = {});

// The UTF-16LE units of wide up to its first NUL unit (or its end; an odd last byte is
// ignored), in code_page (omitted: 0, the ANSI code page).
[[nodiscard]] Text utf16_to_codepage(const ByteSet& wide, Optional<int> code_page = {});

}  // namespace mvsearch
