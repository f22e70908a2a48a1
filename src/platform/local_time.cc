#include "platform/local_time.h"

#include <sys/time.h>

#include <atomic>
#include <ctime>

namespace mvsearch {
namespace {

std::atomic<LocalTimeSource> g_source{nullptr};

SystemTime system_clock_now() {
  timeval now{};
  gettimeofday(&now, nullptr);
  std::tm local{};
  const std::time_t seconds = now.tv_sec;
  if (localtime_r(&seconds, &local) == nullptr) {
    return SystemTime{1970, 1, 4, 1, 0, 0, 0, 0};
  }
  return SystemTime{static_cast<std::uint16_t>(local.tm_year + 1900),
                    static_cast<std::uint16_t>(local.tm_mon + 1),
                    static_cast<std::uint16_t>(local.tm_wday),
                    static_cast<std::uint16_t>(local.tm_mday),
                    static_cast<std::uint16_t>(local.tm_hour),
                    static_cast<std::uint16_t>(local.tm_min),
                    static_cast<std::uint16_t>(local.tm_sec),
                    static_cast<std::uint16_t>(now.tv_usec / 1000)};
}

}  // namespace

void GetLocalTime(SystemTime* out) {
  if (out == nullptr) return;
  const LocalTimeSource source = g_source.load();
  *out = source != nullptr ? source() : system_clock_now();
}

void set_local_time_source(LocalTimeSource source) { g_source.store(source); }

}  // namespace mvsearch
