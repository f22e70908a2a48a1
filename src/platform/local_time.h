// Stand-in for the Windows clock, GetLocalTime, with a seam through which tests set it.
#pragma once

#include <cstdint>

namespace mvsearch {

struct SystemTime {
  std::uint16_t year;
  std::uint16_t month;        // 1..12
  std::uint16_t day_of_week;  // 0 = Sunday
  std::uint16_t day;          // 1..31
  std::uint16_t hour;
  std::uint16_t minute;
  std::uint16_t second;
  std::uint16_t milliseconds;
};

// The local date and time with milliseconds.
void GetLocalTime(SystemTime* out);

// Replaces the system clock for this process; nullptr restores it. Tests use this.
using LocalTimeSource = SystemTime (*)();
void set_local_time_source(LocalTimeSource source);

}  // namespace mvsearch
