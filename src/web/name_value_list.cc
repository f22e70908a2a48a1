#include "web/name_value_list.h"

#include "runtime/text_ops.h"
#include "textutil/code_page_text.h"
#include "textutil/text_cutting.h"
#include "textutil/url_encode.h"

namespace mvsearch {
namespace {

// "-", ".", digits and letters stay; every other byte becomes %XX.
Text encode_item(std::string_view item) { return url_encode(item, true); }

}  // namespace

void NameValueList::release() { clear(); }

NameValueList NameValueList::clone() const { return *this; }

void NameValueList::add_pair(std::string_view name, std::string_view value,
                             Optional<bool> to_utf8) {
  if (to_utf8.value()) {
    names.append(ansi_to_utf8(name));
    values.append(ansi_to_utf8(value));
  } else {
    names.append(Text(name));
    values.append(Text(value));
  }
}

void NameValueList::add_pairs(std::string_view text, Optional<bool> to_utf8) {
  for (const Text& piece : split_text(text, "&")) {
    add_pair(text_before(piece, "="), text_after(piece, "="), to_utf8);
  }
}

Text NameValueList::get_value(std::string_view name) const {
  const int k = index_of_name(name);
  return k == -1 ? Text() : values[k];
}

void NameValueList::set_value(std::string_view name, std::string_view value) {
  const int k = index_of_name(name);
  if (k == -1) {
    add_pair(name, value);
  } else {
    values[k] = Text(value);
  }
}

Text NameValueList::query_text(Optional<bool> url_encoded) const {
  Text out;
  for (int k = 1; k <= names.size(); ++k) {
    if (url_encoded.value()) {
      out += encode_item(names[k]) + "=" + encode_item(values[k]);
    } else {
      out += names[k] + "=" + values[k];
    }
    out += '&';
  }
  return text_left(out, text_length(out) - 1);
}

Text NameValueList::header_text(Optional<bool> url_encoded) const {
  Text out;
  for (int k = 1; k <= names.size(); ++k) {
    out += names[k];
    out += ": ";
    out += url_encoded.value() ? encode_item(values[k]) : values[k];
    out += "\r\n";
  }
  return text_left(out, text_length(out) - 2);
}

void NameValueList::all_names(TextArray& out) const { out = names; }

void NameValueList::all_values(TextArray& out) const { out = values; }

void NameValueList::clear() {
  names.clear();
  values.clear();
}

void NameValueList::remove_pair(std::string_view name) {
  const int k = index_of_name(name);
  if (k == -1) return;
  names.remove(k);
  values.remove(k);
}

Text NameValueList::json_text() const {
  Text out = "{";
  for (int k = 1; k <= names.size(); ++k) {
    out += '"';
    out += names[k];
    out += "\":\"";
    out += escape_quotes(values[k]);
    out += "\",";
  }
  strip_ends(out, ",");
  out += '}';
  return out;
}

Text NameValueList::escape_quotes(std::string_view text) const {
  return replace_five(text, {}, {}, {}, "\"", "\\\"");
}

Text NameValueList::strip_ends(Text& text, std::string_view affix) const {
  const int n = text_length(affix);
  Text result = text;
  if (n > 0 && text_right(result, n) == affix) result = text_left(result, text_length(result) - n);
  if (n > 0 && text_left(result, n) == affix) result = text_right(result, text_length(result) - n);
  text = result;
  return result;
}

int NameValueList::index_of_name(std::string_view name) const {
  for (int k = 1; k <= names.size(); ++k) {
    if (names[k] == name) return k;
  }
  return -1;
}

}  // namespace mvsearch
