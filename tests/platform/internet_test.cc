// The Internet API over libcurl, against the loopback server: the bytes on the wire, the
// cookie store, redirects, raw headers, reading, faults and the connect-to mapping.
#include "platform/internet.h"

#include <chrono>
#include <cstdlib>
#include <optional>
#include <string>

#include <gtest/gtest.h>

#include "loopback_server/loopback_server.h"

namespace mvsearch {
namespace {

using namespace std::string_literals;

class Handle {
 public:
  explicit Handle(HINTERNET handle = 0) : handle_(handle) {}
  ~Handle() {
    if (handle_ != 0) InternetCloseHandle(handle_);
  }
  Handle(const Handle&) = delete;
  Handle& operator=(const Handle&) = delete;
  HINTERNET get() const { return handle_; }

 private:
  HINTERNET handle_;
};

struct Call {
  std::string host = "127.0.0.1";
  INTERNET_PORT port = 0;
  std::string method = "GET";
  std::string path = "/";
  DWORD flags = INTERNET_FLAG_RELOAD | INTERNET_FLAG_NEED_FILE | INTERNET_FLAG_NO_COOKIES;
  std::string headers;
  std::optional<std::string> body;
  std::string agent = "Agent/1";
  DWORD access = INTERNET_OPEN_TYPE_DIRECT;
  const char* proxy = nullptr;
  DWORD read_size = 1024;
};

struct Answer {
  BOOL sent = 0;
  std::string body;
  std::optional<std::string> raw_headers;  // absent when the query failed
  int reads = 0;
};

Answer Perform(const Call& call) {
  Answer answer;
  Handle internet(
      InternetOpenA(call.agent.c_str(), call.access, call.proxy, call.proxy ? "" : nullptr, 0));
  EXPECT_NE(internet.get(), 0u);
  Handle connection(InternetConnectA(internet.get(), call.host.c_str(), call.port, nullptr, nullptr,
                                     INTERNET_SERVICE_HTTP, 0, 0));
  EXPECT_NE(connection.get(), 0u);
  Handle request(HttpOpenRequestA(connection.get(), call.method.c_str(), call.path.c_str(),
                                  "HTTP/1.1", nullptr, nullptr, call.flags, 0));
  EXPECT_NE(request.get(), 0u);
  const DWORD security = 0x1F380;
  InternetSetOptionA(request.get(), INTERNET_OPTION_SECURITY_FLAGS, &security, 4);
  answer.sent =
      HttpSendRequestA(request.get(), call.headers.c_str(), static_cast<DWORD>(call.headers.size()),
                       call.body ? call.body->data() : nullptr,
                       call.body ? static_cast<DWORD>(call.body->size()) : 0);
  std::string buffer(call.read_size, '\0');
  DWORD count = 0;
  do {
    InternetReadFile(request.get(), buffer.data(), call.read_size, &count);
    EXPECT_LE(count, call.read_size);
    answer.body.append(buffer, 0, count);
    ++answer.reads;
  } while (count > 0);
  std::string headers(5000, ' ');
  DWORD length = 5000;
  if (HttpQueryInfoA(request.get(), HTTP_QUERY_RAW_HEADERS_CRLF, headers.data(), &length,
                     nullptr)) {
    EXPECT_EQ(headers[length], '\0');
    answer.raw_headers = headers.substr(0, length);
  }
  return answer;
}

TEST(Internet, SendsTheCallersLinesAndOnlyWhatThePlatformAdds) {
  LoopbackServer server;
  const std::string host = "Host: " + server.host_port() + "\r\n";
  struct Case {
    const char* name;
    std::string method;
    std::string headers;
    std::optional<std::string> body;
    std::string expected;  // after the request line and Host
  };
  const Case cases[] = {
      {"get with agent from the handle", "GET", "X-A: 1\r\nx-b:2", std::nullopt,
       "User-Agent: Agent/1\r\nX-A: 1\r\nx-b:2\r\n\r\n"},
      {"agent line of the caller wins", "GET", "user-agent: Mine\r\nAccept: a/b", std::nullopt,
       "user-agent: Mine\r\nAccept: a/b\r\n\r\n"},
      {"post keeps caller order, no content type added", "POST",
       "User-Agent: U\r\nReferer: http://r/\r\nContent-Type: text/plain", "a=1&b=\xD6\xD0"s,
       "User-Agent: U\r\nReferer: http://r/\r\nContent-Type: text/plain\r\n"
       "Content-Length: 8\r\n\r\na=1&b=\xD6\xD0"},
      {"post without body or content type", "POST", "User-Agent: U", std::nullopt,
       "User-Agent: U\r\nContent-Length: 0\r\n\r\n"},
      {"empty lines and leading CR LF vanish", "GET", "\r\nA: 1\r\n\r\n\r\nB: 2\r\n", std::nullopt,
       "User-Agent: Agent/1\r\nA: 1\r\nB: 2\r\n\r\n"},
      {"lone LF or CR cannot smuggle a line", "GET", "A: 1\nB: 2\rC: 3", std::nullopt,
       "User-Agent: Agent/1\r\nA: 1\r\nB: 2\r\nC: 3\r\n\r\n"},
      {"empty value is still sent", "GET", "X-Empty: \r\nY:", std::nullopt,
       "User-Agent: Agent/1\r\nX-Empty:\r\nY:\r\n\r\n"},
      {"lines without a name are dropped", "GET", "no colon\r\n: x\r\nA: 1", std::nullopt,
       "User-Agent: Agent/1\r\nA: 1\r\n\r\n"},
      {"head", "HEAD", "A: 1", "ignored"s,
       "User-Agent: Agent/1\r\nA: 1\r\nContent-Length: 0\r\n\r\n"},
      {"put", "PUT", "A: 1", "xyz"s, "User-Agent: Agent/1\r\nA: 1\r\nContent-Length: 3\r\n\r\nxyz"},
      {"options", "OPTIONS", "", std::nullopt, "User-Agent: Agent/1\r\nContent-Length: 0\r\n\r\n"},
      {"delete", "DELETE", "", "d"s, "User-Agent: Agent/1\r\nContent-Length: 1\r\n\r\nd"},
      {"trace", "TRACE", "", std::nullopt, "User-Agent: Agent/1\r\nContent-Length: 0\r\n\r\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    server.clear_requests();
    Call call;
    call.port = server.port();
    call.method = c.method;
    call.path = "/p/q.asp?id=7";
    call.headers = c.headers;
    call.body = c.body;
    const Answer answer = Perform(call);
    EXPECT_TRUE(answer.sent);
    const auto requests = server.requests();
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests[0].raw, c.method + " /p/q.asp?id=7 HTTP/1.1\r\n" + host + c.expected);
  }
}

TEST(Internet, AgentCannotSmuggleALine) {
  LoopbackServer server;
  Call call;
  call.port = server.port();
  call.agent = "A\r\nX-Evil: 1";
  EXPECT_TRUE(Perform(call).sent);
  const auto requests = server.requests();
  ASSERT_EQ(requests.size(), 1u);
  EXPECT_EQ(requests[0].header_block(), "Host: " + server.host_port() + "\r\nUser-Agent: A");
}

TEST(Internet, LargeBodyGoesOutWithoutExpect) {
  LoopbackServer server;
  Call call;
  call.port = server.port();
  call.method = "POST";
  call.headers = "User-Agent: U";
  call.body = std::string(3 << 20, 'b');
  EXPECT_TRUE(Perform(call).sent);
  const auto requests = server.requests();
  ASSERT_EQ(requests.size(), 1u);
  EXPECT_FALSE(requests[0].has_header("Expect"));
  EXPECT_EQ(requests[0].body, *call.body);
}

TEST(Internet, ControlBytesInThePathAreEncoded) {
  LoopbackServer server;
  Call call;
  call.port = server.port();
  call.path = "/a b\r\nX-Evil: 1\r\n\r\nGET /c\x7F#frag\t";
  EXPECT_TRUE(Perform(call).sent);
  const auto requests = server.requests();
  ASSERT_EQ(requests.size(), 1u);
  EXPECT_EQ(requests[0].target, "/a%20b%0D%0AX-Evil:%201%0D%0A%0D%0AGET%20/c%7F%23frag%09");
  EXPECT_FALSE(requests[0].has_header("X-Evil"));
}

TEST(Internet, MethodThatCouldBreakTheRequestLineIsRefused) {
  Handle internet(InternetOpenA("A", INTERNET_OPEN_TYPE_DIRECT, nullptr, nullptr, 0));
  Handle connection(InternetConnectA(internet.get(), "127.0.0.1", 1, nullptr, nullptr,
                                     INTERNET_SERVICE_HTTP, 0, 0));
  EXPECT_EQ(HttpOpenRequestA(connection.get(), "GET / HTTP/1.1\r\nX:", "/", "HTTP/1.1", nullptr,
                             nullptr, 0, 0),
            0u);
  EXPECT_EQ(HttpOpenRequestA(internet.get(), "GET", "/", nullptr, nullptr, nullptr, 0, 0), 0u);
  EXPECT_EQ(
      InternetConnectA(connection.get(), "h", 80, nullptr, nullptr, INTERNET_SERVICE_HTTP, 0, 0),
      0u);
  EXPECT_EQ(InternetOpenA("A", INTERNET_OPEN_TYPE_PROXY, "", "", 0), 0u);
  EXPECT_EQ(InternetCloseHandle(0), 0);
}

TEST(Internet, RawHeadersOfTheAnswer) {
  LoopbackServer server([](const LoopbackRequest& request) {
    if (request.target == "/lf") {
      return LoopbackResponse::Raw("HTTP/1.1 404 Not Found\nX-A: 1\nContent-Length: 3\n\nabc");
    }
    LoopbackResponse response = LoopbackResponse::Ok("body");
    response.headers = {"Set-Cookie: a=1; path=/", "X-Long: " + std::string(100, 'v')};
    return response;
  });
  Call call;
  call.port = server.port();
  const std::string expected =
      "HTTP/1.1 200 OK\r\nSet-Cookie: a=1; path=/\r\nX-Long: " + std::string(100, 'v') +
      "\r\nContent-Length: 4\r\n\r\n";
  Answer answer = Perform(call);
  EXPECT_EQ(answer.body, "body");
  EXPECT_EQ(answer.raw_headers, expected);

  call.path = "/lf";
  answer = Perform(call);
  EXPECT_EQ(answer.body, "abc");
  EXPECT_EQ(answer.raw_headers, "HTTP/1.1 404 Not Found\r\nX-A: 1\r\nContent-Length: 3\r\n\r\n");

  // Buffer sizes around the text's length plus its NUL.
  Handle internet(InternetOpenA("A", INTERNET_OPEN_TYPE_DIRECT, nullptr, nullptr, 0));
  Handle connection(InternetConnectA(internet.get(), "127.0.0.1", server.port(), nullptr, nullptr,
                                     INTERNET_SERVICE_HTTP, 0, 0));
  Handle request(HttpOpenRequestA(connection.get(), "GET", "/", "HTTP/1.1", nullptr, nullptr,
                                  INTERNET_FLAG_NO_COOKIES, 0));
  ASSERT_TRUE(HttpSendRequestA(request.get(), nullptr, 0, nullptr, 0));
  const DWORD needed = static_cast<DWORD>(expected.size() + 1);
  std::string small(needed - 1, 'z');
  DWORD length = needed - 1;
  EXPECT_FALSE(
      HttpQueryInfoA(request.get(), HTTP_QUERY_RAW_HEADERS_CRLF, small.data(), &length, nullptr));
  EXPECT_EQ(length, needed);
  EXPECT_EQ(small, std::string(needed - 1, 'z'));
  std::string exact(needed, 'z');
  length = needed;
  EXPECT_TRUE(
      HttpQueryInfoA(request.get(), HTTP_QUERY_RAW_HEADERS_CRLF, exact.data(), &length, nullptr));
  EXPECT_EQ(length, needed - 1);
  EXPECT_EQ(exact, expected + '\0');
  EXPECT_FALSE(HttpQueryInfoA(request.get(), 21, exact.data(), &length, nullptr));
}

TEST(Internet, OneCookieStoreUnlessSwitchedOff) {
  LoopbackServer server([](const LoopbackRequest& request) {
    LoopbackResponse response;
    if (request.target == "/set") response.headers = {"Set-Cookie: store_a=1; path=/"};
    if (request.target == "/set-off") response.headers = {"Set-Cookie: store_b=2; path=/"};
    return response;
  });
  auto fetch = [&](const char* path, bool cookies) {
    Call call;
    call.port = server.port();
    call.path = path;
    call.flags = INTERNET_FLAG_RELOAD | (cookies ? 0 : INTERNET_FLAG_NO_COOKIES);
    Perform(call);
    return server.requests().back();
  };
  EXPECT_FALSE(fetch("/set", true).has_header("Cookie"));
  EXPECT_EQ(fetch("/echo", true).header("Cookie"), "store_a=1");
  EXPECT_FALSE(fetch("/echo", false).has_header("Cookie"));
  fetch("/set-off", false);  // not written to the store
  const LoopbackRequest again = fetch("/echo", true);
  EXPECT_EQ(again.header("Cookie"), "store_a=1");
  // The store's line comes before the caller's lines.
  EXPECT_EQ(again.header_block(),
            "Host: " + server.host_port() + "\r\nUser-Agent: Agent/1\r\nCookie: store_a=1");
}

TEST(Internet, RedirectsFollowedOrReturned) {
  LoopbackServer server([](const LoopbackRequest& request) {
    if (request.target == "/301") return LoopbackResponse::Redirect(301, "/final");
    if (request.target == "/302") return LoopbackResponse::Redirect(302, "/final");
    if (request.target == "/303") return LoopbackResponse::Redirect(303, "/final");
    if (request.target == "/307") return LoopbackResponse::Redirect(307, "/final");
    if (request.target == "/cookie") {
      LoopbackResponse response = LoopbackResponse::Redirect(302, "/final");
      response.headers.push_back("Set-Cookie: hop=1");
      return response;
    }
    LoopbackResponse response = LoopbackResponse::Ok(request.method + " " + request.body);
    response.headers = {"X-Final: yes"};
    return response;
  });
  struct Case {
    const char* path;
    bool follow;
    const char* final_method;  // of the request that reached /final
    std::string body;
  };
  const Case cases[] = {
      {"/301", true, "GET", "GET "}, {"/302", true, "GET", "GET "},
      {"/303", true, "GET", "GET "}, {"/307", true, "POST", "POST x=1"},
      {"/302", false, nullptr, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.path) + (c.follow ? " followed" : " not followed"));
    server.clear_requests();
    Call call;
    call.port = server.port();
    call.method = "POST";
    call.path = c.path;
    call.body = "x=1";
    call.flags = INTERNET_FLAG_RELOAD | INTERNET_FLAG_NO_COOKIES |
                 (c.follow ? 0 : INTERNET_FLAG_NO_AUTO_REDIRECT);
    const Answer answer = Perform(call);
    EXPECT_EQ(answer.body, c.body);
    const auto requests = server.requests();
    if (c.follow) {
      ASSERT_EQ(requests.size(), 2u);
      EXPECT_EQ(requests[1].method, c.final_method);
      EXPECT_EQ(requests[1].target, "/final");
      EXPECT_EQ(requests[1].body, std::string(c.final_method) == "GET" ? "" : "x=1");
      ASSERT_TRUE(answer.raw_headers);
      EXPECT_TRUE(answer.raw_headers->starts_with("HTTP/1.1 200 OK\r\nX-Final: yes\r\n"));
    } else {
      ASSERT_EQ(requests.size(), 1u);
      ASSERT_TRUE(answer.raw_headers);
      EXPECT_EQ(*answer.raw_headers,
                "HTTP/1.1 302 Found\r\nLocation: /final\r\nContent-Length: 0\r\n\r\n");
    }
  }
  // A cookie set on the way is in the store for the next hop.
  server.clear_requests();
  Call call;
  call.port = server.port();
  call.path = "/cookie";
  call.flags = INTERNET_FLAG_RELOAD;
  Perform(call);
  EXPECT_NE(server.requests().back().header("Cookie").find("hop=1"), std::string::npos);
}

TEST(Internet, ReadsInPiecesAndKeepsWhatArrivedBeforeAFault) {
  const std::string big(200000, 'q');
  LoopbackServer server([&](const LoopbackRequest& request) {
    LoopbackResponse response = LoopbackResponse::Ok(big);
    if (request.target == "/chunked") response.chunked = true;
    if (request.target == "/reset") response.abort_after_body_bytes = 5000;
    if (request.target == "/close") {
      response.abort_after_body_bytes = 7000;
      response.abort = LoopbackResponse::Abort::kClose;
    }
    return response;
  });
  struct Case {
    const char* path;
    std::size_t size;
  };
  const Case cases[] = {
      {"/", big.size()}, {"/chunked", big.size()}, {"/reset", 5000}, {"/close", 7000}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.path);
    Call call;
    call.port = server.port();
    call.path = c.path;
    call.read_size = 1000;
    const Answer answer = Perform(call);
    EXPECT_TRUE(answer.sent);
    EXPECT_EQ(answer.body, big.substr(0, c.size));
    EXPECT_EQ(answer.reads, static_cast<int>((c.size + 999) / 1000) + 1);
    EXPECT_TRUE(answer.raw_headers);
  }
}

