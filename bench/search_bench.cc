// The search command on a result page of 50,000 entries (about 10 MiB), from the request
// to the last row in the offscreen window, against the plain cost of that page: fetching
// it with libcurl and converting it once from UTF-8 to GBK with ICU.
#include <benchmark/benchmark.h>
#include <curl/curl.h>
#include <unicode/ucnv.h>

#include <QAbstractItemModel>
#include <QApplication>
#include <QTableView>
#include <cstdlib>
#include <memory>
#include <string>

#include "app/catalogue_site.h"
#include "app/main_window.h"
#include "app/result_pieces.h"
#include "app/search_command.h"
#include "loopback_server/loopback_server.h"
#include "platform/shell_open.h"
#include "runtime/window_services.h"

namespace mvsearch {
namespace {

constexpr int RESULTS = 50000;

// A result page as the site sends it: UTF-8, quoted attributes, a Chinese title and
// singer per entry.
std::string make_page() {
  static const char* const titles[] = {"\xE7\x8E\xAB\xE7\x91\xB0\xE8\x8A\xB1",
                                       "\xE5\xBA\xB7\xE5\xAE\x9A\xE6\x83\x85\xE6\xAD\x8C",
                                       "\xE5\xB0\x8F\xE6\xB2\xB3\xE6\xB7\x8C\xE6\xB0\xB4"};
  std::string page =
      "<html><head><meta charset=\"utf-8\"><title>\xE6\x90\x9C\xE7\xB4\xA2</title></head>"
      "<body><table class=\"list\">\n";
  for (int id = 1; id <= RESULTS; ++id) {
    const std::string n = std::to_string(id);
    page += "<tr class=\"row\"><td class=\"n\">" + n + "</td><td><a href=\"/imv.asp?id=" + n +
            "\" class=\"link\"><span>" + titles[id % 3] + " " + n +
            "</span></a></td><td class=\"singer\">\xE6\xAD\x8C\xE6\x89\x8B " +
            std::to_string(id % 97) + "</td><td><a href=\"/mv.asp?id=" + n +
            "\" target=\"_blank\">MV</a></td><td class=\"date\">2020-08-05</td></tr>\n";
  }
  page += "</table></body></html>";
  return page;
}

bool ignore_open(std::string_view) { return true; }

// One loopback catalogue and one offscreen main_window for the whole run.
struct Catalogue {
  Catalogue() : page(std::make_shared<const std::string>(make_page())) {
    server = std::make_unique<LoopbackServer>([this](const LoopbackRequest&) {
      LoopbackResponse response;
      response.shared_body = page;
      return response;
    });
    const std::string connect_to =
        std::string(CATALOGUE_HOST) + ":80:127.0.0.1:" + std::to_string(server->port());
    setenv("MVSEARCH_CONNECT_TO", connect_to.c_str(), 1);
    set_shell_launcher(ignore_open);  // the promotion page goes nowhere
    runtime_init();
    load_window(main_window_description());
    QCoreApplication::processEvents();
    write_property(编辑框1, PROP_EDIT_CONTENT, "k");
  }
  std::shared_ptr<const std::string> page;
  std::unique_ptr<LoopbackServer> server;
};

Catalogue& catalogue() {
  static Catalogue* instance = new Catalogue;  // kept for the whole run
  return *instance;
}

void BM_search_50k(benchmark::State& state) {
  Catalogue& c = catalogue();
  int rows = 0;
  for (auto _ : state) {
    const Text page = search_catalogue();
    benchmark::DoNotOptimize(page.data());
    // Let the view take in its rows, as the event loop does right after the click.
    QCoreApplication::processEvents();
    rows = result_pieces.size() - 1;
  }
  if (rows != RESULTS) state.SkipWithError("not every result was listed");
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) *
                          static_cast<std::int64_t>(c.page->size()));
  state.counters["rows"] = rows;
}
BENCHMARK(BM_search_50k)->Unit(benchmark::kMillisecond)->UseRealTime();

struct CurlDeleter {
  void operator()(CURL* curl) const { curl_easy_cleanup(curl); }
};
struct ConverterDeleter {
  void operator()(UConverter* converter) const { ucnv_close(converter); }
};

std::size_t append_body(char* data, std::size_t size, std::size_t count, void* out) {
  static_cast<std::string*>(out)->append(data, size * count);
  return size * count;
}

// The same page with nothing in between: one libcurl POST, one ICU conversion.
void BM_fetch_baseline(benchmark::State& state) {
  Catalogue& c = catalogue();
  const std::unique_ptr<CURL, CurlDeleter> curl(curl_easy_init());
  UErrorCode status = U_ZERO_ERROR;
  const std::unique_ptr<UConverter, ConverterDeleter> utf8(ucnv_open("UTF-8", &status));
  const std::unique_ptr<UConverter, ConverterDeleter> gbk(ucnv_open("windows-936-2000", &status));
  if (!curl || U_FAILURE(status)) {
    state.SkipWithError("no curl handle or ICU converter");
    return;
  }
  const std::string url = c.server->url("/isearch.asp");
  std::string body;
  std::string converted;
  for (auto _ : state) {
    body.clear();
    curl_easy_setopt(curl.get(), CURLOPT_URL, url.c_str());
    curl_easy_setopt(curl.get(), CURLOPT_POSTFIELDS, "ktv=%6B");
    curl_easy_setopt(curl.get(), CURLOPT_WRITEFUNCTION, append_body);
    curl_easy_setopt(curl.get(), CURLOPT_WRITEDATA, &body);
    if (curl_easy_perform(curl.get()) != CURLE_OK) {
      state.SkipWithError("fetch failed");
      return;
    }
    converted.resize(body.size() * 2);
    status = U_ZERO_ERROR;
    char* target = converted.data();
    const char* source = body.data();
    ucnv_convertEx(gbk.get(), utf8.get(), &target, converted.data() + converted.size(), &source,
                   body.data() + body.size(), nullptr, nullptr, nullptr, nullptr, true, true,
                   &status);
    converted.resize(static_cast<std::size_t>(target - converted.data()));
    benchmark::DoNotOptimize(converted.data());
  }
  if (U_FAILURE(status)) state.SkipWithError("conversion failed");
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) *
                          static_cast<std::int64_t>(c.page->size()));
}
BENCHMARK(BM_fetch_baseline)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
}  // namespace mvsearch

int main(int argc, char** argv) {
  // The window is real but never needs a screen.
  if (std::getenv("QT_QPA_PLATFORM") == nullptr) setenv("QT_QPA_PLATFORM", "offscreen", 1);
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
