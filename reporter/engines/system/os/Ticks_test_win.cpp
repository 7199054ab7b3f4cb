// The tick counter is the system one (runs under wine64).
#include <windows.h>

#include <gtest/gtest.h>

#include "reporter/engines/system/os/Ticks.h"

namespace ruvex {
namespace {

TEST(Ticks, TickCountIsTheSystemsCounter) {
  const DWORD before = GetTickCount();
  const std::uint32_t ours = TickCount();
  EXPECT_LE(ours - before, 1000u);
  EXPECT_LE(TicksSince(before), 1000u);
}

}  // namespace
}  // namespace ruvex
