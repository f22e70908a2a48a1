// web_request fetching a 16 MiB body from the loopback server, against plain libcurl
// fetching the same body into memory. The goal: web_request at most 1.5 times the baseline.
#include <benchmark/benchmark.h>
#include <curl/curl.h>
#include <malloc.h>

#include <memory>
#include <string>

#include "loopback_server/loopback_server.h"
#include "web/web_request.h"

namespace mvsearch {
namespace {

constexpr std::size_t kBodySize = std::size_t{16} << 20;

// Every fetch allocates and frees bodies of 16 MiB. With glibc's adaptive thresholds some
// of those come from fresh mappings and some from the heap, depending on what ran before,
// and the page faults of a fresh mapping cost more than the transfer: fixed thresholds keep
// freed memory in the heap, so both fetches measure their own work in any order.
[[maybe_unused]] const bool kStableAllocator = [] {
  return mallopt(M_MMAP_THRESHOLD, 32 << 20) == 1 && mallopt(M_TRIM_THRESHOLD, 256 << 20) == 1;
}();

LoopbackServer& Server() {
  static const auto body = std::make_shared<const std::string>([] {
    std::string text(kBodySize, '\0');
    for (std::size_t i = 0; i < text.size(); ++i) text[i] = static_cast<char>('a' + i % 26);
    return text;
  }());
  static LoopbackServer server([](const LoopbackRequest&) {
    LoopbackResponse response;
    response.shared_body = body;
    return response;
  });
  return server;
}

void BM_web_request(benchmark::State& state) {
  const std::string url = Server().url("/large");
  for (auto _ : state) {
    ByteSet body = web_request(url);
    if (body.size() != kBodySize) state.SkipWithError("short body");
    benchmark::DoNotOptimize(body.data());
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * kBodySize));
}
BENCHMARK(BM_web_request)->Unit(benchmark::kMillisecond)->UseRealTime();

struct EasyDeleter {
  void operator()(CURL* easy) const { curl_easy_cleanup(easy); }
};

std::size_t AppendBody(char* data, std::size_t size, std::size_t count, void* user) {
  static_cast<std::string*>(user)->append(data, size * count);
  return size * count;
}

// What a plain libcurl program does: one easy handle per fetch, the body into a string.
void BM_curl_baseline(benchmark::State& state) {
  const std::string url = Server().url("/large");
  for (auto _ : state) {
    std::string body;
    std::unique_ptr<CURL, EasyDeleter> easy(curl_easy_init());
    if (!easy || curl_easy_setopt(easy.get(), CURLOPT_URL, url.c_str()) != CURLE_OK ||
        curl_easy_setopt(easy.get(), CURLOPT_PROXY, "") != CURLE_OK ||
        curl_easy_setopt(easy.get(), CURLOPT_WRITEFUNCTION, &AppendBody) != CURLE_OK ||
        curl_easy_setopt(easy.get(), CURLOPT_WRITEDATA, &body) != CURLE_OK ||
        curl_easy_perform(easy.get()) != CURLE_OK || body.size() != kBodySize) {
      state.SkipWithError("curl fetch failed");
      break;
    }
    benchmark::DoNotOptimize(body.data());
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * kBodySize));
}
BENCHMARK(BM_curl_baseline)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
}  // namespace mvsearch
