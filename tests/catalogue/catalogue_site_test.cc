#include "catalogue/catalogue_site.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include "catalogue/catalogue_pages.h"
#include "loopback_server/loopback_server.h"
#include "page_reading.h"

namespace mvsearch {
namespace {

using page_reading::redirect;
using page_reading::rows;

// 茉莉花 and 茉莉花开 share the keyword 茉莉; 雨 matches only the third entry.
const std::vector<CatalogueEntry> kEntries = {
    {1001, "\xE8\x8C\x89\xE8\x8E\x89\xE8\x8A\xB1", "Lin", "", "MV"},
    {1002, "\xE8\x8C\x89\xE8\x8E\x89\xE8\x8A\xB1\xE5\xBC\x80", "Zhou", "", "KTV"},
    {2001, "\xE9\x9B\xA8", "Lantern Band", "", "MV"},
};
constexpr std::string_view kMoli = "%E8%8C%89%E8%8E%89";  // 茉莉

LoopbackRequest post(std::string target, std::string body = "") {
  LoopbackRequest request;
  request.method = "POST";
  request.target = std::move(target);
  request.version = "HTTP/1.1";
  request.body = std::move(body);
  return request;
}

CatalogueSite site(CatalogueFault fault = CatalogueFault::kNone, int generate = 0) {
  CatalogueSiteOptions options;
  options.entries = kEntries;
  options.fault = fault;
  options.generate = generate;
  options.slow_delay = std::chrono::milliseconds(1500);
  options.port = 4321;
  return CatalogueSite(std::move(options));
}

std::string body_of(const LoopbackResponse& response) {
  return response.shared_body ? *response.shared_body : response.body;
}

std::vector<std::string> titles(const LoopbackResponse& response) {
  std::vector<std::string> result;
  for (const page_reading::Row& row : rows(body_of(response))) result.push_back(row.title);
  return result;
}

TEST(CatalogueSite, SearchFindsByTitleAndSinger) {
  const CatalogueSite standin = site();
  struct Case {
    std::string body;
    std::vector<std::string> titles;
  } cases[] = {
      {"ktv=" + std::string(kMoli), {kEntries[0].title, kEntries[1].title}},
      {"ktv=%6C%61%6E%74%65%72%6E", {kEntries[2].title}},  // "lantern", every byte encoded
      {"ktv=%E9%9B%A8", {kEntries[2].title}},
      {"ktv=", {}},
      {"", {}},
      {"ktv=%E6%B2%A1", {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.body);
    std::string summary;
    const LoopbackResponse response = standin.respond(post("/isearch.asp", c.body), &summary);
    EXPECT_EQ(response.status, 200);
    EXPECT_EQ(titles(response), c.titles);
    EXPECT_NE(summary.find(std::to_string(c.titles.size()) + " results"), std::string::npos)
        << summary;
    EXPECT_TRUE(is_valid_utf8(body_of(response)));
  }
  // The query string works for a GET from a browser, and the path ignores letter case.
  LoopbackRequest get = post("/ISearch.asp?ktv=" + std::string(kMoli));
  get.method = "GET";
  EXPECT_EQ(titles(standin.respond(get)).size(), 2u);
}

TEST(CatalogueSite, AnswersLikeTheSite) {
  const LoopbackResponse response = site().respond(post("/isearch.asp", "ktv=x"));
  const auto& headers = response.headers;
  EXPECT_NE(std::find(headers.begin(), headers.end(), "Content-Type: text/html; charset=utf-8"),
            headers.end());
  EXPECT_EQ(response.delay, std::chrono::milliseconds(0));
  EXPECT_FALSE(response.abort_after_body_bytes.has_value());
}

TEST(CatalogueSite, DetailPagesAndTheLineFile) {
  const CatalogueSite standin = site();
  const std::string page = body_of(standin.respond(post("/imv.asp?id=1002")));
  EXPECT_EQ(redirect(page, "https"), cloud_drive_address(kEntries[1]));
  EXPECT_EQ(redirect(page, "http"), "http://127.0.0.1:4321/files/1002.mp4");

  for (const std::string target :
       {"/imv.asp?id=", "/imv.asp?id=9", "/imv.asp", "/imv.asp?id=1x", "/imv.asp?id=-1001"}) {
    SCOPED_TRACE(target);
    const LoopbackResponse unknown = standin.respond(post(target));
    EXPECT_EQ(unknown.status, 200);
    EXPECT_EQ(redirect(body_of(unknown), "https"), "");
    EXPECT_EQ(redirect(body_of(unknown), "http"), "");
  }

  LoopbackRequest file = post("/files/2001.mp4");
  file.method = "GET";
  const LoopbackResponse line = standin.respond(file);
  EXPECT_EQ(line.status, 200);
  EXPECT_NE(body_of(line).find(kEntries[2].title), std::string::npos);
  file.target = "/files/77.mp4";
  EXPECT_EQ(standin.respond(file).status, 404);
  file.target = "/favicon.ico";
  EXPECT_EQ(standin.respond(file).status, 404);
}

TEST(CatalogueSite, Faults) {
  const std::string search_body = "ktv=" + std::string(kMoli);
  {
    const LoopbackResponse slow = site(CatalogueFault::kSlow).respond(post("/imv.asp?id=1001"));
    EXPECT_EQ(slow.delay, std::chrono::milliseconds(1500));
    EXPECT_NE(redirect(body_of(slow), "https"), "");
  }
  {
    const LoopbackResponse reset =
        site(CatalogueFault::kReset).respond(post("/isearch.asp", search_body));
    ASSERT_TRUE(reset.abort_after_body_bytes.has_value());
    EXPECT_EQ(*reset.abort_after_body_bytes, body_of(reset).size() / 2);
    EXPECT_EQ(reset.abort, LoopbackResponse::Abort::kReset);
  }
  for (const std::string target : {"/isearch.asp", "/imv.asp?id=1001"}) {
    SCOPED_TRACE(target);
    const LoopbackResponse missing =
        site(CatalogueFault::kNotFound).respond(post(target, search_body));
    EXPECT_EQ(missing.status, 404);
    EXPECT_TRUE(rows(body_of(missing)).empty());
    EXPECT_EQ(redirect(body_of(missing), "https"), "");
  }
  {
    const CatalogueSite standin = site(CatalogueFault::kBadUtf8);
    const LoopbackResponse response = standin.respond(post("/isearch.asp", search_body));
    EXPECT_FALSE(is_valid_utf8(body_of(response)));
    EXPECT_EQ(titles(response),
              (std::vector<std::string>{kEntries[0].title, corrupt_title(kEntries[1].title)}));
    EXPECT_FALSE(is_valid_utf8(corrupt_title(kEntries[1].title)));
    const std::string detail = body_of(standin.respond(post("/imv.asp?id=1001")));
    EXPECT_FALSE(is_valid_utf8(detail));
    EXPECT_EQ(redirect(detail, "https"), cloud_drive_address(kEntries[0]));
  }
  {
    const CatalogueSite standin = site(CatalogueFault::kLongTitle);
    const std::vector<std::string> shown =
        titles(standin.respond(post("/isearch.asp", search_body)));
    ASSERT_EQ(shown.size(), 2u);
    EXPECT_GE(shown[0].size(), 40u * 1024);
    EXPECT_TRUE(is_valid_utf8(shown[0]));
    EXPECT_EQ(shown[1], kEntries[1].title);
    const std::string detail = body_of(standin.respond(post("/imv.asp?id=1002")));
    EXPECT_NE(detail.find(long_title()), std::string::npos);
    EXPECT_EQ(redirect(detail, "http"), "http://127.0.0.1:4321/files/1002.mp4");
  }
  {
    const CatalogueSite standin = site(CatalogueFault::kNoMarkers);
    const std::string page = body_of(standin.respond(post("/isearch.asp", search_body)));
    EXPECT_TRUE(rows(page).empty());
    EXPECT_NE(page.find(kEntries[1].title), std::string::npos);
    const std::string detail = body_of(standin.respond(post("/imv.asp?id=1001")));
    EXPECT_EQ(redirect(detail, "https"), "");
    EXPECT_EQ(redirect(detail, "http"), "");
  }
  {
    // The line file is never broken: it stands for the browser's download, not the site.
    LoopbackRequest file = post("/files/1001.mp4");
    file.method = "GET";
    const LoopbackResponse line = site(CatalogueFault::kReset).respond(file);
    EXPECT_FALSE(line.abort_after_body_bytes.has_value());
    EXPECT_EQ(line.status, 200);
  }
}

TEST(CatalogueSite, GeneratedResultsForEverySearch) {
  const CatalogueSite standin = site(CatalogueFault::kNone, 500);
  for (const std::string body : {"ktv=", "ktv=%E9%9B%A8", ""}) {
    SCOPED_TRACE(body);
    const std::vector<page_reading::Row> listed =
        rows(body_of(standin.respond(post("/isearch.asp", body))));
    ASSERT_EQ(listed.size(), 500u);
    EXPECT_EQ(listed.front().id, std::to_string(GENERATED_ID_BASE + 1));
    EXPECT_EQ(listed.back().title, generated_entry(500).title);
  }
  const std::string detail =
      body_of(standin.respond(post("/imv.asp?id=" + std::to_string(GENERATED_ID_BASE + 500))));
  EXPECT_EQ(redirect(detail, "https"), cloud_drive_address(generated_entry(500)));
  const std::string beyond =
      body_of(standin.respond(post("/imv.asp?id=" + std::to_string(GENERATED_ID_BASE + 501))));
  EXPECT_EQ(redirect(beyond, "https"), "");
}

// A whole HTTP exchange with the stand-in behind the real loopback server.
std::string exchange(std::uint16_t port, std::string_view request) {
  const int fd = socket(AF_INET, SOCK_STREAM, 0);
  EXPECT_GE(fd, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(port);
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  EXPECT_EQ(connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
  EXPECT_EQ(send(fd, request.data(), request.size(), MSG_NOSIGNAL),
            static_cast<ssize_t>(request.size()));
  std::string answer;
  char buffer[4096];
  while (true) {
    const ssize_t got = recv(fd, buffer, sizeof buffer, 0);
    if (got <= 0) break;
    answer.append(buffer, static_cast<std::size_t>(got));
  }
  close(fd);
  return answer;
}

TEST(CatalogueSite, ServesThroughTheLoopbackServer) {
  LoopbackServer server;
  CatalogueSiteOptions options;
  options.entries = kEntries;
  options.port = server.port();
  const auto standin = std::make_shared<const CatalogueSite>(std::move(options));
  server.set_handler(
      [standin](const LoopbackRequest& request) { return standin->respond(request); });

  const std::string body = "ktv=" + std::string(kMoli);
  const std::string answer =
      exchange(server.port(),
               "POST /isearch.asp HTTP/1.1\r\nHost: catalogue.example\r\n"
               "Content-Type: application/x-www-form-urlencoded\r\nConnection: close\r\n"
               "Content-Length: " +
                   std::to_string(body.size()) + "\r\n\r\n" + body);
  ASSERT_TRUE(answer.starts_with("HTTP/1.1 200")) << answer.substr(0, 200);
  const std::size_t head_end = answer.find("\r\n\r\n");
  ASSERT_NE(head_end, std::string::npos);
  const std::vector<page_reading::Row> listed = rows(answer.substr(head_end + 4));
  ASSERT_EQ(listed.size(), 2u);

  const std::string detail =
      exchange(server.port(), "POST /imv.asp?id=" + listed[1].id +
                                  " HTTP/1.1\r\nHost: catalogue.example\r\nConnection: close\r\n"
                                  "Content-Length: 0\r\n\r\n");
  EXPECT_EQ(redirect(detail, "http"),
            "http://127.0.0.1:" + std::to_string(server.port()) + "/files/1002.mp4");
}

}  // namespace
}  // namespace mvsearch
