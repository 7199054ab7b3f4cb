#include "reporter/engines/trace/support/FrameChain.h"

#include <gtest/gtest.h>

namespace ruvex {
namespace {

TEST(FrameChain, StaysInsideTheStack) {
  const Address base = 0x1000, top = 0x1100;
  struct TCase {
    const char* what;
    Address fp;
    std::vector<std::pair<Address, std::uint32_t>> saved;  // slot, value
    std::vector<Address> slots;
  } cases[] = {
      {"two frames", 0x1080, {{0x1080, 0x10C0}, {0x10C0, 0}}, {0x1084, 0x10C4}},
      {"chain leaves above the top", 0x1080, {{0x1080, 0x7FFF0000}}, {0x1084}},
      {"last frame's return slot would be the top", 0x1080, {{0x1080, 0x10FC}}, {0x1084}},
      {"frame exactly at the end", 0x1080, {{0x1080, 0x10F8}, {0x10F8, 0}}, {0x1084, 0x10FC}},
      {"chain goes down", 0x1080, {{0x1080, 0x1040}}, {0x1084}},
      {"chain wraps", 0x1080, {{0x1080, 0xFFFFFFFC}}, {0x1084}},
      {"frame pointer below the stack", 0x0F00, {}, {}},
      {"frame pointer above the stack", 0x2000, {}, {}},
      {"frame pointer at the top", 0x10FC, {}, {}},
  };
  for (const TCase& c : cases) {
    std::vector<std::uint8_t> bytes(top - base, 0);
    for (const auto& [slot, value] : c.saved)
      for (int b = 0; b < 4; ++b) bytes[slot - base + b] = static_cast<std::uint8_t>(value >> (8 * b));
    const TBufferMemory stack(base, bytes, false);
    EXPECT_EQ(TFrameSlots(stack, c.fp, base, top, 4).Slots(), c.slots) << c.what;
  }
}

TEST(FrameChain, IsNextForgetsSlotsAbove) {
  std::vector<std::uint8_t> bytes(0x100, 0);
  bytes[0x80] = 0xC0;
  bytes[0x81] = 0x10;
  const TBufferMemory stack(0x1000, bytes, false);
  TFrameSlots frames(stack, 0x1080, 0x1000, 0x1100, 4);
  EXPECT_TRUE(frames.IsNext(0x10C4));
  EXPECT_FALSE(frames.IsNext(0x10A0));
  EXPECT_TRUE(frames.IsNext(0x1084));
  EXPECT_FALSE(frames.IsNext(0x1000));
}

}  // namespace
}  // namespace ruvex
