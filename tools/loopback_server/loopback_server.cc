// The loopback server: accept loop, per-connection request reading and fault-injecting answers.
#include "loopback_server/loopback_server.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <charconv>
#include <cstring>
#include <stdexcept>

namespace mvsearch {
namespace {

constexpr std::size_t kMaxHeadBytes = 1 << 20;
constexpr std::size_t kMaxBodyBytes = std::size_t{256} << 20;
constexpr std::size_t kReadChunk = 64 * 1024;

bool EqualsIgnoreCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c; };
    if (lower(a[i]) != lower(b[i])) return false;
  }
  return true;
}

std::string_view Trim(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.remove_suffix(1);
  return s;
}

// Parses the head (request line and header lines, without the final empty line).
bool ParseHead(std::string_view head, LoopbackRequest& request) {
  std::size_t line_end = head.find("\r\n");
  std::string_view line = head.substr(0, line_end);
  std::size_t sp1 = line.find(' ');
  std::size_t sp2 = line.rfind(' ');
  if (sp1 == std::string_view::npos || sp2 == sp1) return false;
  request.method = line.substr(0, sp1);
  request.target = line.substr(sp1 + 1, sp2 - sp1 - 1);
  request.version = line.substr(sp2 + 1);
  while (line_end != std::string_view::npos) {
    std::size_t start = line_end + 2;
    line_end = head.find("\r\n", start);
    line = head.substr(
        start, line_end == std::string_view::npos ? std::string_view::npos : line_end - start);
    std::size_t colon = line.find(':');
    if (colon == std::string_view::npos) {
      request.headers.emplace_back(std::string(line), std::string());
    } else {
      request.headers.emplace_back(std::string(line.substr(0, colon)),
                                   std::string(Trim(line.substr(colon + 1))));
    }
  }
  return true;
}

void CloseConnection(int fd, bool reset) {
  if (reset) {
    linger lin{1, 0};
    setsockopt(fd, SOL_SOCKET, SO_LINGER, &lin, sizeof lin);
  } else {
    shutdown(fd, SHUT_WR);
  }
}

std::string ChunkedEncoding(std::string_view body, std::size_t chunk_size) {
  if (chunk_size == 0) chunk_size = 4096;
  std::string wire;
  wire.reserve(body.size() + (body.size() / chunk_size + 2) * 12);
  char size_text[32];
  for (std::size_t pos = 0; pos < body.size(); pos += chunk_size) {
    std::size_t n = std::min(chunk_size, body.size() - pos);
    auto [end, ec] = std::to_chars(size_text, size_text + sizeof size_text, n, 16);
    (void)ec;
    wire.append(size_text, end);
    wire.append("\r\n");
    wire.append(body.substr(pos, n));
    wire.append("\r\n");
  }
  wire.append("0\r\n\r\n");
  return wire;
}

}  // namespace

std::string LoopbackRequest::header(std::string_view name) const {
  for (const auto& [n, v] : headers) {
    if (EqualsIgnoreCase(n, name)) return v;
  }
  return {};
}

bool LoopbackRequest::has_header(std::string_view name) const { return header_count(name) > 0; }

int LoopbackRequest::header_count(std::string_view name) const {
  int count = 0;
  for (const auto& header : headers) count += EqualsIgnoreCase(header.first, name) ? 1 : 0;
  return count;
}

std::string LoopbackRequest::header_block() const {
  std::size_t start = raw.find("\r\n");
  std::size_t end = raw.find("\r\n\r\n");
  if (start == std::string::npos || end == std::string::npos || end <= start) return {};
  return raw.substr(start + 2, end - start - 2);
}

