#include <gtest/gtest.h>

#include "platform/local_time.h"
#include "runtime/date_time.h"
#include "runtime/number_text.h"

namespace mvsearch {
namespace {

TEST(NumberText, WritesAndReads) {
  EXPECT_EQ(to_text(0), "0");
  EXPECT_EQ(to_text(-42), "-42");
  EXPECT_EQ(to_text(std::int64_t{1596607201}), "1596607201");
  EXPECT_EQ(to_text(0.5), "0.5");
  EXPECT_EQ(to_text(1.0 / 3.0), "0.3333333333333");
  EXPECT_EQ(to_hex(0x0A), "A");
  EXPECT_EQ(to_hex(0xE4), "E4");
  EXPECT_EQ(to_hex(-1), "FFFFFFFF");
  EXPECT_EQ(bit_or(0x80000000u, 0x10u, 0x4000u), 0x80004010u);

  struct Case {
    std::string_view in;
    int out;
  } cases[] = {{"123", 123},          {"  -45x", -45}, {"\t+7", 7},       {"x1", 0},
               {"", 0},               {"-", 0},        {"0015", 15},      {"99999999999", 2147483647},
               {"-99999999999", -2147483647 - 1}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.in);
    EXPECT_EQ(to_int(c.in), c.out);
  }
}

SystemTime fixed_clock() { return SystemTime{2020, 8, 3, 5, 14, 0, 1, 45}; }

TEST(DateTime, DifferencesOfLocalDateTimes) {
  const DateTime epoch8 = to_time("1970-01-01 08:00:00");
  EXPECT_EQ(epoch8, (DateTime{1970, 1, 1, 8, 0, 0}));
  EXPECT_EQ(time_difference(to_time("2020-08-05 14:00:00"), epoch8, 8), 1596607200);
  EXPECT_EQ(time_difference(to_time("1970-01-01 07:59:59"), epoch8, 8), -1);
  EXPECT_EQ(time_difference(to_time("2000-03-01 00:00:00"), to_time("2000-02-28 00:00:00"), 8),
            2 * 86400);  // 2000 was a leap year

  set_local_time_source(&fixed_clock);
  EXPECT_EQ(current_time(), (DateTime{2020, 8, 5, 14, 0, 1}));
  set_local_time_source(nullptr);
  EXPECT_GE(current_time().year, 2024);
}

}  // namespace
}  // namespace mvsearch
