#include "reporter/engines/system/os/Ticks.h"

#include <gtest/gtest.h>

namespace ruvex {
namespace {

TEST(TicksSince, ExactAcrossTheWrapAround) {
  struct {
    std::uint32_t old, now, elapsed;
  } cases[] = {
      {1000, 1500, 500},
      {0, 0, 0},
      {0xFFFFFFFF, 0, 1},  // one millisecond across the wrap
      {0xFFFFFF00, 0x100, 0x200},
      {1, 0, 0xFFFFFFFF},  // just short of a full turn
  };
  for (const auto& c : cases) EXPECT_EQ(TicksBetween(c.old, c.now), c.elapsed) << c.old << " -> " << c.now;
  const std::uint32_t start = TickCount();
  EXPECT_LT(TicksSince(start), 60000u);
}

}  // namespace
}  // namespace ruvex
