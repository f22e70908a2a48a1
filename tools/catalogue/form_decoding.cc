#include "catalogue/form_decoding.h"

namespace mvsearch {
namespace {

int hex_value(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

}  // namespace

std::string percent_decode(std::string_view text) {
  std::string decoded;
  decoded.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (c == '+') {
      decoded += ' ';
    } else if (c == '%' && i + 2 < text.size() && hex_value(text[i + 1]) >= 0 &&
               hex_value(text[i + 2]) >= 0) {
      decoded += static_cast<char>(hex_value(text[i + 1]) * 16 + hex_value(text[i + 2]));
      i += 2;
    } else {
      decoded += c;
    }
  }
  return decoded;
}

std::optional<std::string> form_value(std::string_view form, std::string_view name) {
  std::size_t start = 0;
  while (start <= form.size()) {
    std::size_t end = form.find('&', start);
    if (end == std::string_view::npos) end = form.size();
    const std::string_view field = form.substr(start, end - start);
    const std::size_t equals = field.find('=');
    const std::string_view field_name = field.substr(0, equals);
    if (!field.empty() && percent_decode(field_name) == name) {
      return equals == std::string_view::npos ? std::string()
                                              : percent_decode(field.substr(equals + 1));
    }
    start = end + 1;
  }
  return std::nullopt;
}

std::string_view target_query(std::string_view target) {
  const std::size_t question = target.find('?');
  return question == std::string_view::npos ? std::string_view() : target.substr(question + 1);
}

std::string_view target_path(std::string_view target) { return target.substr(0, target.find('?')); }

}  // namespace mvsearch
