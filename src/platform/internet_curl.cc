// The Internet API on libcurl: handles in a table, one curl easy transfer per
// HttpSendRequestA, one process-wide cookie store in a curl share.
#include <curl/curl.h>

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <mutex>
#include <new>
#include <string>
#include <string_view>
#include <unordered_map>
#include <variant>
#include <vector>

#include "platform/internet.h"

namespace mvsearch {
namespace {

std::atomic<long> connect_timeout_seconds{60};
std::atomic<long> no_data_timeout_seconds{60};

constexpr long kMaxRedirects = 10;
// Larger receive buffers mean fewer callbacks on big bodies.
constexpr long kReceiveBufferBytes = 512 * 1024;
// Content-Length is trusted for reserving only up to this size.
constexpr curl_off_t kMaxReserveBytes = curl_off_t{64} << 20;
constexpr DWORD kNulTerminated = 0xFFFFFFFF;

constexpr std::string_view kConnectToVariable = "MVSEARCH_CONNECT_TO";

struct EasyDeleter {
  void operator()(CURL* easy) const { curl_easy_cleanup(easy); }
};
using EasyHandle = std::unique_ptr<CURL, EasyDeleter>;

struct SlistDeleter {
  void operator()(curl_slist* list) const { curl_slist_free_all(list); }
};
using Slist = std::unique_ptr<curl_slist, SlistDeleter>;

bool Append(Slist& list, const std::string& item) {
  curl_slist* grown = curl_slist_append(list.get(), item.c_str());
  if (grown == nullptr) return false;
  (void)list.release();  // `grown` is the same list, or a new one when `list` was empty
  list.reset(grown);
  return true;
}

bool GlobalInit() {
  static const bool ok = curl_global_init(CURL_GLOBAL_DEFAULT) == CURLE_OK;
  return ok;
}

// The platform's cookie store: one in-memory jar for the whole process.
class CookieStore {
 public:
  CookieStore() {
    if (!GlobalInit()) return;
    CURLSH* share = curl_share_init();
    if (share == nullptr) return;
    if (curl_share_setopt(share, CURLSHOPT_LOCKFUNC, &CookieStore::Lock) != CURLSHE_OK ||
        curl_share_setopt(share, CURLSHOPT_UNLOCKFUNC, &CookieStore::Unlock) != CURLSHE_OK ||
        curl_share_setopt(share, CURLSHOPT_USERDATA, this) != CURLSHE_OK ||
        curl_share_setopt(share, CURLSHOPT_SHARE, CURL_LOCK_DATA_COOKIE) != CURLSHE_OK) {
      curl_share_cleanup(share);
      return;
    }
    share_ = share;
  }
  ~CookieStore() {
    if (share_ != nullptr) curl_share_cleanup(share_);
  }
  CookieStore(const CookieStore&) = delete;
  CookieStore& operator=(const CookieStore&) = delete;

  [[nodiscard]] CURLSH* share() const { return share_; }

 private:
  static void Lock(CURL*, curl_lock_data data, curl_lock_access, void* self) {
    static_cast<CookieStore*>(self)->locks_[data].lock();
  }
  static void Unlock(CURL*, curl_lock_data data, void* self) {
    static_cast<CookieStore*>(self)->locks_[data].unlock();
  }

  std::mutex locks_[CURL_LOCK_DATA_LAST];
  CURLSH* share_ = nullptr;
};

CURLSH* CookieShare() {
  static CookieStore store;
  return store.share();
}

struct Session {
  std::string agent;
  bool use_proxy = false;
  std::string proxy;
  std::string proxy_bypass;
};

struct Connection {
  std::shared_ptr<const Session> session;
  std::string host;
  INTERNET_PORT port = 0;
};

struct Request {
  std::shared_ptr<const Connection> connection;
  std::string method;
  std::string path;
  long http_version = CURL_HTTP_VERSION_1_1;
  DWORD flags = 0;
  DWORD security_flags = 0;

