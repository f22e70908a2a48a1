#include "runtime/byte_ops.h"

#include <algorithm>

namespace mvsearch {

ByteSet to_bytes(std::string_view t) { return ByteSet(t.data(), t.size()); }

Text to_text(const ByteSet& b) { return Text(b.view().substr(0, b.view().find('\0'))); }

Text to_text(ByteSet&& b) {
  const std::size_t n = b.view().find('\0');
  std::string bytes = std::move(b).release();
  if (n != std::string_view::npos) bytes.resize(n);
  return bytes;
}

ByteSet blank_bytes(int n) {
  return n <= 0 ? ByteSet() : ByteSet(std::string(static_cast<std::size_t>(n), '\0'));
}

int bytes_length(const ByteSet& b) { return static_cast<int>(b.size()); }

ByteSet bytes_left(const ByteSet& b, int n) {
  if (n <= 0) return ByteSet();
  return ByteSet(b.data(), std::min(b.size(), static_cast<std::size_t>(n)));
}

ByteSet bytes_mid(const ByteSet& b, int p, int n) {
  const auto size = static_cast<std::int64_t>(b.size());
  if (p < 1 || p > size || n <= 0) return ByteSet();
  const std::int64_t count = std::min<std::int64_t>(n, size - (p - 1));
  return ByteSet(b.data() + (p - 1), static_cast<std::size_t>(count));
}

}  // namespace mvsearch
