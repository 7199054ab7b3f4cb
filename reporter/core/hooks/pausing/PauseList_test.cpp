#include "reporter/core/hooks/pausing/PauseList.h"

#include <gtest/gtest.h>

namespace ruvex {
namespace {

TEST(PauseList, HoldsOnlyTheApplicationsOtherThreads) {
  TPauseCandidates c;
  c.processThreads = {1, 2, 3, 4, 5, 6, 6};
  c.mainThread = 1;
  c.callingThread = 2;
  c.sparedThread = 3;
  c.createdByReporterModule = [](std::uint32_t t) { return t != 5; };  // 5: a system pool thread
  EXPECT_EQ(PauseList(c), (std::vector<std::uint32_t>{4, 6}));
  c.createdByReporterModule = nullptr;
  EXPECT_TRUE(PauseList(c).empty());
}

TEST(PauseList, EachThreadWaitsOnItsOwnEvent) {
  const std::vector<std::uint32_t> listed = {4, 6};
  const struct {
    std::uint32_t thread;
    TPauseWait wait;
  } cases[] = {{1, TPauseWait::mainEvent}, {2, TPauseWait::none}, {3, TPauseWait::none},
               {4, TPauseWait::otherEvent}, {5, TPauseWait::none}, {6, TPauseWait::otherEvent}};
  for (const auto& c : cases) EXPECT_EQ(PauseWaitOf(c.thread, 1, 3, 2, listed), c.wait) << c.thread;
  // The main thread completing the report itself is not held.
  EXPECT_EQ(PauseWaitOf(1, 1, 1, 2, listed), TPauseWait::none);
}

}  // namespace
}  // namespace ruvex
