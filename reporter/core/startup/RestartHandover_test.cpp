#include "reporter/core/startup/RestartHandover.h"

#include <gtest/gtest.h>

using namespace ruvex;

TEST(RestartHandover, BlockRoundTripsAndShortBlocksAreRefused) {
  TRestartHandover h;
  h.previousProcessId = 0x1a2b;
  h.handleToClose = 0x1c8;
  for (size_t i = 0; i < h.exceptionTimes.size(); ++i) h.exceptionTimes[i] = 13300000000ull + i;
  std::string block = EncodeRestartHandover(h);
  ASSERT_EQ(block.size(), kRestartBlockSize);
  auto back = DecodeRestartHandover(block);
  ASSERT_TRUE(back);
  EXPECT_EQ(back->previousProcessId, 0x1a2bu);
  EXPECT_EQ(back->handleToClose, 0x1c8u);
  EXPECT_EQ(back->exceptionTimes, h.exceptionTimes);
  EXPECT_FALSE(DecodeRestartHandover(block.substr(0, kRestartBlockSize - 1)));
  EXPECT_TRUE(ShouldWaitForPredecessor(*back, 0x99));
  EXPECT_FALSE(ShouldWaitForPredecessor(*back, 0x1a2b)) << "a block naming this process";
  back->previousProcessId = 0;
  EXPECT_FALSE(ShouldWaitForPredecessor(*back, 0x99));
}
