#include "runtime/date_time.h"

#include "platform/local_time.h"
#include "runtime/number_text.h"

namespace mvsearch {
namespace {

// Days from 1970-01-01 in the proleptic Gregorian calendar (Howard Hinnant's algorithm).
std::int64_t days_from_civil(std::int64_t y, int m, int d) {
  y -= m <= 2 ? 1 : 0;
  const std::int64_t era = (y >= 0 ? y : y - 399) / 400;
  const std::int64_t yoe = y - era * 400;
  const std::int64_t doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  const std::int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + doe - 719468;
}

std::int64_t seconds_since_epoch(const DateTime& t) {
  return days_from_civil(t.year, t.month, t.day) * 86400 + t.hour * 3600 + t.minute * 60 + t.second;
}

}  // namespace

DateTime current_time() {
  SystemTime now{};
  GetLocalTime(&now);
  return DateTime{now.year, now.month, now.day, now.hour, now.minute, now.second};
}

DateTime to_time(std::string_view t) {
  // Fields in order: year, month, day, hour, minute, second, separated by any non-digit.
  int fields[6] = {1970, 1, 1, 0, 0, 0};
  std::size_t i = 0;
  for (int f = 0; f < 6 && i < t.size(); ++f) {
    while (i < t.size() && (t[i] < '0' || t[i] > '9')) ++i;
    const std::size_t begin = i;
    while (i < t.size() && t[i] >= '0' && t[i] <= '9') ++i;
    if (i > begin) fields[f] = to_int(t.substr(begin, i - begin));
  }
  return DateTime{fields[0], fields[1], fields[2], fields[3], fields[4], fields[5]};
}

std::int64_t time_difference(const DateTime& a, const DateTime& b, int unit) {
  (void)unit;  // the system asks for whole seconds only
  return seconds_since_epoch(a) - seconds_since_epoch(b);
}

}  // namespace mvsearch
