// The run-time operations on ByteSet, and the conversions between ByteSet and Text.
#pragma once

#include <string_view>

#include "runtime/text.h"

namespace mvsearch {

// The bytes of t.
[[nodiscard]] ByteSet to_bytes(std::string_view t);
// The bytes of b up to its first NUL.
[[nodiscard]] Text to_text(const ByteSet& b);
// The same, taking b's bytes over instead of copying them.
[[nodiscard]] Text to_text(ByteSet&& b);

// n zero bytes; empty if n <= 0.
[[nodiscard]] ByteSet blank_bytes(int n);
[[nodiscard]] int bytes_length(const ByteSet& b);
// As text_left and text_mid, on a ByteSet.
[[nodiscard]] ByteSet bytes_left(const ByteSet& b, int n);
[[nodiscard]] ByteSet bytes_mid(const ByteSet& b, int p, int n);

}  // namespace mvsearch
