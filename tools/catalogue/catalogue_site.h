// CatalogueSite: the catalogue stand-in's request handler. It maps a request to the page
// the site would answer, with the fault the stand-in was started with, and holds no state
// that changes after construction, so the server may call it on several threads at once.
//
//   POST /isearch.asp, form "ktv=KEYWORD"   result page (GET with ?ktv= works too)
//   POST /imv.asp?id=ID                     detail page with the two download addresses
//   GET  /files/ID.mp4                      the small file behind the second download line
//   anything else                           404
#pragma once

#include <chrono>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "catalogue/catalogue_entry.h"
#include "loopback_server/loopback_request.h"
#include "loopback_server/loopback_response.h"

namespace mvsearch {

// What goes wrong on the search and detail pages (the line file is always served whole):
//   kSlow        the answer comes after a delay
//   kReset       the head and half the body are sent, then the connection is reset
//   kBadUtf8     every second title carries invalid UTF-8 bytes
//   kNotFound    a 404 error page
//   kNoMarkers   the results and addresses in markup without the site's usual markers
//   kLongTitle   the first result's title is 40 KB long
enum class CatalogueFault { kNone, kSlow, kReset, kBadUtf8, kNotFound, kNoMarkers, kLongTitle };

// "none", "slow", "reset", "bad-utf8", "404", "no-markers", "long-title".
[[nodiscard]] std::optional<CatalogueFault> parse_catalogue_fault(std::string_view name);
[[nodiscard]] std::string_view catalogue_fault_name(CatalogueFault fault);

// The title the long-title fault gives: at least 40 KB of UTF-8, ending on a whole character.
[[nodiscard]] std::string long_title();
// `title` with invalid UTF-8 bytes (a cut-off sequence and a stray 0xFF) after its first
// character.
[[nodiscard]] std::string corrupt_title(std::string_view title);

struct CatalogueSiteOptions {
  std::vector<CatalogueEntry> entries;
  int generate = 0;  // > 0: every search finds this many generated entries
  CatalogueFault fault = CatalogueFault::kNone;
  std::chrono::milliseconds slow_delay{3000};
  std::uint16_t port = 0;  // the stand-in's own port, for the second download line
};

class CatalogueSite {
 public:
  explicit CatalogueSite(CatalogueSiteOptions options);

  // The answer to `request`. `summary`, when given, receives one line for the log, such as
  // «POST "/isearch.asp" -> 200 search "茉莉花": 2 results (1001 2028)»; a detail line ends with
  // the two addresses the page holds, so that a test can tell what the program should open.
  [[nodiscard]] LoopbackResponse respond(const LoopbackRequest& request,
                                         std::string* summary = nullptr) const;

  [[nodiscard]] const CatalogueSiteOptions& options() const { return options_; }

 private:
  [[nodiscard]] LoopbackResponse page(std::string body) const;
  [[nodiscard]] LoopbackResponse page(std::shared_ptr<const std::string> body) const;
  [[nodiscard]] LoopbackResponse with_fault(LoopbackResponse response) const;
  [[nodiscard]] std::optional<CatalogueEntry> entry_by_id(std::string_view id) const;
  // The results as the fault shows them.
  [[nodiscard]] std::vector<CatalogueEntry> shown(std::vector<CatalogueEntry> results) const;

  CatalogueSiteOptions options_;
  std::shared_ptr<const std::string> generated_page_;  // built once in --generate mode
};

}  // namespace mvsearch