  // The answer of the last send.
  CURL* easy = nullptr;  // during the transfer only
  bool answered = false;
  std::string raw_headers;  // of the response being received, then of the final one
  std::string body;
  std::size_t read_position = 0;
};

using Object = std::variant<Session, Connection, Request>;

class HandleTable {
 public:
  HINTERNET Add(Object object) {
    std::lock_guard lock(mutex_);
    const HINTERNET handle = next_++;
    objects_.emplace(handle, std::make_shared<Object>(std::move(object)));
    return handle;
  }

  template <class T>
  std::shared_ptr<T> Find(HINTERNET handle) {
    std::lock_guard lock(mutex_);
    auto it = objects_.find(handle);
    if (it == objects_.end() || !std::holds_alternative<T>(*it->second)) return nullptr;
    return std::shared_ptr<T>(it->second, &std::get<T>(*it->second));
  }

  bool Remove(HINTERNET handle) {
    std::shared_ptr<Object> removed;  // released outside the lock
    std::lock_guard lock(mutex_);
    auto it = objects_.find(handle);
    if (it == objects_.end()) return false;
    removed = std::move(it->second);
    objects_.erase(it);
    return true;
  }

 private:
  std::mutex mutex_;
  std::unordered_map<HINTERNET, std::shared_ptr<Object>> objects_;
  HINTERNET next_ = 0x100;  // never 0, never reused
};

HandleTable& Handles() {
  static HandleTable table;
  return table;
}

std::string TextOrEmpty(const char* text) { return text != nullptr ? text : ""; }

bool StartsWithIgnoreCase(std::string_view text, std::string_view prefix) {
  if (text.size() < prefix.size()) return false;
  for (std::size_t i = 0; i < prefix.size(); ++i) {
    auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c; };
    if (lower(text[i]) != lower(prefix[i])) return false;
  }
  return true;
}

bool IsBlank(std::string_view text) {
  return std::all_of(text.begin(), text.end(), [](char c) { return c == ' ' || c == '\t'; });
}

// Request methods are tokens: anything else could break the request line.
bool IsToken(std::string_view text) {
  if (text.empty()) return false;
  return std::all_of(text.begin(), text.end(), [](char c) {
    const auto b = static_cast<unsigned char>(c);
    return b > 0x20 && b < 0x7F && std::strchr("\"(),/:;<=>?@[\\]{}", c) == nullptr;
  });
}

// Host names, IPv4 and IPv6 literals; anything else cannot be resolved.
bool IsHostName(std::string_view host) {
  if (host.size() >= 2 && host.front() == '[' && host.back() == ']')
    host = host.substr(1, host.size() - 2);
  if (host.empty()) return false;
  return std::all_of(host.begin(), host.end(), [](char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' ||
           c == '.' || c == '_' || c == ':';
  });
}

// Bytes that must not reach the request line as they are: they would end it early or
// smuggle in header lines.
std::string SafePath(std::string_view path) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string safe;
  safe.reserve(path.size() + 1);
  if (path.empty() || path.front() != '/') safe += '/';
  for (char c : path) {
    const auto b = static_cast<unsigned char>(c);
    if (b <= 0x20 || b == 0x7F || c == '#') {
      safe += '%';
      safe += kHex[b >> 4];
      safe += kHex[b & 0xF];
    } else {
      safe += c;
    }
  }
  return safe;
}

// The proxy for `scheme` in the platform's proxy list, as a curl proxy address; empty for
// a direct connection.
std::string ProxyFor(std::string_view list, std::string_view scheme) {
  std::string bare;
  std::size_t pos = 0;
  while (pos < list.size()) {
    const std::size_t end = std::min(list.find_first_of(" ;", pos), list.size());
    const std::string_view entry = list.substr(pos, end - pos);
    pos = end + 1;
    if (entry.empty()) continue;
    const std::size_t equals = entry.find('=');
    if (equals == std::string_view::npos) {
      if (bare.empty()) bare = entry;
    } else if (StartsWithIgnoreCase(entry.substr(0, equals), scheme) && equals == scheme.size()) {
      bare = entry.substr(equals + 1);
      break;
    }
  }
  if (bare.empty() || bare.find("://") != std::string::npos) return bare;
  return "http://" + bare;
}