TEST(Internet, NoAnswerAtAll) {
  std::uint16_t closed_port;
  {
    LoopbackServer gone;
    closed_port = gone.port();
  }
  Call call;
  call.port = closed_port;
  const Answer refused = Perform(call);
  EXPECT_FALSE(refused.sent);
  EXPECT_EQ(refused.body, "");
  EXPECT_EQ(refused.reads, 1);
  EXPECT_FALSE(refused.raw_headers);

  call.host = "bad host\r\nname";
  EXPECT_FALSE(Perform(call).sent);

  LoopbackServer silent([](const LoopbackRequest&) {
    LoopbackResponse response;
    response.never_answer = true;
    return response;
  });
  internet_testing::set_timeouts(60, 1);
  call.host = "127.0.0.1";
  call.port = silent.port();
  const auto start = std::chrono::steady_clock::now();
  const Answer timed_out = Perform(call);
  internet_testing::set_timeouts(60, 60);
  EXPECT_FALSE(timed_out.sent);
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(20));
}

TEST(Internet, ConnectToMapsAHostToTheLoopbackServer) {
  LoopbackServer server([](const LoopbackRequest&) { return LoopbackResponse::Ok("mapped"); });
  const std::string mapping = " other.example:1:127.0.0.1:1 , catalogue.example:80:127.0.0.1:" +
                              std::to_string(server.port());
  ASSERT_EQ(setenv("MVSEARCH_CONNECT_TO", mapping.c_str(), 1), 0);
  Call call;
  call.host = "catalogue.example";
  call.port = 80;
  call.path = "/isearch.asp";
  const Answer answer = Perform(call);
  unsetenv("MVSEARCH_CONNECT_TO");
  EXPECT_EQ(answer.body, "mapped");
  ASSERT_EQ(server.request_count(), 1u);
  EXPECT_EQ(server.requests()[0].header("Host"), "catalogue.example");
}

