// LoopbackResponse: what the loopback server's handler asks it to answer, faults included.
//
// By default the server writes the status line, the header lines, a Content-Length line
// (unless a header already gives one, or the body goes chunked) and the body, and keeps
// the connection open for the next request. The fault options change that:
//   chunked            body sent with Transfer-Encoding: chunked, `chunk_size` bytes a chunk
//   delay              wait this long before writing anything
//   abort_after_body_bytes + abort
//                      write the head and only this many body bytes (as framed on the wire),
//                      then close (FIN) or reset (RST, via SO_LINGER 0) the connection
//   never_answer       write nothing; hold the connection until the client leaves or the
//                      server stops
//   raw                written verbatim instead of everything above; the connection is
//                      closed afterwards
#pragma once

#include <chrono>
#include <cstddef>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace mvsearch {

struct LoopbackResponse {
  enum class Abort { kClose, kReset };

  int status = 200;
  std::string reason = "OK";
  std::vector<std::string> headers;  // whole lines without CR LF, e.g. "Set-Cookie: a=1"
  std::string body;
  // Used instead of `body` when set: lets a handler serve one large body without a copy
  // per request.
  std::shared_ptr<const std::string> shared_body;

  bool chunked = false;
  std::size_t chunk_size = 4096;
  std::chrono::milliseconds delay{0};
  std::optional<std::size_t> abort_after_body_bytes;
  Abort abort = Abort::kReset;
  bool never_answer = false;
  bool close_after = false;  // close the connection after this response (FIN)
  std::string raw;

  [[nodiscard]] static LoopbackResponse Ok(std::string body) {
    LoopbackResponse response;
    response.body = std::move(body);
    return response;
  }
  [[nodiscard]] static LoopbackResponse Redirect(int status, std::string location) {
    LoopbackResponse response;
    response.status = status;
    response.reason = status == 301   ? "Moved Permanently"
                      : status == 303 ? "See Other"
                      : status == 307 ? "Temporary Redirect"
                      : status == 308 ? "Permanent Redirect"
                                      : "Found";
    response.headers.push_back("Location: " + location);
    return response;
  }
  [[nodiscard]] static LoopbackResponse Raw(std::string bytes) {
    LoopbackResponse response;
    response.raw = std::move(bytes);
    return response;
  }
};

}  // namespace mvsearch
