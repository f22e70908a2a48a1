#include "runtime/text_ops.h"

#include <algorithm>
#include <string>

#include "runtime/byte_search.h"

namespace mvsearch {
namespace {

constexpr std::size_t npos = std::string_view::npos;

bool is_high(char c) { return static_cast<unsigned char>(c) >= 0x80; }

// The boundary after the character that starts at boundary i.
std::size_t next_char(std::string_view t, std::size_t i) {
  return is_high(t[i]) && i + 1 < t.size() ? i + 2 : i + 1;
}

char fold(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

// Copies t with the single-byte characters passed through `map`; double-byte characters
// are copied as they are.
template <class Map>
Text map_single_bytes(std::string_view t, Map map) {
  Text out(t);
  for (std::size_t i = 0; i < out.size();) {
    if (is_high(out[i])) {
      i = next_char(t, i);
    } else {
      out[i] = map(out[i]);
      ++i;
    }
  }
  return out;
}

// Finds a needle in a text at character boundaries only. Boundaries are counted from the
// text's first byte, and the finder remembers the last one it reached, so that a series of
// searches moving forward costs one pass over the text.
class BoundaryFinder {
 public:
  BoundaryFinder(std::string_view text, std::string_view needle, bool fold_case) : text_(text) {
    if (fold_case) {
      folded_text_ = map_single_bytes(text, fold);
      folded_needle_ = map_single_bytes(needle, fold);
      hay_ = folded_text_;
      pin_ = folded_needle_;
    } else {
      hay_ = text;
      pin_ = needle;
    }
    // A needle whose own last character is a lone lead byte would end inside a character
    // of the text, except at the text's very end. Only a high last byte can be one.
    if (!needle.empty() && is_high(needle.back())) {
      std::size_t i = 0, last = 0;
      while (i < needle.size()) {
        last = i;
        i = next_char(needle, i);
      }
      needle_dangles_ = last == needle.size() - 1;
    }
  }

  // The 0-based index of the first match at or after `from` that ends at or before
  // `limit`, or npos. `from` must not be smaller than in the previous call.
  std::size_t find(std::size_t from, std::size_t limit) {
    std::size_t pos = from;
    while (true) {
      const std::size_t cand = find_bytes(hay_, pin_, pos);
      if (cand == npos || cand + pin_.size() > limit) return npos;
      advance_to(cand);
      if (boundary_ == cand) {
        if (!needle_dangles_ || cand + pin_.size() == text_.size()) return cand;
        pos = next_char(text_, cand);
      } else {
        pos = boundary_;
      }
    }
  }

  // The first character boundary at or after i.
  std::size_t boundary_at_or_after(std::size_t i) {
    advance_to(i);
    return boundary_;
  }

 private:
  void advance_to(std::size_t target) {
    if (boundary_ >= target) return;
    // A byte below 0x80 always ends a character, so the position after the last such byte
    // before target is a boundary: only the run of high bytes in front of target needs
    // counting, and a page's ASCII is never walked.
    std::size_t start = target;
    while (start > boundary_ && is_high(text_[start - 1])) --start;
    boundary_ = start;
    while (boundary_ < target) boundary_ = next_char(text_, boundary_);
  }

  std::string_view text_;
  std::string folded_text_;
  std::string folded_needle_;
  std::string_view hay_;
  std::string_view pin_;
  bool needle_dangles_ = false;
  std::size_t boundary_ = 0;
};

int to_position(std::size_t index) { return index == npos ? -1 : static_cast<int>(index) + 1; }

}  // namespace

int text_length(std::string_view t) { return static_cast<int>(t.size()); }

Text text_left(std::string_view t, int n) {
  if (n <= 0) return Text();
  return Text(t.substr(0, static_cast<std::size_t>(n)));
}

Text text_right(std::string_view t, int n) {
  if (n <= 0) return Text();
  const std::size_t count = std::min(t.size(), static_cast<std::size_t>(n));
  return Text(t.substr(t.size() - count));
}

Text text_mid(std::string_view t, int p, int n) {
  if (p < 1 || static_cast<std::size_t>(p) > t.size() || n <= 0) return Text();
  return Text(t.substr(static_cast<std::size_t>(p - 1), static_cast<std::size_t>(n)));
}

Text char_from_code(int code) {
  if (code == 0) return Text();
  return Text(1, static_cast<char>(code));
}

int char_code(std::string_view t) { return t.empty() ? 0 : static_cast<signed char>(t[0]); }

int find_text(std::string_view t, std::string_view s, Optional<int> start,
              Optional<bool> ignore_case) {
  const int first = std::max(1, start.value());
  if (static_cast<std::size_t>(first) > t.size()) return -1;
  if (s.empty()) return 1;
  BoundaryFinder finder(t, s, ignore_case.value());
  return to_position(finder.find(static_cast<std::size_t>(first - 1), t.size()));
}

int find_text_reverse(std::string_view t, std::string_view s, Optional<int> start,
                      Optional<bool> ignore_case) {
  std::size_t limit = t.size();  // matches must end within the first `limit` bytes
  if (start.provided()) {
    if (start.value() <= 1) return -1;
    limit = std::min(limit, static_cast<std::size_t>(start.value() - 1));
  }
  if (limit == 0) return -1;
  if (s.empty()) return 1;
  BoundaryFinder finder(t, s, ignore_case.value());
  std::size_t last = npos;
  for (std::size_t found = finder.find(0, limit); found != npos;
       found = finder.find(found + 1, limit)) {
    last = found;
  }
  return to_position(last);
}

Text to_upper(std::string_view t) {
  return map_single_bytes(
      t, [](char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; });
}

Text to_lower(std::string_view t) { return map_single_bytes(t, fold); }

Text trim_spaces(std::string_view t) {
  auto is_space_at = [&](std::size_t i) {
    return t[i] == ' ' || (t[i] == '\xA1' && i + 1 < t.size() && t[i + 1] == '\xA1');
  };
  std::size_t i = 0;
  while (i < t.size() && is_space_at(i)) i = next_char(t, i);
  const std::size_t begin = i;
  std::size_t end = begin;  // just after the last character that is not a space
  while (i < t.size()) {
    const std::size_t next = next_char(t, i);
    if (!is_space_at(i)) end = next;
    i = next;
  }
  return Text(t.substr(begin, end - begin));
}

Text replace_text(std::string_view t, std::string_view old_text, std::string_view new_text,
                  Optional<int> start, Optional<int> count, Optional<bool> match_case) {
  const int first = std::max(1, start.value());
  if (t.empty() || old_text.empty() || static_cast<std::size_t>(first) > t.size() ||
      (count.provided() && count.value() <= 0)) {
    return Text(t);
  }
  BoundaryFinder finder(t, old_text, !match_case.value());
  Text out;
  out.reserve(t.size());
  std::size_t copied = 0;
  std::size_t pos = static_cast<std::size_t>(first - 1);
  int replaced = 0;
  while (!count.provided() || replaced < count.value()) {
    const std::size_t found = finder.find(pos, t.size());
    if (found == npos) break;
    out.append(t.data() + copied, found - copied);
    if (!new_text.empty()) out.append(new_text);
    copied = pos = found + old_text.size();
    ++replaced;
  }
  out.append(t.substr(copied));
  return out;
}

TextArray split_text(std::string_view t, Optional<std::string_view> separator,
                     Optional<int> max_pieces) {
  const std::string_view sep = separator.provided() ? separator.value() : std::string_view(",");
  const std::size_t limit =
      max_pieces.provided() ? static_cast<std::size_t>(std::max(0, max_pieces.value())) : npos;
  std::vector<Text> pieces;
  if (t.empty() || limit == 0) return TextArray();
  if (sep.empty()) return TextArray({Text(t)});
  BoundaryFinder finder(t, sep, false);
  std::size_t pos = 0;
  while (pieces.size() < limit) {
    const std::size_t found = finder.find(pos, t.size());
    if (found == npos) {
      if (pos < t.size()) pieces.emplace_back(t.substr(pos));
      break;
    }
    pieces.emplace_back(t.substr(pos, found - pos));
    pos = found + sep.size();
  }
  return TextArray(std::move(pieces));
}

Text blank_text(int n) { return n <= 0 ? Text() : Text(static_cast<std::size_t>(n), ' '); }

Text repeat_text(int n, std::string_view t) {
  Text out;
  if (n <= 0) return out;
  out.reserve(t.size() * static_cast<std::size_t>(n));
  for (int i = 0; i < n; ++i) out.append(t);
  return out;
}

}  // namespace mvsearch