// The bypass list ("host;*.domain;<local>") as curl's comma-separated no-proxy list.
std::string NoProxyList(std::string_view bypass) {
  std::string out;
  std::size_t pos = 0;
  while (pos < bypass.size()) {
    const std::size_t end = std::min(bypass.find_first_of(" ;,", pos), bypass.size());
    std::string_view entry = bypass.substr(pos, end - pos);
    pos = end + 1;
    if (entry.empty() || entry == "<local>") continue;
    if (entry.starts_with("*.")) entry.remove_prefix(1);
    if (!out.empty()) out += ',';
    out += entry;
  }
  return out;
}

// The caller's header block as curl header lines, plus what keeps curl from adding lines
// of its own.
struct HeaderList {
  Slist list;
  bool has_user_agent = false;
  bool ok = true;
};

bool HasName(std::string_view line, std::string_view name) {
  return StartsWithIgnoreCase(line, name) && line.size() > name.size() &&
         (line[name.size()] == ':' || line[name.size()] == ';');
}

HeaderList BuildHeaderList(std::string_view block, bool is_head) {
  HeaderList result;
  bool has_accept = false, has_expect = false, has_content_type = false, has_content_length = false;
  std::size_t pos = 0;
  while (pos < block.size() && result.ok) {
    // Any CR or LF ends a line: a lone one must not reach the wire inside a header.
    const std::size_t end = std::min(block.find_first_of("\r\n", pos), block.size());
    const std::string_view line = block.substr(pos, end - pos);
    pos = end + 1;
    const std::size_t colon = line.find(':');
    if (colon == std::string_view::npos || colon == 0) continue;
    has_accept = has_accept || HasName(line, "Accept");
    has_expect = has_expect || HasName(line, "Expect");
    has_content_type = has_content_type || HasName(line, "Content-Type");
    has_content_length = has_content_length || HasName(line, "Content-Length");
    result.has_user_agent = result.has_user_agent || HasName(line, "User-Agent");
    // curl drops a line whose value is blank; "Name;" is its way to send "Name:".
    const std::string item = IsBlank(line.substr(colon + 1))
                                 ? std::string(line.substr(0, colon)) + ";"
                                 : std::string(line);
    result.ok = Append(result.list, item);
  }
  // A name with nothing after the colon removes curl's own line of that name.
  if (result.ok && !has_accept) result.ok = Append(result.list, "Accept:");
  if (result.ok && !has_expect) result.ok = Append(result.list, "Expect:");
  if (result.ok && !has_content_type) result.ok = Append(result.list, "Content-Type:");
  if (result.ok && is_head && !has_content_length) {
    result.ok = Append(result.list, "Content-Length: 0");
  }
  return result;
}

// MVSEARCH_CONNECT_TO as a curl connect-to list.
bool BuildConnectTo(Slist& list) {
  const char* value = std::getenv(std::string(kConnectToVariable).c_str());
  if (value == nullptr) return true;
  std::string_view entries = value;
  std::size_t pos = 0;
  while (pos < entries.size()) {
    const std::size_t end = std::min(entries.find(',', pos), entries.size());
    std::string_view entry = entries.substr(pos, end - pos);
    pos = end + 1;
    while (!entry.empty() && entry.front() == ' ') entry.remove_prefix(1);
    while (!entry.empty() && entry.back() == ' ') entry.remove_suffix(1);
    if (!entry.empty() && !Append(list, std::string(entry))) return false;
  }
  return true;
}