TEST(Internet, ProxyEntriesOfThePlatformsSyntax) {
  LoopbackServer proxy([](const LoopbackRequest&) { return LoopbackResponse::Ok("via proxy"); });
  LoopbackServer origin([](const LoopbackRequest&) { return LoopbackResponse::Ok("direct"); });
  struct Case {
    std::string proxy;
    const char* body;
  };
  const Case cases[] = {
      {"http=" + proxy.host_port(), "via proxy"},
      {proxy.host_port(), "via proxy"},
      {"ftp=127.0.0.1:1 http=" + proxy.host_port(), "via proxy"},
      {"https=" + proxy.host_port(), "direct"},  // no entry for http: straight to the host
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.proxy);
    proxy.clear_requests();
    Call call;
    call.port = origin.port();
    call.path = "/x";
    call.access = INTERNET_OPEN_TYPE_PROXY;
    call.proxy = c.proxy.c_str();
    EXPECT_EQ(Perform(call).body, c.body);
    if (std::string(c.body) == "via proxy") {
      ASSERT_EQ(proxy.request_count(), 1u);
      EXPECT_EQ(proxy.requests()[0].target,
                "http://127.0.0.1:" + std::to_string(origin.port()) + "/x");
    }
  }
}

}  // namespace
}  // namespace mvsearch
