#include "catalogue/catalogue_search.h"

#include <algorithm>

namespace mvsearch {
namespace {

char fold(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

std::string_view trim(std::string_view text) {
  constexpr std::string_view kBlank = " \t\r\n";
  const std::size_t first = text.find_first_not_of(kBlank);
  if (first == std::string_view::npos) return {};
  return text.substr(first, text.find_last_not_of(kBlank) - first + 1);
}

}  // namespace

bool contains_ignoring_ascii_case(std::string_view haystack, std::string_view needle) {
  const auto found = std::search(haystack.begin(), haystack.end(), needle.begin(), needle.end(),
                                 [](char a, char b) { return fold(a) == fold(b); });
  return needle.empty() || found != haystack.end();
}

std::vector<CatalogueEntry> find_catalogue_entries(const std::vector<CatalogueEntry>& entries,
                                                   std::string_view keyword) {
  std::vector<CatalogueEntry> found;
  const std::string_view needle = trim(keyword);
  if (needle.empty()) return found;
  for (const CatalogueEntry& entry : entries) {
    if (contains_ignoring_ascii_case(entry.title, needle) ||
        contains_ignoring_ascii_case(entry.singer, needle)) {
      found.push_back(entry);
    }
  }
  return found;
}

}  // namespace mvsearch