std::size_t OnHeader(char* data, std::size_t size, std::size_t count, void* user) {
  auto& request = *static_cast<Request*>(user);
  std::string_view line(data, size * count);
  while (!line.empty() && (line.back() == '\n' || line.back() == '\r')) line.remove_suffix(1);
  try {
    // Each response (interim, redirect, final) starts with its status line: only the last
    // one's head and body are kept.
    if (line.starts_with("HTTP/")) {
      request.raw_headers.clear();
      request.body.clear();
    }
    request.raw_headers.append(line);
    request.raw_headers.append("\r\n");
    if (line.empty()) {
      curl_off_t length = -1;
      if (curl_easy_getinfo(request.easy, CURLINFO_CONTENT_LENGTH_DOWNLOAD_T, &length) ==
              CURLE_OK &&
          length > 0 && length <= kMaxReserveBytes) {
        request.body.reserve(static_cast<std::size_t>(length));
      }
    }
  } catch (const std::bad_alloc&) {
    return 0;  // ends the transfer
  }
  return size * count;
}

std::size_t OnBody(char* data, std::size_t size, std::size_t count, void* user) {
  auto& request = *static_cast<Request*>(user);
  try {
    request.body.append(data, size * count);
  } catch (const std::bad_alloc&) {
    return 0;
  }
  return size * count;
}

// Performs the request; fills raw_headers and body.
void Transfer(Request& request, std::string_view header_block, const char* body,
              curl_off_t body_length) {
  request.answered = false;
  request.raw_headers.clear();
  request.body.clear();
  request.read_position = 0;

  const Connection& connection = *request.connection;
  const Session& session = *connection.session;
  if (!GlobalInit() || !IsHostName(connection.host)) return;
  const bool https = (request.flags & INTERNET_FLAG_SECURE) != 0;
  const INTERNET_PORT port = connection.port != 0 ? connection.port : https ? 443 : 80;
  const bool bracket =
      connection.host.find(':') != std::string::npos && connection.host.front() != '[';
  const std::string url = std::string(https ? "https://" : "http://") + (bracket ? "[" : "") +
                          connection.host + (bracket ? "]" : "") + ":" + std::to_string(port) +
                          request.path;

  const bool is_head = request.method == "HEAD";
  HeaderList headers = BuildHeaderList(header_block, is_head);
  Slist connect_to;
  if (!headers.ok || !BuildConnectTo(connect_to)) return;

  EasyHandle easy(curl_easy_init());
  if (!easy) return;
  CURL* e = easy.get();
  bool ok = true;
  auto set = [&](CURLoption option, auto value) {
    if (ok && curl_easy_setopt(e, option, value) != CURLE_OK) ok = false;
  };
  set(CURLOPT_URL, url.c_str());
  set(CURLOPT_PROTOCOLS_STR, "http,https");
  set(CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
  set(CURLOPT_NOSIGNAL, 1L);
  set(CURLOPT_HTTP_VERSION, request.http_version);
  set(CURLOPT_PATH_AS_IS, 1L);
  set(CURLOPT_BUFFERSIZE, kReceiveBufferBytes);
  set(CURLOPT_CONNECTTIMEOUT, connect_timeout_seconds.load());
  set(CURLOPT_LOW_SPEED_LIMIT, 1L);
  set(CURLOPT_LOW_SPEED_TIME, no_data_timeout_seconds.load());

  const bool follow = (request.flags & INTERNET_FLAG_NO_AUTO_REDIRECT) == 0;
  set(CURLOPT_FOLLOWLOCATION, follow ? 1L : 0L);
  set(CURLOPT_MAXREDIRS, kMaxRedirects);
  set(CURLOPT_POSTREDIR, 0L);  // POST becomes GET on 301, 302 and 303

  if ((request.flags & INTERNET_FLAG_NO_COOKIES) == 0) {
    CURLSH* share = CookieShare();
    if (share == nullptr) return;
    set(CURLOPT_SHARE, share);
    set(CURLOPT_COOKIEFILE, "");  // cookie engine on, no file
  }

  // An explicit "" keeps curl from reading proxy settings from the environment.
  const std::string proxy =
      session.use_proxy ? ProxyFor(session.proxy, https ? "https" : "http") : std::string();
  const std::string no_proxy = NoProxyList(session.proxy_bypass);
  set(CURLOPT_PROXY, proxy.c_str());
  set(CURLOPT_NOPROXY, no_proxy.c_str());
  set(CURLOPT_SUPPRESS_CONNECT_HEADERS, 1L);

  constexpr DWORD kIgnorePeer = SECURITY_FLAG_IGNORE_UNKNOWN_CA |
                                SECURITY_FLAG_IGNORE_CERT_DATE_INVALID |
                                SECURITY_FLAG_IGNORE_WRONG_USAGE;
  set(CURLOPT_SSL_VERIFYPEER, (request.security_flags & kIgnorePeer) == kIgnorePeer ? 0L : 1L);
  set(CURLOPT_SSL_VERIFYHOST,
      (request.security_flags & SECURITY_FLAG_IGNORE_CERT_CN_INVALID) != 0 ? 0L : 2L);

  if (!headers.has_user_agent && !session.agent.empty()) {
    set(CURLOPT_USERAGENT, session.agent.c_str());
  }
  set(CURLOPT_HTTPHEADER, headers.list.get());
  if (connect_to) set(CURLOPT_CONNECT_TO, connect_to.get());

  static const char kNoBody[] = "";
  if (is_head) {
    set(CURLOPT_NOBODY, 1L);
  } else if (request.method == "GET" && body_length == 0) {
    set(CURLOPT_HTTPGET, 1L);
  } else {
    // A non-null pointer even for an empty body: null would make curl read stdin.
    set(CURLOPT_POST, 1L);
    set(CURLOPT_POSTFIELDSIZE_LARGE, body_length);
    set(CURLOPT_POSTFIELDS, body != nullptr ? body : kNoBody);
    if (request.method != "POST") set(CURLOPT_CUSTOMREQUEST, request.method.c_str());
  }

  set(CURLOPT_HEADERFUNCTION, &OnHeader);
  set(CURLOPT_HEADERDATA, &request);
  set(CURLOPT_WRITEFUNCTION, &OnBody);
  set(CURLOPT_WRITEDATA, &request);
  if (!ok) return;

  request.easy = e;
  const CURLcode result = curl_easy_perform(e);
  request.easy = nullptr;
  (void)result;  // a transfer that broke off keeps what arrived

  // Answered once a whole response head has arrived.
  request.answered =
      request.raw_headers.starts_with("HTTP/") && request.raw_headers.ends_with("\r\n\r\n");
  if (!request.answered) {
    request.raw_headers.clear();
    request.body.clear();
  }
}

}  // namespace

