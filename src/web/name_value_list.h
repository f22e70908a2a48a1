// NameValueList: an ordered list of name/value pairs that builds header blocks, form
// bodies and query texts, and flat JSON objects.
//
// Names need not be unique; every lookup by name takes the first pair whose name equals
// the given one byte for byte. The list stores copies and keeps no reference to an
// argument. Optional flags count as false when omitted.
#pragma once

#include <string_view>

#include "runtime/optional_arg.h"
#include "runtime/text.h"

namespace mvsearch {

class NameValueList {
 public:
  // Empties the list; the owner discards it afterwards.
  void release();
  // An independent list with copies of the same pairs in the same order.
  [[nodiscard]] NameValueList clone() const;
  // Appends the pair, converted from GBK to UTF-8 when `to_utf8` is true.
  void add_pair(std::string_view name, std::string_view value, Optional<bool> to_utf8 = {});
  // Adds one pair per "&"-separated piece: the text before the piece's first "=" and the
  // text after its last "=" (both empty without a "=").
  void add_pairs(std::string_view text, Optional<bool> to_utf8 = {});
  // The first such pair's value, or the empty Text.
  [[nodiscard]] Text get_value(std::string_view name) const;
  // Replaces the first such pair's value, or appends the pair unconverted.
  void set_value(std::string_view name, std::string_view value);
  // name=value pieces joined by "&"; names and values percent-encoded when `url_encoded`.
  [[nodiscard]] Text query_text(Optional<bool> url_encoded = {}) const;
  // "name: value" lines joined by CR LF, none at the end; only the values are
  // percent-encoded when `url_encoded`.
  [[nodiscard]] Text header_text(Optional<bool> url_encoded = {}) const;
  // Replace the caller's array with copies of all names / all values, in list order.
  void all_names(TextArray& out) const;
  void all_values(TextArray& out) const;
  // Removes every pair; the list stays usable.
  void clear();
  // Removes the first such pair; later pairs move up by one.
  void remove_pair(std::string_view name);
  // {"n1":"v1","n2":"v2"}: names as they are, values through escape_quotes only.
  [[nodiscard]] Text json_text() const;
  // The text with a backslash before every double quote; backslashes are not doubled.
  [[nodiscard]] Text escape_quotes(std::string_view text) const;
  // Removes `affix` once from the end, then once from the start (byte-exact), writes the
  // result into `text` and returns it as well.
  Text strip_ends(Text& text, std::string_view affix) const;

 private:
  // The 1-based index of the first pair named `name`, or -1.
  [[nodiscard]] int index_of_name(std::string_view name) const;

  // Always of one length: values[k] belongs to names[k].
  TextArray names;
  TextArray values;
};

}  // namespace mvsearch
