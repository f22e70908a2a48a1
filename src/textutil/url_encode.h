// Percent-encoding of a Text for request bodies and header values.
#pragma once

#include <string_view>

#include "runtime/optional_arg.h"
#include "runtime/text.h"

namespace mvsearch {

// Writes every byte of text as "%" and two upper-case hexadecimal digits ("%0A", "%E4"),
// the space included ("%20", never "+"). With keep_unreserved true the bytes "-", ".",
// 0-9, A-Z and a-z stay as they are. With to_utf8 true the GBK text is first converted to
// UTF-8. Omitted flags count as false. The result holds only ASCII bytes.
[[nodiscard]] Text url_encode(std::string_view text, Optional<bool> keep_unreserved = {},
                              Optional<bool> to_utf8 = {});

}  // namespace mvsearch
