#include "web/header_names.h"

#include "runtime/text_ops.h"

namespace mvsearch {
namespace {

constexpr std::string_view LINE_BREAK = "\r\n";

// The name with every "-"-separated word capitalised. A trailing "-" yields no last
// piece, so the result is one byte shorter than the name then.
Text capitalize_words(std::string_view name) {
  if (find_text(name, "-") == -1) return capitalize_first(name);
  const TextArray words = split_text(name, "-");
  Text out;
  for (int k = 1; k <= words.size(); ++k) {
    if (k > 1) out += '-';
    out += capitalize_first(words[k]);
  }
  return out;
}

}  // namespace

Text capitalize_first(std::string_view text) {
  return to_upper(text_left(text, 1)) + text_mid(text, 2, text_length(text));
}

Text normalize_header_names(std::string_view block) {
  Text out;
  for (const Text& line : split_text(block, LINE_BREAK)) {
    const int colon = find_text(line, ":");
    if (colon == -1) continue;
    const Text new_name = capitalize_words(text_left(line, colon - 1));
    // Taking the rest by the new name's length keeps a "-" that the split dropped.
    out += new_name;
    out += text_right(line, text_length(line) - text_length(new_name));
    out += LINE_BREAK;
  }
  return text_left(out, text_length(out) - 2);
}

Text header_value(std::string_view text) {
  const int colon = find_text(text, ":");
  if (colon == -1) return trim_spaces("");
  return trim_spaces(text_right(text, text_length(text) - colon));
}

}  // namespace mvsearch
