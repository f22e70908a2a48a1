#include "catalogue/catalogue_entry.h"

#include <charconv>
#include <fstream>
#include <set>
#include <sstream>

namespace mvsearch {
namespace {

std::vector<std::string_view> split_fields(std::string_view line) {
  std::vector<std::string_view> fields;
  std::size_t start = 0;
  while (true) {
    const std::size_t tab = line.find('\t', start);
    fields.push_back(line.substr(start, tab == std::string_view::npos ? line.npos : tab - start));
    if (tab == std::string_view::npos) return fields;
    start = tab + 1;
  }
}

bool parse_id(std::string_view text, int& id) {
  if (text.empty()) return false;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), id);
  return error == std::errc() && end == text.data() + text.size() && id > 0;
}

}  // namespace

bool is_valid_utf8(std::string_view text) {
  std::size_t i = 0;
  while (i < text.size()) {
    const auto lead = static_cast<unsigned char>(text[i]);
    int length = 0;
    char32_t code = 0;
    if (lead < 0x80) {
      ++i;
      continue;
    } else if (lead >= 0xC2 && lead <= 0xDF) {
      length = 2;
      code = lead & 0x1F;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
      length = 3;
      code = lead & 0x0F;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
      length = 4;
      code = lead & 0x07;
    } else {
      return false;
    }
    if (text.size() - i < static_cast<std::size_t>(length)) return false;
    for (int k = 1; k < length; ++k) {
      const auto next = static_cast<unsigned char>(text[i + k]);
      if ((next & 0xC0) != 0x80) return false;
      code = (code << 6) | (next & 0x3F);
    }
    const char32_t smallest = length == 2 ? 0x80 : length == 3 ? 0x800 : 0x10000;
    if (code < smallest || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) return false;
    i += length;
  }
  return true;
}

CatalogueData parse_catalogue(std::string_view tsv) {
  CatalogueData data;
  std::set<int> ids;
  int line_number = 0;
  std::size_t start = 0;
  while (start < tsv.size()) {
    std::size_t end = tsv.find('\n', start);
    if (end == std::string_view::npos) end = tsv.size();
    std::string_view line = tsv.substr(start, end - start);
    start = end + 1;
    ++line_number;
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    if (line.empty() || line.front() == '#' || line.starts_with("id\t")) continue;

    const auto fail = [&](std::string_view why) {
      data.error = "line " + std::to_string(line_number) + ": " + std::string(why);
      return data;
    };
    if (!is_valid_utf8(line)) return fail("not valid UTF-8");
    const std::vector<std::string_view> fields = split_fields(line);
    if (fields.size() != 5) return fail("expected 5 tab-separated fields");
    CatalogueEntry entry;
    if (!parse_id(fields[0], entry.id)) return fail("the id is not a positive number");
    if (!ids.insert(entry.id).second) return fail("the id is used twice");
    if (fields[1].empty() || fields[2].empty()) return fail("empty title or singer");
    entry.title = fields[1];
    entry.singer = fields[2];
    entry.language = fields[3];
    entry.kind = fields[4];
    data.entries.push_back(std::move(entry));
  }
  return data;
}

CatalogueData load_catalogue(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  if (!file) {
    CatalogueData data;
    data.error = "cannot open " + path;
    return data;
  }
  std::ostringstream text;
  text << file.rdbuf();
  CatalogueData data = parse_catalogue(text.str());
  if (!data.error.empty()) data.error = path + ": " + data.error;
  return data;
}

CatalogueEntry generated_entry(int n) {
  // Titles vary in length like real ones do; digits keep every title distinct.
  static constexpr std::string_view kWords[] = {"晚风", "山谷里的回声", "城市", "远行的列车",
                                                "月光", "老街的黄昏",   "星空", "雨"};
  const std::string number = std::to_string(n);
  CatalogueEntry entry;
  entry.id = GENERATED_ID_BASE + n;
  entry.title = "生成曲目" + number + " " + std::string(kWords[n % 8]);
  entry.singer = "测试歌手" + std::to_string(n % 97);
  entry.language = n % 5 == 0 ? "粤语" : "国语";
  entry.kind = n % 2 == 0 ? "KTV" : "MV";
  return entry;
}

}  // namespace mvsearch
