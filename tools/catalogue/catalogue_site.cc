#include "catalogue/catalogue_site.h"

#include <algorithm>
#include <charconv>
#include <utility>

#include "catalogue/catalogue_pages.h"
#include "catalogue/catalogue_search.h"
#include "catalogue/form_decoding.h"

namespace mvsearch {
namespace {

constexpr std::string_view kSearchPath = "/isearch.asp";
constexpr std::string_view kDetailPath = "/imv.asp";
constexpr std::string_view kFilePrefix = "/files/";
constexpr std::string_view kFileSuffix = ".mp4";
constexpr std::size_t kLongTitleBytes = 40 * 1024;
constexpr std::size_t kLoggedIds = 30;

struct FaultName {
  CatalogueFault fault;
  std::string_view name;
};
constexpr FaultName kFaultNames[] = {
    {CatalogueFault::kNone, "none"},
    {CatalogueFault::kSlow, "slow"},
    {CatalogueFault::kReset, "reset"},
    {CatalogueFault::kBadUtf8, "bad-utf8"},
    {CatalogueFault::kNotFound, "404"},
    {CatalogueFault::kNoMarkers, "no-markers"},
    {CatalogueFault::kLongTitle, "long-title"},
};

// IIS compares paths without regard to ASCII case.
bool same_path(std::string_view a, std::string_view b) {
  return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
    const auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c; };
    return lower(x) == lower(y);
  });
}

std::size_t utf8_char_length(std::string_view text) {
  if (text.empty()) return 0;
  const auto lead = static_cast<unsigned char>(text[0]);
  const std::size_t length = lead < 0x80 ? 1 : lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : 4;
  return std::min(length, text.size());
}

std::string quoted(std::string_view text) {
  // The log shows a keyword as text; control bytes would garble the terminal.
  std::string shown = "\"";
  for (const char c : text) {
    if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) {
      static constexpr char kHex[] = "0123456789ABCDEF";
      shown += "\\x";
      shown += kHex[static_cast<unsigned char>(c) >> 4];
      shown += kHex[c & 0x0F];
    } else {
      shown += c;
    }
  }
  return shown + "\"";
}

}  // namespace

std::optional<CatalogueFault> parse_catalogue_fault(std::string_view name) {
  for (const FaultName& entry : kFaultNames) {
    if (entry.name == name) return entry.fault;
  }
  return std::nullopt;
}

std::string_view catalogue_fault_name(CatalogueFault fault) {
  for (const FaultName& entry : kFaultNames) {
    if (entry.fault == fault) return entry.name;
  }
  return "none";
}

std::string long_title() {
  std::string title = "很长的歌名";
  static constexpr std::string_view kPiece = "一二三四五六七八九十";
  while (title.size() < kLongTitleBytes) title += kPiece;
  return title;
}

std::string corrupt_title(std::string_view title) {
  const std::size_t first = utf8_char_length(title);
  return std::string(title.substr(0, first)) + "\xE6\xAD" + "\xFF" +
         std::string(title.substr(first));
}

CatalogueSite::CatalogueSite(CatalogueSiteOptions options) : options_(std::move(options)) {
  if (options_.generate > 0) {
    std::vector<CatalogueEntry> results;
    results.reserve(static_cast<std::size_t>(options_.generate));
    for (int n = 1; n <= options_.generate; ++n) results.push_back(generated_entry(n));
    generated_page_ = std::make_shared<const std::string>(render_result_page(
        "", shown(std::move(results)),
        options_.fault == CatalogueFault::kNoMarkers ? PageMarkup::kWithoutMarkers
                                                     : PageMarkup::kStandard));
  }
}

std::vector<CatalogueEntry> CatalogueSite::shown(std::vector<CatalogueEntry> results) const {
  if (options_.fault == CatalogueFault::kBadUtf8) {
    for (std::size_t i = 1; i < results.size(); i += 2) {
      results[i].title = corrupt_title(results[i].title);
    }
  } else if (options_.fault == CatalogueFault::kLongTitle && !results.empty()) {
    results[0].title = long_title();
  }
  return results;
}

LoopbackResponse CatalogueSite::page(std::string body) const {
  return page(std::make_shared<const std::string>(std::move(body)));
}

LoopbackResponse CatalogueSite::page(std::shared_ptr<const std::string> body) const {
  LoopbackResponse response;
  response.headers = {
      "Cache-Control: private",
      "Content-Type: text/html; charset=utf-8",
      "Set-Cookie: ASPSESSIONIDSQTBRACD=KMNPLOBDHFCMJEAGPLKJNKIA; path=/",
  };
  response.shared_body = std::move(body);
  return with_fault(std::move(response));
}

