// LoopbackRequest: one HTTP request as the loopback server received it.
//
// `raw` holds the exact bytes that arrived for this request: request line, header lines,
// the empty line and the body as it was framed on the wire (chunk sizes included).
// `body` is the body with any chunked framing removed.
#pragma once

#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace mvsearch {

struct LoopbackRequest {
  std::string method;   // "GET", "POST", ...
  std::string target;   // path with query, as in the request line
  std::string version;  // "HTTP/1.1"
  // Header lines in arrival order; the name as sent, the value with surrounding spaces removed.
  std::vector<std::pair<std::string, std::string>> headers;
  std::string body;
  std::string raw;

  // Value of the first header with this name (ASCII case ignored), "" when absent.
  [[nodiscard]] std::string header(std::string_view name) const;
  [[nodiscard]] bool has_header(std::string_view name) const;
  // Number of header lines with this name (ASCII case ignored).
  [[nodiscard]] int header_count(std::string_view name) const;
  // The bytes between the request line's CR LF and the empty line: every header line as
  // received, joined by CR LF, without the final CR LF.
  [[nodiscard]] std::string header_block() const;
};

}  // namespace mvsearch
