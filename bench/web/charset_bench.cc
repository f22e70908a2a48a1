// convert_charset on a whole result page against one direct ICU conversion of the same
// bytes: the detour through the stream object and code page 936 should cost at most a few
// times the conversion itself.
#include <benchmark/benchmark.h>
#include <unicode/ucnv.h>

#include <string>
#include <string_view>

#include "runtime/text.h"
#include "textutil/charset.h"

namespace mvsearch {
namespace {

// A UTF-8 result page of 16 MiB: mostly ASCII HTML, a Chinese title per row.
const std::string& utf8_page() {
  static const std::string page = [] {
    constexpr std::size_t size = std::size_t{16} << 20;
    static constexpr std::string_view titles[] = {
        "\xE6\x9C\x88\xE4\xBA\xAE\xE4\xBB\xA3\xE8\xA1\xA8\xE6\x88\x91\xE7\x9A\x84\xE5\xBF\x83",
        "\xE5\xB0\x8F\xE6\xB2\xB3\xE6\xB7\x8C\xE6\xB0\xB4",
        "\xE7\x94\x9C\xE8\x9C\x9C\xE8\x9C\x9C",
    };
    std::string html =
        "<html><head><meta charset=\"utf-8\"><title>\xE6\x90\x9C\xE7\xB4\xA2</title></head>"
        "<body><table class=\"list\">\n";
    for (int id = 1; html.size() + 400 < size; ++id) {
      const std::string n = std::to_string(id);
      html += "<tr class=\"row\"><td class=\"n\">" + n + "</td><td><a href=/imv.asp?id=" + n +
              " class=link><span>";
      html += titles[id % 3];
      html += " " + n + "</span></a></td><td class=\"singer\">\xE6\xAD\x8C\xE6\x89\x8B " +
              std::to_string(id % 97) + "</td><td><a href=\"/mv.asp?id=" + n +
              "\" target=\"_blank\">MV</a></td><td>2020-08-05</td></tr>\n";
    }
    html += "</table></body></html>";
    return html;
  }();
  return page;
}

void BM_convert_charset(benchmark::State& state) {
  const ByteSet page(utf8_page());
  for (auto _ : state) {
    ByteSet gbk = convert_charset(page);
    benchmark::DoNotOptimize(gbk.data());
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) *
                          static_cast<std::int64_t>(page.size()));
}
BENCHMARK(BM_convert_charset)->Unit(benchmark::kMillisecond);

void BM_icu_baseline(benchmark::State& state) {
  const std::string& page = utf8_page();
  for (auto _ : state) {
    std::string gbk(page.size() + 16, '\0');
    UErrorCode status = U_ZERO_ERROR;
    const int32_t length =
        ucnv_convert("windows-936-2000", "UTF-8", gbk.data(), static_cast<int32_t>(gbk.size()),
                     page.data(), static_cast<int32_t>(page.size()), &status);
    if (U_FAILURE(status)) {
      state.SkipWithError(u_errorName(status));
      break;
    }
    gbk.resize(static_cast<std::size_t>(length));
    benchmark::DoNotOptimize(gbk.data());
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) *
                          static_cast<std::int64_t>(page.size()));
}
BENCHMARK(BM_icu_baseline)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace mvsearch
