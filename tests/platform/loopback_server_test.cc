// The loopback test server: recording, framing and the fault options, over plain sockets.
#include "loopback_server/loopback_server.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <string>

#include <gtest/gtest.h>

namespace mvsearch {
namespace {

using namespace std::string_literals;

// A blocking client socket with a receive timeout, so no test can hang.
class Client {
 public:
  explicit Client(std::uint16_t port) : fd_(socket(AF_INET, SOCK_STREAM, 0)) {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(port);
    timeval timeout{5, 0};
    setsockopt(fd_, SOL_SOCKET, SO_RCVTIMEO, &timeout, sizeof timeout);
    connected_ = connect(fd_, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
  }
  ~Client() { close(fd_); }

  bool connected() const { return connected_; }
  void Send(std::string_view bytes) {
    ASSERT_EQ(send(fd_, bytes.data(), bytes.size(), MSG_NOSIGNAL),
              static_cast<ssize_t>(bytes.size()));
  }
  // Reads until `size` bytes have arrived, the peer closes, or an error (errno kept in error()).
  std::string Read(std::size_t size) {
    std::string data;
    char buffer[65536];
    while (data.size() < size) {
      ssize_t n = recv(fd_, buffer, std::min(sizeof buffer, size - data.size()), 0);
      if (n <= 0) {
        error_ = n < 0 ? errno : 0;
        break;
      }
      data.append(buffer, static_cast<std::size_t>(n));
    }
    return data;
  }
  std::string ReadToEnd() { return Read(std::string::npos); }
  // True when nothing arrives within `ms` milliseconds.
  bool Silent(int ms) {
    pollfd fd{fd_, POLLIN, 0};
    return poll(&fd, 1, ms) == 0;
  }
  int error() const { return error_; }

 private:
  int fd_;
  bool connected_ = false;
  int error_ = 0;
};

TEST(LoopbackServer, RecordsExactBytesAndKeepsTheConnection) {
  LoopbackServer server([](const LoopbackRequest& request) {
    LoopbackResponse response = LoopbackResponse::Ok("got " + request.body);
    response.headers.push_back("X-Path: " + request.target);
    return response;
  });
  ASSERT_NE(server.port(), 0);
  Client client(server.port());
  ASSERT_TRUE(client.connected());

  const std::string first =
      "POST /a?b=1 HTTP/1.1\r\nHost: x\r\nx-odd:  spaced \r\nContent-Length: 3\r\n\r\nabc";
  const std::string first_answer =
      "HTTP/1.1 200 OK\r\nX-Path: /a?b=1\r\nContent-Length: 7\r\n\r\ngot abc";
  client.Send(first);
  EXPECT_EQ(client.Read(first_answer.size()), first_answer);

  const std::string second = "GET /next HTTP/1.1\r\nHost: x\r\n\r\n";
  const std::string second_answer =
      "HTTP/1.1 200 OK\r\nX-Path: /next\r\nContent-Length: 4\r\n\r\ngot ";
  client.Send(second);
  EXPECT_EQ(client.Read(second_answer.size()), second_answer);

  const auto requests = server.requests();
  ASSERT_EQ(requests.size(), 2u);
  EXPECT_EQ(requests[0].raw, first);
  EXPECT_EQ(requests[0].method, "POST");
  EXPECT_EQ(requests[0].target, "/a?b=1");
  EXPECT_EQ(requests[0].version, "HTTP/1.1");
  EXPECT_EQ(requests[0].header("X-ODD"), "spaced");
  EXPECT_EQ(requests[0].header_block(), "Host: x\r\nx-odd:  spaced \r\nContent-Length: 3");
  EXPECT_EQ(requests[0].body, "abc");
  EXPECT_EQ(requests[1].raw, second);
  EXPECT_EQ(server.connection_count(), 1u);
}

TEST(LoopbackServer, ChunkedRequestBodyIsDecodedAndKeptRaw) {
  LoopbackServer server;
  Client client(server.port());
  const std::string request =
      "PUT /up HTTP/1.1\r\nTransfer-Encoding: chunked\r\n\r\n"
      "3\r\nab\0\r\n4;ext=1\r\n\xD6\xD0\r\n\r\n0\r\nTrailer: t\r\n\r\n"s;
  client.Send(request);
  EXPECT_EQ(client.Read(38), "HTTP/1.1 200 OK\r\nContent-Length: 0\r\n\r\n");
  const auto requests = server.requests();
  ASSERT_EQ(requests.size(), 1u);
  EXPECT_EQ(requests[0].body, std::string("ab\0\xD6\xD0\r\n", 7));
  EXPECT_EQ(requests[0].raw, request);
}

TEST(LoopbackServer, ChunkedResponseAndHeadWithoutBody) {
  LoopbackServer server([](const LoopbackRequest&) {
    LoopbackResponse response = LoopbackResponse::Ok("hello world");
    response.chunked = true;
    response.chunk_size = 5;
    return response;
  });
  Client client(server.port());
  client.Send("GET / HTTP/1.1\r\n\r\n");
  const std::string expected =
      "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n"
      "5\r\nhello\r\n5\r\n worl\r\n1\r\nd\r\n0\r\n\r\n";
  EXPECT_EQ(client.Read(expected.size()), expected);
  client.Send("HEAD / HTTP/1.1\r\n\r\n");
  EXPECT_EQ(client.Read(47), "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n");
  EXPECT_TRUE(client.Silent(100));
}

TEST(LoopbackServer, AbortsAfterSomeBodyBytes) {
  struct Case {
    LoopbackResponse::Abort abort;
    int expected_error;
  };
  const Case cases[] = {{LoopbackResponse::Abort::kClose, 0},
                        {LoopbackResponse::Abort::kReset, ECONNRESET}};
  for (const Case& c : cases) {
    SCOPED_TRACE(static_cast<int>(c.abort));
    LoopbackServer server([&](const LoopbackRequest&) {
      LoopbackResponse response = LoopbackResponse::Ok(std::string(1000, 'x'));
      response.abort_after_body_bytes = 10;
      response.abort = c.abort;
      return response;
    });
    Client client(server.port());
    client.Send("GET / HTTP/1.1\r\n\r\n");
    const std::string head = "HTTP/1.1 200 OK\r\nContent-Length: 1000\r\n\r\n";
    EXPECT_EQ(client.Read(head.size() + 10), head + std::string(10, 'x'));
    EXPECT_EQ(client.ReadToEnd(), "");
    EXPECT_EQ(client.error(), c.expected_error);
  }
}

TEST(LoopbackServer, RawDelayAndNeverAnswer) {
  LoopbackServer server([](const LoopbackRequest& request) {
    if (request.target == "/raw") return LoopbackResponse::Raw("HTTP/1.0 200 Fine\r\n\r\nbody");
    LoopbackResponse response;
    if (request.target == "/slow") response.delay = std::chrono::milliseconds(300);
    if (request.target == "/never") response.never_answer = true;
    return response;
  });
  {
    Client client(server.port());
    client.Send("GET /raw HTTP/1.1\r\n\r\n");
    EXPECT_EQ(client.ReadToEnd(), "HTTP/1.0 200 Fine\r\n\r\nbody");
  }
  {
    Client client(server.port());
    client.Send("GET /slow HTTP/1.1\r\n\r\n");
    EXPECT_TRUE(client.Silent(100));
    EXPECT_EQ(client.Read(38), "HTTP/1.1 200 OK\r\nContent-Length: 0\r\n\r\n");
  }
  Client never(server.port());
  never.Send("GET /never HTTP/1.1\r\n\r\n");
  EXPECT_TRUE(never.Silent(200));
  Client idle(server.port());  // connected, sends nothing
  server.Stop();               // must return although both connections are still open
  EXPECT_EQ(never.ReadToEnd(), "");
  EXPECT_EQ(server.request_count(), 3u);
}

TEST(LoopbackServer, AnswersExpectContinue) {
  LoopbackServer server;
  Client client(server.port());
  client.Send("POST / HTTP/1.1\r\nExpect: 100-continue\r\nContent-Length: 2\r\n\r\n");
  EXPECT_EQ(client.Read(25), "HTTP/1.1 100 Continue\r\n\r\n");
  client.Send("hi");
  EXPECT_EQ(client.Read(38), "HTTP/1.1 200 OK\r\nContent-Length: 0\r\n\r\n");
  EXPECT_EQ(server.requests().at(0).body, "hi");
}

}  // namespace
}  // namespace mvsearch
