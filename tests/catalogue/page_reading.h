// How the desktop program reads the stand-in's pages, in plain std::string terms: every
// double quote removed, the page cut at the result separator, titles and ids and redirect
// addresses cut between their markers. UTF-8 throughout (the program converts to GBK
// first, which keeps the ASCII markers where they are).
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace mvsearch::page_reading {

inline std::string without_quotes(std::string_view page) {
  std::string out;
  for (const char c : page) {
    if (c != '"') out += c;
  }
  return out;
}

inline std::vector<std::string> split(std::string_view text, std::string_view separator) {
  std::vector<std::string> pieces;
  std::size_t start = 0;
  while (true) {
    const std::size_t found = text.find(separator, start);
    if (found == std::string_view::npos) break;
    pieces.emplace_back(text.substr(start, found - start));
    start = found + separator.size();
  }
  if (start < text.size()) pieces.emplace_back(text.substr(start));
  return pieces;
}

inline std::string between(std::string_view text, std::string_view start_marker,
                           std::string_view end_marker) {
  const std::size_t start = text.find(start_marker);
  if (start == std::string_view::npos) return {};
  const std::size_t from = start + start_marker.size();
  const std::size_t end = text.find(end_marker, from);
  if (end == std::string_view::npos) return {};
  return std::string(text.substr(from, end - from));
}

struct Row {
  std::string id;
  std::string title;
};

// The rows the program lists for a result page.
inline std::vector<Row> rows(std::string_view page) {
  const std::vector<std::string> pieces = split(without_quotes(page), "<td><a href=/imv.asp?");
  std::vector<Row> result;
  for (std::size_t i = 1; i < pieces.size(); ++i) {
    result.push_back({between(pieces[i], "id=", " "),
                      between(pieces[i], "class=link><span>", "</span></a></td>")});
  }
  return result;
}

// What the cloud-drive command (https) or the second-line command (http) opens; "" for none.
inline std::string redirect(std::string_view detail_page, std::string_view scheme) {
  const std::string target = between(without_quotes(detail_page),
                                     "window.location.href=" + std::string(scheme) + ":", ";");
  return target.empty() ? std::string() : std::string(scheme) + ":" + target;
}

}  // namespace mvsearch::page_reading
