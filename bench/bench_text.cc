// Text operations on whole result pages: each must stay linear and close to the standard
// library, which knows nothing of double-byte characters.
#include <benchmark/benchmark.h>

#include <string>
#include <string_view>
#include <vector>

#include "runtime/text_ops.h"
#include "textutil/text_cutting.h"

namespace mvsearch {
namespace {

constexpr std::string_view kSeparator = "<td><a href=/imv.asp?";
constexpr std::string_view kEndMarker = "<!-- results end -->";
constexpr std::string_view kCloseMarker = "</body>";

// A result page of about `mib` MiB: mostly ASCII HTML, one GBK title per result, markers
// that occur once near the end.
std::string make_page(int mib) {
  const std::size_t size = static_cast<std::size_t>(mib) << 20;
  std::string page =
      "<html><head><meta charset=\"gbk\"><title>\xCB\xD1\xCB\xF7</title></head><body>"
      "<table class=\"list\">\n";
  static const char* const kTitles[] = {"\xC3\xBC\xC0\xF2\xBB\xA8", "\xBF\xB5\xB6\xA8\xC7\xE9\xB8\xE8",
                                        "\xD0\xA1\xBA\xD3\xCC\xCA\xCB\xAE"};
  for (int id = 1; page.size() + 200 < size; ++id) {
    page += "<tr class=\"row\"><td class=\"n\">" + std::to_string(id) + "</td>";
    page += std::string(kSeparator) + "id=" + std::to_string(id) +
            " class=link><span>" + kTitles[id % 3] + " " + std::to_string(id) +
            "</span></a></td><td class=\"singer\">\xB8\xE8\xCA\xD6 " + std::to_string(id % 97) +
            "</td><td><a href=\"/mv.asp?id=" + std::to_string(id) +
            "\" target=\"_blank\">MV</a></td><td>2020-08-05</td></tr>\n";
  }
  page += "</table>";
  page += kEndMarker;
  page += "<p>end</p>";
  page += kCloseMarker;
  page += "</html>";
  return page;
}

const std::string& page_of(int mib) {
  static std::string pages[17];
  if (pages[mib].empty()) pages[mib] = make_page(mib);
  return pages[mib];
}

void BM_find_text(benchmark::State& state) {
  const std::string& page = page_of(static_cast<int>(state.range(0)));
  for (auto _ : state) benchmark::DoNotOptimize(find_text(page, kEndMarker));
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * page.size()));
}

void BM_string_view_find(benchmark::State& state) {
  const std::string_view page = page_of(static_cast<int>(state.range(0)));
  for (auto _ : state) benchmark::DoNotOptimize(page.find(kEndMarker));
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * page.size()));
}

void BM_split_text(benchmark::State& state) {
  const std::string& page = page_of(static_cast<int>(state.range(0)));
  for (auto _ : state) benchmark::DoNotOptimize(split_text(page, kSeparator));
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * page.size()));
}

void BM_std_split(benchmark::State& state) {
  const std::string_view page = page_of(static_cast<int>(state.range(0)));
  for (auto _ : state) {
    std::vector<std::string> pieces;
    std::size_t pos = 0;
    while (true) {
      const std::size_t found = page.find(kSeparator, pos);
      if (found == std::string_view::npos) {
        if (pos < page.size()) pieces.emplace_back(page.substr(pos));
        break;
      }
      pieces.emplace_back(page.substr(pos, found - pos));
      pos = found + kSeparator.size();
    }
    benchmark::DoNotOptimize(pieces);
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * page.size()));
}

void BM_replace_text(benchmark::State& state) {
  const std::string& page = page_of(static_cast<int>(state.range(0)));
  for (auto _ : state) benchmark::DoNotOptimize(replace_text(page, "\"", "", {}, {}, true));
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * page.size()));
}

void BM_text_between(benchmark::State& state) {
  const std::string& page = page_of(static_cast<int>(state.range(0)));
  for (auto _ : state) benchmark::DoNotOptimize(text_between(page, kEndMarker, kCloseMarker));
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * page.size()));
}

BENCHMARK(BM_find_text)->Arg(1)->Arg(16)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_string_view_find)->Arg(1)->Arg(16)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_split_text)->Arg(1)->Arg(16)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_std_split)->Arg(1)->Arg(16)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_replace_text)->Arg(1)->Arg(16)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_text_between)->Arg(1)->Arg(16)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace mvsearch

BENCHMARK_MAIN();
