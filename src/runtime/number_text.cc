#include "runtime/number_text.h"

#include <cstdio>
#include <limits>

namespace mvsearch {

Text to_text(std::int64_t number) { return std::to_string(number); }

Text to_text(double number) {
  char buffer[64];
  const int n = std::snprintf(buffer, sizeof buffer, "%.13g", number);
  return n > 0 ? Text(buffer, static_cast<std::size_t>(n)) : Text();
}

Text to_hex(int n) {
  char buffer[16];
  const int len = std::snprintf(buffer, sizeof buffer, "%X", static_cast<unsigned>(n));
  return len > 0 ? Text(buffer, static_cast<std::size_t>(len)) : Text();
}

int to_int(std::string_view t) {
  std::size_t i = 0;
  auto is_white = [](char c) { return c == ' ' || (c >= '\t' && c <= '\r'); };
  while (i < t.size() && is_white(t[i])) ++i;
  bool negative = false;
  if (i < t.size() && (t[i] == '+' || t[i] == '-')) {
    negative = t[i] == '-';
    ++i;
  }
  constexpr std::int64_t kLimit = std::int64_t{std::numeric_limits<int>::max()} + 1;
  std::int64_t value = 0;
  for (; i < t.size() && t[i] >= '0' && t[i] <= '9'; ++i) {
    value = std::min(kLimit, value * 10 + (t[i] - '0'));
  }
  if (negative) return static_cast<int>(-value);
  return static_cast<int>(std::min<std::int64_t>(value, std::numeric_limits<int>::max()));
}

}  // namespace mvsearch
