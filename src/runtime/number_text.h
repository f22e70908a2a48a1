// Numbers written as Text and read back: decimal, hexadecimal, bitwise OR.
#pragma once

#include <concepts>
#include <cstdint>
#include <string_view>

#include "runtime/text.h"

namespace mvsearch {

// Decimal digits with a leading "-" for negative values.
[[nodiscard]] Text to_text(std::int64_t number);
[[nodiscard]] inline Text to_text(int number) { return to_text(static_cast<std::int64_t>(number)); }
// Reals as printf's "%.13g".
[[nodiscard]] Text to_text(double number);

// Upper-case hexadecimal without leading zeros ("%X" of the 32-bit pattern).
[[nodiscard]] Text to_hex(int n);

// Leading white space, an optional sign, decimal digits; 0 if there are none. Values
// beyond the 32-bit range saturate.
[[nodiscard]] int to_int(std::string_view t);

template <std::integral... Ts>
[[nodiscard]] constexpr auto bit_or(Ts... values) {
  return (values | ...);
}

}  // namespace mvsearch
