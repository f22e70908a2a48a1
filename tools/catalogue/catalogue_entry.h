// CatalogueEntry: one song of the catalogue stand-in, and the catalogue data file that holds
// them (UTF-8, one entry a line: id, title, singer, language, kind, separated by tabs).
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace mvsearch {

struct CatalogueEntry {
  int id = 0;
  std::string title;
  std::string singer;
  std::string language;
  std::string kind;

  friend bool operator==(const CatalogueEntry&, const CatalogueEntry&) = default;
};

struct CatalogueData {
  std::vector<CatalogueEntry> entries;
  std::string error;  // empty when the whole file was read; else "line N: what is wrong"
};

// Reads the data file's text. Empty lines, lines starting with '#' and the column header
// line (starting with "id<TAB>") are skipped. Every other line must have the five fields,
// a positive decimal id not used before and a non-empty title and singer, all valid UTF-8.
// The first bad line stops the parse: the entries before it are kept, `error` says why.
[[nodiscard]] CatalogueData parse_catalogue(std::string_view tsv);

// Reads and parses the file at `path`; a file that cannot be read is an error too.
[[nodiscard]] CatalogueData load_catalogue(const std::string& path);

// Entries of the --generate mode: the n-th (from 1) has the id GENERATED_ID_BASE + n.
inline constexpr int GENERATED_ID_BASE = 1000000;
[[nodiscard]] CatalogueEntry generated_entry(int n);

// True when `text` is well-formed UTF-8 (no overlong forms, no surrogates, at most U+10FFFF).
[[nodiscard]] bool is_valid_utf8(std::string_view text);

}  // namespace mvsearch
