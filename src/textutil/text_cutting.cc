#include "textutil/text_cutting.h"

#include "runtime/text_ops.h"

namespace mvsearch {
namespace {

// The marker with every placeholder turned into a double quote. Most markers have none and
// are used as they are, which spares a copy per call when cutting thousands of pieces.
std::string_view with_quotes(std::string_view marker, Text& storage) {
  if (marker.find(QUOTE_PLACEHOLDER) == std::string_view::npos) return marker;
  storage = replace_text(marker, QUOTE_PLACEHOLDER, "\"", {}, {}, true);
  return storage;
}

}  // namespace

Text text_between(std::string_view text, std::string_view start_marker, std::string_view end_marker,
                  Optional<int> start_pos, Optional<bool> ignore_case) {
  Text s_storage;
  Text e_storage;
  const std::string_view s = with_quotes(start_marker, s_storage);
  const std::string_view e = with_quotes(end_marker, e_storage);
  const int p = find_text(text, s, start_pos.value(), ignore_case.value());
  if (p == -1) return Text();
  const int c = p + text_length(s);
  const int q = find_text(text, e, c, ignore_case.value());
  if (q == -1) return Text();
  return text_mid(text, c, q - c);
}

Text text_before(std::string_view text, std::string_view marker, Optional<int> start_pos,
                 Optional<bool> ignore_case) {
  const int length = text_length(text);
  const int n = start_pos.value();
  int p;
  if (n < 0) {
    const int m = n == -1 ? 0 : -n;
    p = find_text_reverse(text, marker, length - m + 1, ignore_case.value());
  } else {
    p = find_text(text, marker, n == 0 ? 1 : n, ignore_case.value());
  }
  if (p == -1) return Text();
  return text_left(text, p - 1);
}

Text text_after(std::string_view text, std::string_view marker, Optional<int> start_pos,
                Optional<bool> ignore_case) {
  const int length = text_length(text);
  const int n = start_pos.value();
  int p;
  if (n < 0) {
    int m = n == -1 ? 0 : -n;
    if (m == 0) m = 1;
    p = find_text(text, marker, m, ignore_case.value());
  } else {
    p = find_text_reverse(text, marker, length - n + 1, ignore_case.value());
  }
  if (p == -1) return Text();
  return text_right(text, length - text_length(marker) - p + 1);
}

Text replace_five(std::string_view text, Optional<int> count, Optional<int> start_pos,
                  Optional<bool> match_case, std::string_view search_1,
                  std::string_view replacement_1, std::string_view search_2,
                  std::string_view replacement_2, std::string_view search_3,
                  std::string_view replacement_3, std::string_view search_4,
                  std::string_view replacement_4, std::string_view search_5,
                  std::string_view replacement_5) {
  const int start = start_pos.value() == 0 ? 1 : start_pos.value();
  const std::string_view pairs[5][2] = {{search_1, replacement_1},
                                        {search_2, replacement_2},
                                        {search_3, replacement_3},
                                        {search_4, replacement_4},
                                        {search_5, replacement_5}};
  Text current(text);
  for (const auto& [search, replacement] : pairs) {
    current = replace_text(current, search, replacement, start, count, match_case.value());
  }
  return current;
}

}  // namespace mvsearch
