// web_request against real servers on 127.0.0.1: the loopback server, which records the
// exact bytes of every request, and an openssl TLS server with a certificate made here.
#include "web/web_request.h"

#include <fcntl.h>
#include <netinet/in.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>

#include <gtest/gtest.h>

#include "loopback_server/loopback_server.h"

namespace mvsearch {
namespace {

using namespace std::string_literals;

const std::string kSearchAgent =
    "Mozilla/5.0 (Windows NT 6.1; WOW64) AppleWebKit/537.36 (KHTML, like Gecko) "
    "Chrome/47.0.2526.80 Safari/537.36 Core/1.47.277.400 QQBrowser/9.4.7658.400";
const std::string kDefaultAgent = "Mozilla/4.0 (compatible; MSIE 9.0; Windows NT 6.1)";

// Sets MVSEARCH_CONNECT_TO for the scope of one test.
class ConnectTo {
 public:
  ConnectTo(const std::string& host_port, const LoopbackServer& server) {
    const std::string value = host_port + ":127.0.0.1:" + std::to_string(server.port());
    setenv("MVSEARCH_CONNECT_TO", value.c_str(), 1);
  }
  ~ConnectTo() { unsetenv("MVSEARCH_CONNECT_TO"); }
};

TEST(WebRequest, SearchRequestOfTheShell) {
  LoopbackServer server([](const LoopbackRequest&) { return LoopbackResponse::Ok("<html>"); });
  ConnectTo mapping("search.catalogue.example:80", server);
  const std::string url = "http://search.catalogue.example/isearch.asp";
  const std::string body = "ktv=%E5%91%A8%E6%9D%B0%E4%BC%A6";

  const ByteSet answer = web_request(url, 1, body, {}, {}, "User-Agent: " + kSearchAgent);
  EXPECT_EQ(answer.str(), "<html>");
  ASSERT_EQ(server.request_count(), 1u);
  EXPECT_EQ(server.requests()[0].raw,
            "POST /isearch.asp HTTP/1.1\r\n"
            "Host: search.catalogue.example\r\n"
            "User-Agent: " +
                kSearchAgent +
                "\r\n"
                "Accept: */*\r\n"
                "Referer: http://search.catalogue.example/isearch.asp\r\n"
                "Accept-Language: zh-cn\r\n"
                "Content-Type: application/x-www-form-urlencoded\r\n"
                "Content-Length: 31\r\n"
                "\r\n" +
                body);

  // The detail request: same shape, empty body.
  server.clear_requests();
  const std::string detail = "http://search.catalogue.example/imv.asp?id=12345";
  web_request(detail, 1, {}, {}, {}, "User-Agent: " + kSearchAgent);
  ASSERT_EQ(server.request_count(), 1u);
  EXPECT_EQ(server.requests()[0].raw,
            "POST /imv.asp?id=12345 HTTP/1.1\r\n"
            "Host: search.catalogue.example\r\n"
            "User-Agent: " +
                kSearchAgent +
                "\r\n"
                "Accept: */*\r\n"
                "Referer: " +
                detail +
                "\r\n"
                "Accept-Language: zh-cn\r\n"
                "Content-Type: application/x-www-form-urlencoded\r\n"
                "Content-Length: 0\r\n"
                "\r\n");
}

TEST(WebRequest, MethodIndex) {
  LoopbackServer server;
  struct Case {
    Optional<int> method;
    const char* sent;
    bool has_body;
    bool has_content_type;
  };
  const Case cases[] = {
      {{}, "GET", false, false},   {-1, "GET", false, false},  {8, "GET", false, false},
      {0, "GET", false, false},    {1, "POST", true, true},    {3, "PUT", true, false},
      {4, "OPTIONS", true, false}, {5, "DELETE", true, false}, {6, "TRACE", true, false},
      {7, "CONNECT", true, false}, {2, "HEAD", false, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.sent + (c.method.provided() ? " " + std::to_string(c.method.value()) : ""s));
    server.clear_requests();
    web_request(server.url("/m"), c.method, "x=1", {}, {}, "User-Agent: T");
    const auto requests = server.requests();
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests[0].method, c.sent);
    EXPECT_EQ(requests[0].body, c.has_body ? "x=1" : "");
    EXPECT_EQ(requests[0].has_header("Content-Type"), c.has_content_type);
    EXPECT_EQ(requests[0].has_header("Content-Length"), std::string(c.sent) != "GET");
  }
}

TEST(WebRequest, HeaderCompletionAndTheAgent) {
  LoopbackServer server;
  const std::string url = server.url("/h?q=1");
  const std::string host = "Host: " + server.host_port() + "\r\n";
  const std::string completed_tail =
      "Accept: */*\r\nReferer: " + url + "\r\nAccept-Language: zh-cn";
  struct Case {
    const char* name;
    Optional<Text> headers;
    Optional<bool> complete;
    Optional<bool> normalize;
    std::string expected;  // the header lines after Host
  };
  const Case cases[] = {
      {"nothing given: default agent and the three lines",
       {},
       {},
       {},
       "User-Agent: " + kDefaultAgent + "\r\n" + completed_tail},
      {"empty block", ""s, true, true, "User-Agent: " + kDefaultAgent + "\r\n" + completed_tail},
      {"lower-case accept counts and is normalised",
       "accept: text/html"s,
       {},
       {},
       "User-Agent: " + kDefaultAgent + "\r\nAccept: text/html\r\nReferer: " + url +
           "\r\nAccept-Language: zh-cn"},
      {"referer inside another value counts",
       "X-Note: see Referer: elsewhere"s,
       {},
       {},
       "User-Agent: " + kDefaultAgent +
           "\r\nX-Note: see Referer: elsewhere\r\nAccept: */*\r\nAccept-Language: zh-cn"},
      {"accept-language does not count as accept",
       "Accept-Language: en"s,
       {},
       {},
       "User-Agent: " + kDefaultAgent +
           "\r\nAccept-Language: en\r\nAccept: */*\r\nReferer: " + url},
      {"no completion", "X-A: 1"s, false, {}, "User-Agent: " + kDefaultAgent + "\r\nX-A: 1"},
      {"no completion, empty block", ""s, false, {}, "User-Agent: " + kDefaultAgent},
      {"names normalised, lines without colon dropped",
       "x-forwarded-for: 1\r\nno colon\r\ncontent-TYPE: a"s,
       false,
       {},
       "User-Agent: " + kDefaultAgent + "\r\nX-Forwarded-For: 1\r\nContent-TYPE: a"},
      {"names kept without normalisation", "x-a: 1"s, false, false,
       "User-Agent: " + kDefaultAgent + "\r\nx-a: 1"},
      {"agent from the block, sent once",
       "User-Agent:  Mine/2 \r\nX-A: 1"s,
       false,
       {},
       "User-Agent:  Mine/2 \r\nX-A: 1"},
      {"agent cut from inside another value",
       "X-Note: User-Agent: Z"s,
       false,
       {},
       "User-Agent: Z\r\nX-Note: User-Agent: Z"},
      {"agent falls back to the block's first value",
       "X-Note: user-agent:\r\nB: 2"s,
       false,
       {},
       "User-Agent: user-agent:\r\nX-Note: user-agent:\r\nB: 2"},
      {"lower-case agent line without normalisation", "X-A: 1\r\nuser-agent: X"s, false, false,
       "X-A: 1\r\nuser-agent: X"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    server.clear_requests();
    web_request(url, {}, {}, {}, {}, c.headers, {}, {}, {}, {}, {}, c.complete, c.normalize);
    const auto requests = server.requests();
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests[0].raw, "GET /h?q=1 HTTP/1.1\r\n" + host + c.expected + "\r\n\r\n");
  }
}

TEST(WebRequest, CookieLineFormsAndTheNoCookiesFlag) {
  LoopbackServer server([](const LoopbackRequest& request) {
    LoopbackResponse response;
    if (request.target == "/store") response.headers = {"Set-Cookie: forms_store=1"};
    return response;
  });
  ConnectTo mapping("forms.example:80", server);
  const std::string url = "http://forms.example/c";
  web_request("http://forms.example/store");  // puts a cookie into the platform's store
  struct Case {
    std::string cookies;
    std::string expected;  // the request's header lines after Host
  };
  const Case cases[] = {
      {"a=1", "Cookie: a=1"},
      {"Cookie: a=1", "Cookie: a=1"},
      {"a=1; b=2", "Cookie: a=1; b=2"},
      {"", ""},  // provided but empty: no line, and the store stays out
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.cookies);
    server.clear_requests();
    Text cookies = c.cookies;
    web_request(url, {}, {}, cookies, {}, {}, {}, {}, {}, {}, false, false);
    const auto requests = server.requests();
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests[0].header_block(), "Host: forms.example\r\nUser-Agent: " + kDefaultAgent +
                                              (c.expected.empty() ? "" : "\r\n" + c.expected));
    EXPECT_EQ(cookies, c.cookies);  // merge_returned false
  }
  // Without cookies the store's line is sent.
  server.clear_requests();
  web_request(url);
  EXPECT_EQ(server.requests().at(0).header("Cookie"), "forms_store=1");
}