HINTERNET InternetOpenA(const char* agent, DWORD access_type, const char* proxy,
                        const char* proxy_bypass, DWORD /*flags*/) {
  Session session;
  // Only the first line: the agent becomes a header line of its own.
  session.agent = TextOrEmpty(agent);
  session.agent.resize(std::min(session.agent.find_first_of("\r\n"), session.agent.size()));
  if (access_type == INTERNET_OPEN_TYPE_PROXY) {
    if (proxy == nullptr || *proxy == '\0') return 0;
    session.use_proxy = true;
    session.proxy = proxy;
    session.proxy_bypass = TextOrEmpty(proxy_bypass);
  } else if (access_type != INTERNET_OPEN_TYPE_DIRECT) {
    return 0;
  }
  if (!GlobalInit()) return 0;
  return Handles().Add(std::move(session));
}

HINTERNET InternetConnectA(HINTERNET internet, const char* server, INTERNET_PORT port,
                           const char* user, const char* password, DWORD service, DWORD /*flags*/,
                           DWORD_PTR /*context*/) {
  auto session = Handles().Find<Session>(internet);
  if (!session || server == nullptr || *server == '\0' || service != INTERNET_SERVICE_HTTP ||
      user != nullptr || password != nullptr) {
    return 0;
  }
  Connection connection;
  connection.session = std::move(session);
  connection.host = server;
  connection.port = port;
  return Handles().Add(std::move(connection));
}

