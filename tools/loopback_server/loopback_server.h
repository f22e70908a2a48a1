// LoopbackServer: a small HTTP/1.1 server on 127.0.0.1 for tests, benchmarks and the demo.
//
// The constructor binds 127.0.0.1 on a free port (see port()/url()) and starts an accept
// loop on a background thread; each connection is served on a thread of its own, with
// keep-alive. A request is the head up to CR LF CR LF plus a Content-Length or chunked body
// ("Expect: 100-continue" is answered with 100 Continue). Every request is recorded, raw
// bytes included, before the handler runs, so it is visible even when the answer is a fault.
// The handler is called on the connection's thread, possibly on several at once.
//
//   LoopbackServer server([](const LoopbackRequest& request) {
//     return LoopbackResponse::Ok("hello " + request.target);
//   });
//   fetch(server.url("/x?y=1"));
//   EXPECT_EQ(server.requests().at(0).raw, "GET /x?y=1 HTTP/1.1\r\n...");
//
// Stop() (also run by the destructor) wakes every waiting thread, closes all connections,
// and joins the threads. Nothing polls in a busy loop: all waits block in poll() on the
// socket and a wake-up pipe.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <list>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "loopback_server/loopback_request.h"
#include "loopback_server/loopback_response.h"

namespace mvsearch {

class LoopbackServer {
 public:
  using Handler = std::function<LoopbackResponse(const LoopbackRequest&)>;

  // Starts listening at once, on `port` or (0) a free port; throws std::runtime_error when
  // no socket can be bound. Without a handler every request gets "200 OK" with an empty body.
  explicit LoopbackServer(Handler handler = {}, std::uint16_t port = 0);
  ~LoopbackServer();
  LoopbackServer(const LoopbackServer&) = delete;
  LoopbackServer& operator=(const LoopbackServer&) = delete;

  void set_handler(Handler handler);

  [[nodiscard]] std::uint16_t port() const { return port_; }
  // "http://127.0.0.1:PORT" followed by `path`.
  [[nodiscard]] std::string url(std::string_view path = "/") const;
  // "127.0.0.1:PORT".
  [[nodiscard]] std::string host_port() const;

  // Requests received so far, in arrival order (a copy).
  [[nodiscard]] std::vector<LoopbackRequest> requests() const;
  [[nodiscard]] std::size_t request_count() const;
  void clear_requests();
  // Connections accepted so far.
  [[nodiscard]] std::size_t connection_count() const { return connections_accepted_; }

  void Stop();

 private:
  struct Connection {
    std::thread thread;
    std::atomic<bool> done{false};
  };

  void AcceptLoop();
  void Serve(int fd);
  // Blocks until `fd` is ready for `events` or the server stops; false when stopping.
  bool WaitFor(int fd, short events, int timeout_ms = -1) const;
  bool SendAll(int fd, std::string_view bytes) const;
  // Writes the response; false when the connection must not be used again.
  bool Answer(int fd, const LoopbackRequest& request, const LoopbackResponse& response) const;
  void ReapFinished();

  int listen_fd_ = -1;
  int wake_read_fd_ = -1;
  int wake_write_fd_ = -1;
  std::uint16_t port_ = 0;
  std::atomic<bool> stopping_{false};
  std::atomic<std::size_t> connections_accepted_{0};

  mutable std::mutex mutex_;  // guards handler_, requests_
  Handler handler_;
  std::vector<LoopbackRequest> requests_;

  std::mutex connections_mutex_;
  std::list<Connection> connections_;
  std::thread accept_thread_;
  std::once_flag stop_once_;
};

}  // namespace mvsearch