TEST(WebRequest, ReturnedCookiesAreCollectedAndMerged) {
  LoopbackServer server([](const LoopbackRequest& request) {
    LoopbackResponse response = LoopbackResponse::Ok("ok");
    if (request.target == "/login") {
      response.headers = {"Set-Cookie: sid=abc; path=/; HttpOnly", "Set-Cookie: lang=zh",
                          "set-cookie: ignored=1", "X-Set-Cookie: no=1"};
    } else if (request.target == "/next") {
      response.headers = {"Set-Cookie: lang=en; path=/", "Set-Cookie: old=deleted"};
    }
    return response;
  });
  Text returned;
  Text raw;
  // Not merged when no cookie text is passed.
  web_request(server.url("/login"), {}, {}, {}, returned, {}, raw);
  EXPECT_EQ(returned, "sid=abc; lang=zh");
  EXPECT_TRUE(raw.starts_with("HTTP/1.1 200 OK\r\nSet-Cookie: sid=abc; path=/; HttpOnly\r\n"));
  EXPECT_TRUE(raw.ends_with("\r\n\r\n"));

  // One cookie text carried through two requests.
  Text cookies = "old=1";
  web_request(server.url("/login"), {}, {}, cookies, returned);
  EXPECT_EQ(returned, "sid=abc; lang=zh; old=1");
  EXPECT_EQ(cookies, returned);
  server.clear_requests();
  web_request(server.url("/next"), {}, {}, cookies, returned);
  EXPECT_EQ(server.requests().at(0).header("Cookie"), "sid=abc; lang=zh; old=1");
  EXPECT_EQ(returned, "lang=en; sid=abc");
  EXPECT_EQ(cookies, "lang=en; sid=abc");

  // merge_returned false: the returned pairs only, the cookie text unchanged.
  web_request(server.url("/next"), {}, {}, cookies, returned, {}, {}, {}, {}, {}, false);
  EXPECT_EQ(returned, "lang=en; old=deleted");
  EXPECT_EQ(cookies, "lang=en; sid=abc");
}

