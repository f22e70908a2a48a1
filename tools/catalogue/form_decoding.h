// Decoding what the catalogue site receives: percent-encoded form fields and query strings.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace mvsearch {

// "%XX" (hexadecimal digits of either case) becomes that byte and "+" a space, as a form
// decoder does; a "%" without two hexadecimal digits after it stays as it is. The bytes
// come out unchecked: the result may be any byte sequence, NUL included.
[[nodiscard]] std::string percent_decode(std::string_view text);

// The decoded value of the first field `name` of an "a=1&b=2" form or query string;
// std::nullopt when the field is absent. A field without "=" has the empty value.
[[nodiscard]] std::optional<std::string> form_value(std::string_view form, std::string_view name);

// The query of a request target: the text after the first "?", or "" without one.
[[nodiscard]] std::string_view target_query(std::string_view target);
// The path of a request target: the text before the first "?".
[[nodiscard]] std::string_view target_path(std::string_view target);

}  // namespace mvsearch
