// web_request over the Internet API, step by step.
#include "web/web_request.h"

#include <cstring>

#include "platform/internet.h"
#include "runtime/byte_ops.h"
#include "runtime/number_text.h"
#include "runtime/text_ops.h"
#include "textutil/text_cutting.h"
#include "web/cookies.h"
#include "web/header_names.h"
#include "web/url.h"

namespace mvsearch {
namespace {

constexpr std::string_view DEFAULT_AGENT = "Mozilla/4.0 (compatible; MSIE 9.0; Windows NT 6.1)";
// Certificate problems never stop a request: the SECURITY_FLAG_IGNORE_ bits for revocation,
// unknown CA, wrong usage, CN, date, both redirect directions, and 0x10000.
constexpr DWORD SECURITY_FLAGS_VALUE = 0x1F380;
constexpr DWORD READ_BUFFER_SIZE = 1024;
constexpr int RAW_HEADERS_BUFFER_SIZE = 5000;

// Closes its Internet API handle on close() or, at the latest, when it goes out of scope.
class InternetHandle {
 public:
  explicit InternetHandle(HINTERNET handle) : handle_(handle) {}
  ~InternetHandle() { close(); }
  InternetHandle(const InternetHandle&) = delete;
  InternetHandle& operator=(const InternetHandle&) = delete;

  [[nodiscard]] HINTERNET get() const { return handle_; }
  explicit operator bool() const { return handle_ != 0; }
  void close() {
    if (handle_ != 0) InternetCloseHandle(handle_);
    handle_ = 0;
  }

 private:
  HINTERNET handle_;
};

// The address as a header value. Control bytes are percent-encoded so that an address cut
// from page text cannot end the Referer line and start one of its own; the request path
// gets the same treatment from the Internet API.
Text referer_value(std::string_view url) {
  Text value;
  value.reserve(url.size());
  for (const char c : url) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte < 0x20 || byte == 0x7F) {
      static constexpr char HEX_DIGITS[] = "0123456789ABCDEF";
      value += '%';
      value += HEX_DIGITS[byte >> 4];
      value += HEX_DIGITS[byte & 0xF];
    } else {
      value += c;
    }
  }
  return value;
}

}  // namespace