TEST(WebRequest, PlatformCookieStoreWithoutCookieText) {
  LoopbackServer server([](const LoopbackRequest& request) {
    LoopbackResponse response;
    if (request.target == "/set") response.headers = {"Set-Cookie: jar_only=7; path=/"};
    return response;
  });
  ConnectTo mapping("jar.example:80", server);
  Text returned;
  web_request("http://jar.example/set", {}, {}, {}, returned);
  EXPECT_EQ(returned, "jar_only=7");
  web_request("http://jar.example/again");
  EXPECT_EQ(server.requests().at(1).header("Cookie"), "jar_only=7");
  Text none;  // provided: the store is neither read nor written
  web_request("http://jar.example/again", {}, {}, none);
  EXPECT_FALSE(server.requests().at(2).has_header("Cookie"));
}

TEST(WebRequest, RedirectsFollowedAndNotFollowed) {
  LoopbackServer server([](const LoopbackRequest& request) {
    if (request.target == "/old") {
      LoopbackResponse response = LoopbackResponse::Redirect(302, "/new");
      response.headers.push_back("Set-Cookie: hop=1");
      response.body = "moved";
      return response;
    }
    LoopbackResponse response = LoopbackResponse::Ok("new page");
    response.headers = {"Set-Cookie: final=2"};
    return response;
  });
  Text returned;
  Text raw;
  ByteSet answer = web_request(server.url("/old"), 1, "a=b", {}, returned, {}, raw);
  EXPECT_EQ(answer.str(), "new page");
  EXPECT_TRUE(raw.starts_with("HTTP/1.1 200 OK\r\n"));
  EXPECT_EQ(returned, "final=2");
  ASSERT_EQ(server.request_count(), 2u);
  EXPECT_EQ(server.requests()[1].method, "GET");  // POST turns into GET on 302

  server.clear_requests();
  answer = web_request(server.url("/old"), 1, "a=b", {}, returned, {}, raw, true);
  EXPECT_EQ(answer.str(), "moved");
  EXPECT_EQ(
      raw,
      "HTTP/1.1 302 Found\r\nLocation: /new\r\nSet-Cookie: hop=1\r\nContent-Length: 5\r\n\r\n");
  EXPECT_EQ(returned, "hop=1");
  EXPECT_EQ(server.request_count(), 1u);
}