LoopbackServer::LoopbackServer(Handler handler, std::uint16_t port)
    : handler_(std::move(handler)) {
  int pipe_fds[2];
  if (pipe2(pipe_fds, O_CLOEXEC) != 0) throw std::runtime_error("loopback server: pipe failed");
  wake_read_fd_ = pipe_fds[0];
  wake_write_fd_ = pipe_fds[1];

  listen_fd_ = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  address.sin_port = htons(port);
  socklen_t length = sizeof address;
  // A fixed port must be usable again right after the previous server on it stopped.
  const int reuse = 1;
  if (listen_fd_ >= 0 && port != 0) {
    setsockopt(listen_fd_, SOL_SOCKET, SO_REUSEADDR, &reuse, sizeof reuse);
  }
  if (listen_fd_ < 0 ||
      bind(listen_fd_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
      listen(listen_fd_, 64) != 0 ||
      getsockname(listen_fd_, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
    const int error = errno;
    if (listen_fd_ >= 0) close(listen_fd_);
    close(wake_read_fd_);
    close(wake_write_fd_);
    throw std::runtime_error(std::string("loopback server: cannot listen: ") +
                             std::strerror(error));
  }
  port_ = ntohs(address.sin_port);
  accept_thread_ = std::thread([this] { AcceptLoop(); });
}

LoopbackServer::~LoopbackServer() { Stop(); }

void LoopbackServer::set_handler(Handler handler) {
  std::lock_guard lock(mutex_);
  handler_ = std::move(handler);
}

std::string LoopbackServer::url(std::string_view path) const {
  return "http://" + host_port() + std::string(path);
}

std::string LoopbackServer::host_port() const { return "127.0.0.1:" + std::to_string(port_); }

std::vector<LoopbackRequest> LoopbackServer::requests() const {
  std::lock_guard lock(mutex_);
  return requests_;
}

std::size_t LoopbackServer::request_count() const {
  std::lock_guard lock(mutex_);
  return requests_.size();
}

void LoopbackServer::clear_requests() {
  std::lock_guard lock(mutex_);
  requests_.clear();
}

void LoopbackServer::Stop() {
  std::call_once(stop_once_, [this] {
    stopping_ = true;
    // The byte is never read: the pipe stays readable and wakes every poll() for good.
    const char byte = 1;
    [[maybe_unused]] ssize_t written = write(wake_write_fd_, &byte, 1);
    accept_thread_.join();
    {
      std::lock_guard lock(connections_mutex_);
      for (Connection& connection : connections_) connection.thread.join();
      connections_.clear();
    }
    close(listen_fd_);
    close(wake_read_fd_);
    close(wake_write_fd_);
  });
}

bool LoopbackServer::WaitFor(int fd, short events, int timeout_ms) const {
  pollfd fds[2] = {{wake_read_fd_, POLLIN, 0}, {fd, events, 0}};
  const nfds_t count = fd >= 0 ? 2 : 1;
  while (!stopping_) {
    int ready = poll(fds, count, timeout_ms);
    if (ready < 0 && errno == EINTR) continue;
    if (ready < 0 || (fds[0].revents & POLLIN)) return false;
    if (ready == 0) return fd < 0;  // a pure delay ran out
    return true;                    // the socket is ready, or in error: the next call says
  }
  return false;
}

bool LoopbackServer::SendAll(int fd, std::string_view bytes) const {
  while (!bytes.empty()) {
    ssize_t sent = send(fd, bytes.data(), bytes.size(), MSG_NOSIGNAL);
    if (sent > 0) {
      bytes.remove_prefix(static_cast<std::size_t>(sent));
    } else if (sent < 0 && (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR)) {
      if (!WaitFor(fd, POLLOUT)) return false;
    } else {
      return false;
    }
  }
  return true;
}

void LoopbackServer::ReapFinished() {
  std::lock_guard lock(connections_mutex_);
  for (auto it = connections_.begin(); it != connections_.end();) {
    if (it->done) {
      it->thread.join();
      it = connections_.erase(it);
    } else {
      ++it;
    }
  }
}

void LoopbackServer::AcceptLoop() {
  while (WaitFor(listen_fd_, POLLIN)) {
    int fd = accept4(listen_fd_, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
    if (fd < 0) continue;  // EAGAIN or a connection that went away before accept
    ++connections_accepted_;
    const int one = 1;
    setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
    ReapFinished();
    std::lock_guard lock(connections_mutex_);
    Connection& connection = connections_.emplace_back();
    connection.thread = std::thread([this, fd, &connection] {
      Serve(fd);
      close(fd);
      connection.done = true;
    });
  }
}

void LoopbackServer::Serve(int fd) {
  std::string buffer;  // received bytes not yet consumed by a request
  auto read_more = [&]() {
    if (!WaitFor(fd, POLLIN)) return false;
    const std::size_t old_size = buffer.size();
    buffer.resize(old_size + kReadChunk);
    ssize_t n;
    do {
      n = recv(fd, buffer.data() + old_size, kReadChunk, 0);
    } while (n < 0 && errno == EINTR);
    buffer.resize(old_size + static_cast<std::size_t>(n > 0 ? n : 0));
    return n > 0 || (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK));
  };
  // Grows the buffer until it holds at least `size` bytes.
  auto need = [&](std::size_t size) {
    while (buffer.size() < size) {
      if (!read_more()) return false;
    }
    return true;
  };
  // Position of the next CR LF at or after `from`, reading as needed; npos when the peer left.
  auto find_crlf = [&](std::size_t from) {
    std::size_t scanned = from;
    while (true) {
      std::size_t pos = buffer.find("\r\n", scanned);
      if (pos != std::string::npos) return pos;
      scanned = buffer.size() > from ? buffer.size() - 1 : from;
      if (buffer.size() - from > kMaxHeadBytes || !read_more()) return std::string::npos;
    }
  };

  while (!stopping_) {
    std::size_t head_end;
    std::size_t scanned = 0;
    while ((head_end = buffer.find("\r\n\r\n", scanned)) == std::string::npos) {
      if (buffer.size() > kMaxHeadBytes) return;
      scanned = buffer.size() >= 3 ? buffer.size() - 3 : 0;
      if (!read_more()) return;
    }
    LoopbackRequest request;
    if (!ParseHead(std::string_view(buffer).substr(0, head_end), request)) return;
    std::size_t end = head_end + 4;

    const bool chunked = EqualsIgnoreCase(Trim(request.header("Transfer-Encoding")), "chunked");
    std::size_t content_length = 0;
    if (!chunked) {
      const std::string length_text = request.header("Content-Length");
      auto [ptr, ec] = std::from_chars(length_text.data(), length_text.data() + length_text.size(),
                                       content_length);
      if (ec != std::errc() || content_length > kMaxBodyBytes) content_length = 0;
    }
    if ((chunked || content_length > 0) &&
        EqualsIgnoreCase(request.header("Expect"), "100-continue") && buffer.size() == end) {
      if (!SendAll(fd, "HTTP/1.1 100 Continue\r\n\r\n")) return;
    }

    if (chunked) {
      while (true) {
        std::size_t line_end = find_crlf(end);
        if (line_end == std::string::npos) return;
        std::size_t size = 0;
        auto [ptr, ec] = std::from_chars(buffer.data() + end, buffer.data() + line_end, size, 16);
        if (ec != std::errc() || size > kMaxBodyBytes - request.body.size()) return;
        end = line_end + 2;
        if (size == 0) {
          // Trailer lines up to the empty line.
          while (true) {
            line_end = find_crlf(end);
            if (line_end == std::string::npos) return;
            const bool empty = line_end == end;
            end = line_end + 2;
            if (empty) break;
          }
          break;
        }
        if (!need(end + size + 2)) return;
        request.body.append(buffer, end, size);
        end += size + 2;
      }
    } else {
      if (!need(end + content_length)) return;
      request.body.assign(buffer, end, content_length);
      end += content_length;
    }
    request.raw.assign(buffer, 0, end);
    buffer.erase(0, end);

    Handler handler;
    {
      std::lock_guard lock(mutex_);
      requests_.push_back(request);
      handler = handler_;
    }
    const LoopbackResponse response = handler ? handler(request) : LoopbackResponse{};
    if (!Answer(fd, request, response)) return;
    if (EqualsIgnoreCase(request.header("Connection"), "close")) {
      CloseConnection(fd, false);
      return;
    }
  }
}

bool LoopbackServer::Answer(int fd, const LoopbackRequest& request,
                            const LoopbackResponse& response) const {
  if (response.never_answer) {
    std::string sink(kReadChunk, '\0');
    while (WaitFor(fd, POLLIN)) {
      ssize_t n = recv(fd, sink.data(), sink.size(), 0);
      if (n == 0 || (n < 0 && errno != EAGAIN && errno != EINTR)) break;
    }
    return false;
  }
  if (response.delay.count() > 0 && !WaitFor(-1, 0, static_cast<int>(response.delay.count()))) {
    return false;
  }
  if (!response.raw.empty()) {
    if (SendAll(fd, response.raw)) CloseConnection(fd, false);
    return false;
  }

  const std::string_view body = response.shared_body ? *response.shared_body : response.body;
  const bool no_body = request.method == "HEAD" || response.status == 204 ||
                       response.status == 304 || response.status / 100 == 1;
  std::string head = "HTTP/1.1 " + std::to_string(response.status) + " " + response.reason + "\r\n";
  bool has_length = false;
  for (const std::string& line : response.headers) {
    head += line;
    head += "\r\n";
    const std::string_view name = std::string_view(line).substr(0, line.find(':'));
    has_length = has_length || EqualsIgnoreCase(Trim(name), "Content-Length") ||
                 EqualsIgnoreCase(Trim(name), "Transfer-Encoding");
  }
  if (!has_length) {
    head += response.chunked ? "Transfer-Encoding: chunked\r\n"
                             : "Content-Length: " + std::to_string(body.size()) + "\r\n";
  }
  if (response.close_after) head += "Connection: close\r\n";
  head += "\r\n";

  std::string chunked_wire;
  std::string_view wire = no_body ? std::string_view() : body;
  if (response.chunked && !no_body) {
    chunked_wire = ChunkedEncoding(body, response.chunk_size);
    wire = chunked_wire;
  }

  if (response.abort_after_body_bytes) {
    wire = wire.substr(0, std::min(wire.size(), *response.abort_after_body_bytes));
    if (SendAll(fd, head) && SendAll(fd, wire)) {
      CloseConnection(fd, response.abort == LoopbackResponse::Abort::kReset);
    }
    return false;
  }
  if (!SendAll(fd, head) || !SendAll(fd, wire)) return false;
  if (response.close_after) {
    CloseConnection(fd, false);
    return false;
  }
  return true;
}

}  // namespace mvsearch
