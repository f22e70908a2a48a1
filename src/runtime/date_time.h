// Local date and time to the second, and whole-second differences between them.
#pragma once

#include <cstdint>
#include <string_view>

namespace mvsearch {

struct DateTime {
  int year = 1970;
  int month = 1;
  int day = 1;
  int hour = 0;
  int minute = 0;
  int second = 0;

  friend bool operator==(const DateTime&, const DateTime&) = default;
};

// Unit for time_difference: whole seconds.
inline constexpr int TIME_UNIT_SECONDS = 8;

// The local date and time, to the second, from the platform clock.
[[nodiscard]] DateTime current_time();
// Reads "YYYY-MM-DD hh:mm:ss"; missing or malformed fields count as in 1970-01-01 00:00:00.
[[nodiscard]] DateTime to_time(std::string_view t);
// a - b in whole seconds (the unit must be TIME_UNIT_SECONDS). Both are taken as
// calendar moments without a time zone.
[[nodiscard]] std::int64_t time_difference(const DateTime& a, const DateTime& b,
                                           int unit = TIME_UNIT_SECONDS);

}  // namespace mvsearch