// A response whose head (status line to the empty line) is exactly `head_size` bytes.
std::string ResponseWithHeadOf(std::size_t head_size) {
  const std::string start = "HTTP/1.1 200 OK\r\nSet-Cookie: big=1\r\nX-Pad: ";
  const std::string end = "\r\nContent-Length: 4\r\n\r\n";
  return start + std::string(head_size - start.size() - end.size(), 'p') + end + "body";
}

TEST(WebRequest, RawHeadersOverTheBufferAreNotFetched) {
  LoopbackServer server([](const LoopbackRequest& request) {
    if (request.target == "/4999") return LoopbackResponse::Raw(ResponseWithHeadOf(4999));
    if (request.target == "/5000") return LoopbackResponse::Raw(ResponseWithHeadOf(5000));
    LoopbackResponse response = LoopbackResponse::Ok("still here");
    response.headers = {"Set-Cookie: lost=1", "X-Spaces: " + std::string(5000, ' ')};
    return response;
  });
  struct Case {
    const char* path;
    bool fetched;
    const char* body;
  };
  const Case cases[] = {
      {"/spaces", false, "still here"}, {"/5000", false, "body"}, {"/4999", true, "body"}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.path);
    Text cookies;
    Text returned = "before";
    Text raw = "before";
    const ByteSet answer = web_request(server.url(c.path), {}, {}, {}, returned, {}, raw);
    EXPECT_EQ(answer.str(), c.body);
    if (c.fetched) {
      EXPECT_EQ(raw, ResponseWithHeadOf(4999).substr(0, 4999));
      EXPECT_EQ(returned, "big=1");
    } else {
      EXPECT_EQ(raw, std::string(5000, ' '));
      EXPECT_EQ(returned, "");
    }
  }
}