LoopbackResponse CatalogueSite::with_fault(LoopbackResponse response) const {
  switch (options_.fault) {
    case CatalogueFault::kSlow:
      response.delay = options_.slow_delay;
      break;
    case CatalogueFault::kReset:
      response.abort_after_body_bytes = response.shared_body->size() / 2;
      response.abort = LoopbackResponse::Abort::kReset;
      break;
    case CatalogueFault::kNotFound:
      response.status = 404;
      response.reason = "Not Found";
      break;
    default:
      break;
  }
  return response;
}

std::optional<CatalogueEntry> CatalogueSite::entry_by_id(std::string_view id) const {
  int number = 0;
  const auto [end, error] = std::from_chars(id.data(), id.data() + id.size(), number);
  if (id.empty() || error != std::errc() || end != id.data() + id.size() || number <= 0) {
    return std::nullopt;
  }
  for (const CatalogueEntry& entry : options_.entries) {
    if (entry.id == number) return entry;
  }
  if (number > GENERATED_ID_BASE && number - GENERATED_ID_BASE <= options_.generate) {
    return generated_entry(number - GENERATED_ID_BASE);
  }
  return std::nullopt;
}

LoopbackResponse CatalogueSite::respond(const LoopbackRequest& request,
                                        std::string* summary) const {
  const std::string_view path = target_path(request.target);
  const std::string_view query = target_query(request.target);
  std::string note;
  bool site_page = true;  // the faults touch only the search and detail pages
  LoopbackResponse response;
  const PageMarkup markup = options_.fault == CatalogueFault::kNoMarkers
                                ? PageMarkup::kWithoutMarkers
                                : PageMarkup::kStandard;

  if (same_path(path, kSearchPath)) {
    const std::string keyword =
        form_value(request.body, "ktv").value_or(form_value(query, "ktv").value_or(std::string()));
    if (options_.fault == CatalogueFault::kNotFound) {
      response = page(render_not_found_page(path));
      note = "search " + quoted(keyword) + ": 404";
    } else if (generated_page_) {
      response = page(generated_page_);
      note = "search " + quoted(keyword) + ": " + std::to_string(options_.generate) +
             " generated results";
    } else {
      const std::vector<CatalogueEntry> results = find_catalogue_entries(options_.entries, keyword);
      note = "search " + quoted(keyword) + ": " + std::to_string(results.size()) + " results";
      // The ids in page order, so that a test can tell which row stands for which entry.
      for (std::size_t i = 0; i < results.size() && i < kLoggedIds; ++i) {
        note += (i == 0 ? " (" : " ") + std::to_string(results[i].id);
      }
      if (results.size() > kLoggedIds) note += " ...";
      if (!results.empty()) note += ")";
      response = page(render_result_page(keyword, shown(results), markup));
    }
  } else if (same_path(path, kDetailPath)) {
    const std::string id = form_value(query, "id").value_or(std::string());
    const std::optional<CatalogueEntry> entry = entry_by_id(id);
    if (options_.fault == CatalogueFault::kNotFound) {
      response = page(render_not_found_page(path));
      note = "detail " + quoted(id) + ": 404";
    } else if (entry) {
      CatalogueEntry detail = *entry;
      if (options_.fault == CatalogueFault::kBadUtf8) detail.title = corrupt_title(detail.title);
      if (options_.fault == CatalogueFault::kLongTitle) detail.title = long_title();
      response = page(render_detail_page(detail, options_.port, markup));
      note = "detail " + quoted(id) + ": " + entry->title + " " + cloud_drive_address(*entry) +
             " " + second_line_address(*entry, options_.port);
    } else {
      response = page(render_unknown_entry_page(id));
      note = "detail " + quoted(id) + ": unknown id";
    }
  } else if (path.size() > kFilePrefix.size() + kFileSuffix.size() &&
             path.starts_with(kFilePrefix) && path.ends_with(kFileSuffix)) {
    site_page = false;
    const std::string_view id =
        path.substr(kFilePrefix.size(), path.size() - kFilePrefix.size() - kFileSuffix.size());
    if (const std::optional<CatalogueEntry> entry = entry_by_id(id)) {
      response.headers = {"Content-Type: text/plain; charset=utf-8"};
      response.body = render_line_file(*entry);
      note = "file " + std::string(id);
    } else {
      response.status = 404;
      response.reason = "Not Found";
      response.headers = {"Content-Type: text/html; charset=utf-8"};
      response.body = render_not_found_page(path);
      note = "file " + quoted(id) + ": 404";
    }
  } else {
    site_page = false;
    response.status = 404;
    response.reason = "Not Found";
    response.headers = {"Content-Type: text/html; charset=utf-8"};
    response.body = render_not_found_page(path);
    note = "no such page";
  }

  if (summary != nullptr) {
    *summary = request.method + " " + quoted(request.target) + " -> " +
               std::to_string(response.status) + " " + note;
    if (site_page && options_.fault != CatalogueFault::kNone) {
      *summary += " [" + std::string(catalogue_fault_name(options_.fault)) + "]";
    }
  }
  return response;
}

}  // namespace mvsearch
