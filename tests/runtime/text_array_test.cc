#include <gtest/gtest.h>

#include "runtime/text.h"

namespace mvsearch {
namespace {

TEST(TextArray, AddressedFromOne) {
  TextArray a{"x", "y"};
  EXPECT_EQ(a.size(), 2);
  EXPECT_EQ(a[1], "x");
  EXPECT_EQ(a[2], "y");
  a[2] = "z";
  a.append("w");
  a.remove(1);
  EXPECT_EQ(a, (TextArray{"z", "w"}));
}

TEST(TextArrayDeathTest, IndexOutsideTheArrayIsFatal) {
  const TextArray a{"x", "y"};
  EXPECT_EXIT((void)a[0], testing::ExitedWithCode(255), "error code 4");
  EXPECT_EXIT((void)a[-3], testing::ExitedWithCode(255), "error code 4");
  EXPECT_EXIT((void)a[3], testing::ExitedWithCode(255), "error code 1");
  EXPECT_EXIT((void)TextArray()[1], testing::ExitedWithCode(255), "error code 1");
}

}  // namespace
}  // namespace mvsearch