TEST(WebRequest, FailedSendAndBrokenAnswer) {
  std::uint16_t closed_port;
  {
    LoopbackServer gone;
    closed_port = gone.port();
  }
  Text cookies = " a=1; b=2;";
  Text returned = "x";
  Text raw = "x";
  ByteSet bytes;
  const ByteSet answer = web_request("http://127.0.0.1:" + std::to_string(closed_port) + "/", 1,
                                     "p=1", cookies, returned, {}, raw, {}, bytes);
  EXPECT_TRUE(answer.empty());
  EXPECT_EQ(raw, std::string(5000, ' '));
  EXPECT_EQ(cookies, "a=1; b=2");  // merged with nothing
  EXPECT_EQ(returned, "a=1; b=2");
  EXPECT_EQ(bytes.str(), "p=1");

  // A connection that cannot be made leaves every by-reference argument alone.
  cookies = "c=1";
  returned = "r";
  raw = "h";
  bytes = ByteSet("b"s);
  LoopbackServer wrapped;  // 65536 + its port must not reach it
  for (const std::string& url :
       {""s, "http://127.0.0.1:" + std::to_string(65536 + wrapped.port()) + "/"}) {
    SCOPED_TRACE(url);
    EXPECT_TRUE(web_request(url, 1, "p=1", cookies, returned, {}, raw, {}, bytes).empty());
    EXPECT_EQ(cookies, "c=1");
    EXPECT_EQ(returned, "r");
    EXPECT_EQ(raw, "h");
    EXPECT_EQ(bytes.str(), "b");
  }
  EXPECT_EQ(wrapped.request_count(), 0u);

  // Reset in the middle of the body: what arrived is returned, with the headers.
  const std::string big(100000, 'r');
  LoopbackServer server([&](const LoopbackRequest&) {
    LoopbackResponse response = LoopbackResponse::Ok(big);
    response.abort_after_body_bytes = 30000;
    return response;
  });
  const ByteSet partial = web_request(server.url("/"), {}, {}, {}, {}, {}, raw);
  EXPECT_EQ(partial.str(), big.substr(0, 30000));
  EXPECT_TRUE(raw.starts_with("HTTP/1.1 200 OK\r\n"));
}

TEST(WebRequest, BodiesAreReadWhole) {
  const auto large = std::make_shared<const std::string>([] {
    std::string body(16 << 20, '\0');
    for (std::size_t i = 0; i < body.size(); ++i) body[i] = static_cast<char>(i * 131 % 251);
    return body;
  }());
  LoopbackServer server([&](const LoopbackRequest& request) {
    LoopbackResponse response;
    response.shared_body = large;
    response.chunked = request.target == "/chunked";
    response.chunk_size = 3001;
    return response;
  });
  EXPECT_TRUE(web_request(server.url("/large")).str() == *large);
  EXPECT_TRUE(web_request(server.url("/chunked")).str() == *large);
}

TEST(WebRequest, BodyBytesWinOverText) {
  LoopbackServer server;
  ByteSet bytes("\x01\x00\xFF"s);
  web_request(server.url("/"), 3, "text", {}, {}, {}, {}, {}, bytes);
  EXPECT_EQ(server.requests().at(0).body, "\x01\x00\xFF"s);
  ByteSet filled;
  web_request(server.url("/"), 3, "text", {}, {}, {}, {}, {}, filled);
  EXPECT_EQ(server.requests().at(1).body, "text");
  EXPECT_EQ(filled.str(), "text");
}

TEST(WebRequest, ControlBytesInTheAddressReachNoHeader) {
  LoopbackServer server;
  const std::string url = server.url("/imv.asp?id=1\r\nX-Evil: 1\r\n\r\nGET / HTTP/1.1");
  web_request(url, 1, {}, {}, {}, "User-Agent: T");
  const auto requests = server.requests();
  ASSERT_EQ(requests.size(), 1u);
  EXPECT_EQ(requests[0].target, "/imv.asp?id=1%0D%0AX-Evil:%201%0D%0A%0D%0AGET%20/%20HTTP/1.1");
  EXPECT_FALSE(requests[0].has_header("X-Evil"));
  EXPECT_EQ(requests[0].header("Referer"),
            server.url("/imv.asp?id=1%0D%0AX-Evil: 1%0D%0A%0D%0AGET / HTTP/1.1"));
}

