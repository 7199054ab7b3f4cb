#include "reporter/ui/box/Countdown.h"

#include <gtest/gtest.h>

using namespace ruvex;

TEST(Countdown, MarkerAndDue) {
  struct TCase {
    std::uint64_t elapsed;
    int delay, width;
    bool ownerDrawn;
    int x;
    bool due;
  } cases[] = {
      {0, 60, 100, true, 0, false},        {30'000, 60, 100, true, 50, false},
      {60'000, 60, 100, true, 100, false}, {60'600, 60, 100, true, 100, true},
      {0, 0, 100, true, 100, true},        {0, -5, 100, true, 100, true},  // no division by zero
      {1ull << 45, 2, 100, true, 100, true},                                // no overflow
      {0, 60, 100, false, 5, false},       {60'000, 60, 100, false, 94, false},
      {61'000, 60, 100, false, 94, true},
  };
  for (const auto& c : cases) {
    auto mark = CountdownMark(c.elapsed, c.delay, c.width, c.ownerDrawn);
    EXPECT_EQ(mark.x, c.x) << c.elapsed << " " << c.delay;
    EXPECT_EQ(mark.due, c.due) << c.elapsed << " " << c.delay;
  }
}
