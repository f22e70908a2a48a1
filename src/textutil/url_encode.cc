#include "textutil/url_encode.h"

#include <cstdint>

#include "runtime/byte_ops.h"
#include "runtime/number_text.h"
#include "runtime/text_ops.h"
#include "textutil/code_page_text.h"

namespace mvsearch {
namespace {

bool is_unreserved(std::uint8_t b) {
  return b == '-' || b == '.' || (b >= '0' && b <= '9') || (b >= 'A' && b <= 'Z') ||
         (b >= 'a' && b <= 'z');
}

}  // namespace

Text url_encode(std::string_view text, Optional<bool> keep_unreserved, Optional<bool> to_utf8) {
  if (text.empty()) return {};
  const ByteSet bytes = to_utf8.value() ? to_bytes(ansi_to_utf8(text)) : to_bytes(text);
  Text result;
  result.reserve(bytes.size() * 3);
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    const std::uint8_t b = bytes[i];
    Text h = to_hex(b);
    if (text_length(h) < 2) h = "0" + h;
    if (keep_unreserved.value() && is_unreserved(b)) {
      result += char_from_code(b);
    } else {
      result += "%" + h;
    }
  }
  return result;
}

}  // namespace mvsearch
