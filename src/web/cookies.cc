#include "web/cookies.h"

#include "runtime/text_ops.h"

namespace mvsearch {
namespace {

constexpr std::string_view PAIR_SEPARATOR = "; ";
constexpr std::string_view DELETED_MARK = "=deleted";

// Trimmed, with a final ";" turned into a final separator that splitting then ignores.
Text tidy_cookie_text(std::string_view cookies) {
  Text t = trim_spaces(cookies);
  if (text_right(t, 1) == ";") t += ' ';
  return t;
}

}  // namespace

Text merge_cookies(Text& submitted, Text& returned) {
  submitted = tidy_cookie_text(submitted);
  returned = tidy_cookie_text(returned);

  const TextArray submitted_pairs = split_text(submitted, PAIR_SEPARATOR);
  TextArray pairs = split_text(returned, PAIR_SEPARATOR);
  // `pairs` grows in the loop, so of several submitted pairs with one name only the
  // first gets in.
  for (const Text& pair : submitted_pairs) {
    if (!has_cookie_name(pairs, cookie_name(pair))) pairs.append(pair);
  }

  submitted.clear();
  for (const Text& pair : pairs) {
    if (text_right(pair, text_length(DELETED_MARK)) == DELETED_MARK) continue;
    submitted += pair;
    submitted += PAIR_SEPARATOR;
  }
  submitted = text_left(submitted, text_length(submitted) - 2);
  submitted = unique_items(submitted, PAIR_SEPARATOR);
  return submitted;
}

Text cookie_name(std::string_view pair) {
  const int equals = find_text(pair, "=");
  if (equals == -1) return trim_spaces(pair);
  return trim_spaces(text_left(pair, equals - 1));
}

bool has_cookie_name(const TextArray& list, std::string_view name) {
  for (const Text& item : list) {
    if (cookie_name(item) == name) return true;
  }
  return false;
}

int index_of_text(const TextArray& list, std::string_view text) {
  for (int k = 1; k <= list.size(); ++k) {
    if (list[k] == text) return k;
  }
  return -1;
}

Text unique_items(std::string_view text, Optional<std::string_view> separator) {
  TextArray items;
  std::string_view joint;
  if (separator.provided()) {
    joint = separator.value();
    items = split_text(text, joint);
  } else {
    split_chars(text, items);
  }

  TextArray seen;
  Text out;
  for (const Text& item : items) {
    if (index_of_text(seen, item) != -1) continue;
    seen.append(item);
    out += item;
    out += joint;
  }
  return text_left(out, text_length(out) - text_length(joint));
}

int split_chars(std::string_view text, OptionalRef<TextArray> list) {
  TextArray& chars = list.get();
  chars.clear();
  for (std::size_t i = 0; i < text.size();) {
    const auto byte = static_cast<unsigned char>(text[i]);
    const bool has_next = i + 1 < text.size();
    const bool two_bytes = has_next && (byte > 0x80 || (byte == '\r' && text[i + 1] == '\n'));
    const std::size_t width = two_bytes ? 2 : 1;
    chars.append(Text(text.substr(i, width)));
    i += width;
  }
  return chars.size();
}

}  // namespace mvsearch