TEST(WebRequest, ThroughAProxy) {
  LoopbackServer proxy([](const LoopbackRequest&) { return LoopbackResponse::Ok("proxied"); });
  // The proxy resolves nothing here: it answers itself.
  const ByteSet answer =
      web_request("http://far.example/x", {}, {}, {}, {}, {}, {}, {}, {}, proxy.host_port());
  EXPECT_EQ(answer.str(), "proxied");
  ASSERT_EQ(proxy.request_count(), 1u);
  EXPECT_TRUE(proxy.requests()[0].target.starts_with("http://far.example"));
}

// openssl s_server -WWW on 127.0.0.1 with a self-signed certificate made for this test,
// serving files from a temporary directory.
class TlsServer {
 public:
  TlsServer() {
    char pattern[] = "/tmp/mvsearch-tls-XXXXXX";
    dir_ = mkdtemp(pattern);
    const std::string make_cert =
        "openssl req -x509 -newkey ec -pkeyopt ec_paramgen_curve:prime256v1 -nodes -days 2 "
        "-subj /CN=self-signed.invalid -keyout '" +
        dir_ + "/key.pem' -out '" + dir_ + "/cert.pem' >/dev/null 2>&1";
    if (std::system(make_cert.c_str()) != 0) return;
    std::ofstream(dir_ + "/page.txt") << "secret page";
    port_ = FreePort();
    const std::string accept = "127.0.0.1:" + std::to_string(port_);
    const std::string cert = dir_ + "/cert.pem";
    const std::string key = dir_ + "/key.pem";
    const char* argv[] = {"openssl", "s_server",  "-accept", accept.c_str(), "-cert", cert.c_str(),
                          "-key",    key.c_str(), "-WWW",    "-quiet",       nullptr};
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addchdir_np(&actions, dir_.c_str());
    if (posix_spawnp(&pid_, "openssl", &actions, nullptr, const_cast<char**>(argv), environ) != 0) {
      pid_ = 0;
    }
    posix_spawn_file_actions_destroy(&actions);
    ready_ = pid_ != 0 && WaitUntilListening();
  }
  ~TlsServer() {
    if (pid_ != 0) {
      kill(pid_, SIGTERM);
      waitpid(pid_, nullptr, 0);
    }
    std::filesystem::remove_all(dir_);
  }
  bool ready() const { return ready_; }
  std::uint16_t port() const { return port_; }

 private:
  static std::uint16_t FreePort() {
    const int fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address);
    getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length);
    close(fd);
    return ntohs(address.sin_port);
  }
  bool WaitUntilListening() const {
    for (int attempt = 0; attempt < 100; ++attempt) {
      const int fd = socket(AF_INET, SOCK_STREAM, 0);
      sockaddr_in address{};
      address.sin_family = AF_INET;
      address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
      address.sin_port = htons(port_);
      const bool up = connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
      close(fd);
      if (up) return true;
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return false;
  }

  std::string dir_;
  std::uint16_t port_ = 0;
  pid_t pid_ = 0;
  bool ready_ = false;
};

TEST(WebRequest, HttpsWithASelfSignedCertificate) {
  TlsServer tls;
  ASSERT_TRUE(tls.ready());
  const std::string address = "127.0.0.1:" + std::to_string(tls.port()) + "/page.txt";
  Text raw;
  EXPECT_EQ(web_request("https://" + address, {}, {}, {}, {}, {}, raw).str(), "secret page");
  EXPECT_TRUE(raw.starts_with("HTTP/1.0 200 ok\r\n"));
  // The scheme test ignores letter case.
  EXPECT_EQ(web_request("HTTPS://" + address).str(), "secret page");
  // A redirect from http to https is followed.
  LoopbackServer server([&](const LoopbackRequest&) {
    return LoopbackResponse::Redirect(302, "https://" + address);
  });
  EXPECT_EQ(web_request(server.url("/go")).str(), "secret page");
}

}  // namespace
}  // namespace mvsearch