ByteSet web_request(std::string_view url, Optional<int> method, Optional<Text> post_text,
                    OptionalRef<Text> cookies, OptionalRef<Text> returned_cookies,
                    Optional<Text> headers, OptionalRef<Text> returned_headers,
                    Optional<bool> no_redirect, OptionalRef<ByteSet> post_bytes,
                    Optional<Text> proxy, Optional<bool> merge_returned,
                    Optional<bool> complete_headers, Optional<bool> normalize_names) {
  // 1. Defaults of the three switches.
  const bool merge = merge_returned.provided() ? merge_returned.value() : true;
  const bool complete = complete_headers.provided() ? complete_headers.value() : true;
  const bool normalize = normalize_names.provided() ? normalize_names.value() : true;

  // 2, 3. The working block.
  Text block = headers.value();
  if (normalize) block = normalize_header_names(block);

  // 4. Method.
  int method_index = method.value();
  if (method_index < 0 || method_index > 7) method_index = 0;
  const Text method_name(method_names[static_cast<std::size_t>(method_index)]);

  // 5. Scheme.
  const bool is_https = to_lower(text_left(url, 8)) == "https://";

  // 6. Agent; the User-Agent line itself stays in the block.
  Text agent;
  if (find_text(block, "User-Agent:", {}, true) == -1) {
    agent = DEFAULT_AGENT;
  } else {
    agent = trim_spaces(text_between(block + "\r\n", "User-Agent:", "\r\n"));
    if (agent.empty()) agent = header_value(block);
  }

  // 7. Internet handle.
  const Text& proxy_text = proxy.value();
  InternetHandle internet(
      proxy_text.empty()
          ? InternetOpenA(agent.c_str(), INTERNET_OPEN_TYPE_DIRECT, nullptr, nullptr, 0)
      : is_https ? InternetOpenA(agent.c_str(), INTERNET_OPEN_TYPE_PROXY, proxy_text.c_str(), "", 0)
                 : InternetOpenA(agent.c_str(), INTERNET_OPEN_TYPE_PROXY,
                                 ("http=" + proxy_text).c_str(), "", 0));
  if (!internet) return {};

  // 8. Connection. A port beyond 16 bits would be cut to another port: no connection.
  const Text host = url_host(url);
  const int port = url_port(url);
  if (port < 0 || port > 0xFFFF) return {};
  InternetHandle connection(InternetConnectA(internet.get(), host.c_str(),
                                             static_cast<INTERNET_PORT>(port), nullptr, nullptr,
                                             INTERNET_SERVICE_HTTP, 0, 0));
  if (!connection) return {};

  // 9. Flag word.
  DWORD flags = bit_or(INTERNET_FLAG_RELOAD, INTERNET_FLAG_NEED_FILE);
  if (cookies.provided()) flags = bit_or(flags, INTERNET_FLAG_NO_COOKIES);
  if (no_redirect.value()) flags = bit_or(flags, INTERNET_FLAG_NO_AUTO_REDIRECT);
  flags = bit_or(flags, is_https ? INTERNET_FLAG_SECURE : INTERNET_FLAG_IGNORE_REDIRECT_TO_HTTPS);

  // 10. Request.
  const Text path = url_path(url);
  InternetHandle request(HttpOpenRequestA(connection.get(), method_name.c_str(), path.c_str(),
                                          "HTTP/1.1", nullptr, nullptr, flags, 0));
  if (!request) return {};

  // 11. Security options.
  const DWORD security_flags = SECURITY_FLAGS_VALUE;
  InternetSetOptionA(request.get(), INTERNET_OPTION_SECURITY_FLAGS, &security_flags,
                     sizeof security_flags);

  // 12. Header completion; presence anywhere in the block counts.
  if (complete) {
    if (block.empty()) block = "Accept: */*";
    if (find_text(block, "Accept:", {}, true) == -1) block += "\r\nAccept: */*";
    if (find_text(block, "Referer:", {}, true) == -1) block += "\r\nReferer: " + referer_value(url);
    if (find_text(block, "Accept-Language:", {}, true) == -1) {
      block += "\r\nAccept-Language: zh-cn";
    }
    if (method_index == 1 && find_text(block, "Content-Type:", {}, true) == -1) {
      block += "\r\nContent-Type: application/x-www-form-urlencoded";
    }
  }

  // 13. Cookie line: a bare cookie text, or a whole line the caller wrote.
  const Text& cookie_text = cookies.get();
  if (!cookie_text.empty()) {
    block += find_text(cookie_text, "Cookie:") == -1 ? "\r\nCookie: " + cookie_text
                                                     : "\r\n" + cookie_text;
  }

  // 14. Send; its result is not looked at (a failed send shows as an empty answer).
  const auto block_length = static_cast<DWORD>(text_length(block));
  if (method_index == 0) {
    HttpSendRequestA(request.get(), block.c_str(), block_length, nullptr, 0);
  } else {
    ByteSet& body_out = post_bytes.get();
    if (body_out.empty()) body_out = to_bytes(post_text.value());
    HttpSendRequestA(request.get(), block.c_str(), block_length, body_out.data(),
                     static_cast<DWORD>(body_out.size()));
  }

  // 15. Read the whole body.
  ByteSet body;
  ByteSet buffer = blank_bytes(static_cast<int>(READ_BUFFER_SIZE));
  DWORD count = 0;
  do {
    InternetReadFile(request.get(), buffer.data(), READ_BUFFER_SIZE, &count);
    body.append(buffer.data(), count);
  } while (count > 0);

  // 16. Raw headers into a buffer of 5000 spaces; the text ends at the first NUL.
  Text& raw_headers = returned_headers.get();
  raw_headers = blank_text(RAW_HEADERS_BUFFER_SIZE);
  DWORD length = RAW_HEADERS_BUFFER_SIZE;
  HttpQueryInfoA(request.get(), HTTP_QUERY_RAW_HEADERS_CRLF, raw_headers.data(), &length, nullptr);
  raw_headers.resize(strnlen(raw_headers.data(), raw_headers.size()));

  // 17. Close: request, connection, Internet handle.
  request.close();
  connection.close();
  internet.close();

  // 18. Returned cookies, attributes dropped, in header order.
  Text& collected = returned_cookies.get();
  const TextArray lines = split_text(raw_headers, "\r\n");
  collected.clear();
  for (const Text& line : lines) {
    if (text_before(line, ": ") != "Set-Cookie") continue;
    const Text pair = find_text(line, ";") != -1
                          ? trim_spaces(text_between(line, "Set-Cookie:", ";"))
                          : trim_spaces(replace_text(line, "Set-Cookie:", "", {}, {}, false));
    collected += pair + "; ";
  }
  collected = text_left(collected, text_length(collected) - 2);

  // 19. Merge into the caller's cookie text.
  if (merge && cookies.provided()) collected = merge_cookies(cookies.get(), collected);

  // 20.
  return body;
}

}  // namespace mvsearch