HINTERNET HttpOpenRequestA(HINTERNET connection, const char* verb, const char* object_name,
                           const char* version, const char* referrer, const char** accept_types,
                           DWORD flags, DWORD_PTR /*context*/) {
  auto parent = Handles().Find<Connection>(connection);
  const std::string method = verb != nullptr ? verb : "GET";
  const std::string version_text = version != nullptr ? version : "HTTP/1.1";
  if (!parent || !IsToken(method) || referrer != nullptr || accept_types != nullptr ||
      (version_text != "HTTP/1.1" && version_text != "HTTP/1.0")) {
    return 0;
  }
  Request request;
  request.connection = std::move(parent);
  request.method = method;
  request.path = SafePath(TextOrEmpty(object_name));
  request.http_version = version_text == "HTTP/1.0" ? CURL_HTTP_VERSION_1_0 : CURL_HTTP_VERSION_1_1;
  request.flags = flags;
  return Handles().Add(std::move(request));
}

BOOL InternetSetOptionA(HINTERNET handle, DWORD option, const void* buffer, DWORD length) {
  auto request = Handles().Find<Request>(handle);
  if (!request || option != INTERNET_OPTION_SECURITY_FLAGS || buffer == nullptr ||
      length != sizeof(DWORD)) {
    return 0;
  }
  std::memcpy(&request->security_flags, buffer, sizeof(DWORD));
  return 1;
}

BOOL HttpSendRequestA(HINTERNET handle, const char* headers, DWORD headers_length,
                      const void* optional, DWORD optional_length) {
  auto request = Handles().Find<Request>(handle);
  if (!request) return 0;
  std::string_view block;
  if (headers != nullptr) {
    block = headers_length == kNulTerminated ? std::string_view(headers)
                                             : std::string_view(headers, headers_length);
  }
  if (optional == nullptr) optional_length = 0;
  Transfer(*request, block, static_cast<const char*>(optional), optional_length);
  return request->answered ? 1 : 0;
}

BOOL InternetReadFile(HINTERNET handle, void* buffer, DWORD to_read, DWORD* read) {
  if (read == nullptr) return 0;
  *read = 0;
  auto request = Handles().Find<Request>(handle);
  if (!request || !request->answered || (buffer == nullptr && to_read > 0)) return 0;
  const std::size_t count =
      std::min<std::size_t>(to_read, request->body.size() - request->read_position);
  if (count > 0) std::memcpy(buffer, request->body.data() + request->read_position, count);
  request->read_position += count;
  *read = static_cast<DWORD>(count);
  if (request->read_position == request->body.size()) {
    std::string().swap(request->body);  // all handed out: release the memory early
    request->read_position = 0;
  }
  return 1;
}

BOOL HttpQueryInfoA(HINTERNET handle, DWORD info_level, void* buffer, DWORD* length,
                    DWORD* /*index*/) {
  auto request = Handles().Find<Request>(handle);
  if (!request || !request->answered || length == nullptr ||
      info_level != HTTP_QUERY_RAW_HEADERS_CRLF) {
    return 0;
  }
  const std::string& text = request->raw_headers;
  if (buffer == nullptr || *length < text.size() + 1) {
    *length = static_cast<DWORD>(text.size() + 1);
    return 0;
  }
  std::memcpy(buffer, text.data(), text.size());
  static_cast<char*>(buffer)[text.size()] = '\0';
  *length = static_cast<DWORD>(text.size());
  return 1;
}

BOOL InternetCloseHandle(HINTERNET handle) { return Handles().Remove(handle) ? 1 : 0; }

namespace internet_testing {
void set_timeouts(long connect_seconds, long no_data_seconds) {
  connect_timeout_seconds = connect_seconds;
  no_data_timeout_seconds = no_data_seconds;
}
}  // namespace internet_testing

}  // namespace mvsearch
