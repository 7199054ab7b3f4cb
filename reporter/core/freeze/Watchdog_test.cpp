#include "reporter/core/freeze/Watchdog.h"

#include <gtest/gtest.h>

#include <vector>

using namespace ruvex;

namespace {

// A main thread on a fake clock: it answers a probe as soon as it is no
// longer busy. The watchdog stops at `horizon`.
class TClockPort : public IWatchdogPort {
 public:
  std::uint64_t now = 0, horizon = 60'000;
  std::vector<std::pair<std::uint64_t, std::uint64_t>> busy;  // [from, to)
  bool otherWatchdogRuns = false;
  std::vector<std::uint64_t> freezes, probes;
  bool missReset = false;

  bool AcquireTurn() override { return !otherWatchdogRuns; }
  void ReleaseTurn() override {}
  bool WaitWhilePaused() override { return now < horizon; }
  void PostProbe() override {
    probes.push_back(now);
    answerAt_ = FreeAt(now);
  }
  bool WaitForStop(std::uint32_t ms) override {
    now += ms;
    return now >= horizon;
  }
  bool TakeAnswers() override {
    if (answerAt_ > now) return false;
    answerAt_ = UINT64_MAX;
    return true;
  }
  void ReportFreeze() override { freezes.push_back(now); }
  bool TakeMissReset() override { return std::exchange(missReset, false); }

 private:
  std::uint64_t FreeAt(std::uint64_t t) const {
    for (auto [from, to] : busy)
      if (t >= from && t < to) return to;
    return t;
  }
  std::uint64_t answerAt_ = UINT64_MAX;
};

}  // namespace

TEST(FreezeTimeout, SecondsWithAFloor) {
  struct TCase {
    std::int32_t setting;
    std::uint32_t ms;
  } cases[] = {{60, 60'000}, {2, 2'000}, {0, 60'000}, {-3, 60'000}, {1, 1'000}, {1'000'000, 86'400'000}};
  for (const auto& c : cases) EXPECT_EQ(FreezeTimeoutMs(c.setting), c.ms) << c.setting;
  EXPECT_EQ(InitialWatchdogState(2'000).intervalMs, 200u);
}

TEST(WatchdogStep, TenthMissReportsAndLengthens) {
  TWatchdogState state = InitialWatchdogState(10'000);
  for (int i = 0; i < 9; ++i) EXPECT_FALSE(WatchdogStep(state, false)) << i;
  EXPECT_TRUE(WatchdogStep(state, false));
  EXPECT_EQ(state.intervalMs, 1'500u);
  EXPECT_EQ(state.misses, 0);
  EXPECT_FALSE(WatchdogStep(state, true));
  EXPECT_EQ(state.intervalMs, 1'000u) << "an answer sets the interval back";
}

TEST(WatchdogLoop, BusyMainThreadsOnAFakeClock) {
  struct TCase {
    const char* what;
    std::uint64_t busyTo;
    std::vector<std::uint64_t> freezes;
  } cases[] = {
      {"busy for 9.5 intervals", 9'500, {}},
      {"busy for 10.5 intervals", 10'500, {10'000}},
      {"frozen for 30 s: the second report after ten longer intervals", 30'000, {10'000, 25'000}},
  };
  for (const auto& c : cases) {
    TClockPort port;
    port.horizon = 40'000;
    port.busy = {{0, c.busyTo}};
    RunWatchdog(port, 10'000);
    EXPECT_EQ(port.freezes, c.freezes) << c.what;
    EXPECT_EQ(port.probes.front(), 0u);
    EXPECT_GT(port.probes.at(1), c.busyTo) << c.what << ": no second probe while the first is unanswered";
  }
}

TEST(WatchdogLoop, AnsweringThreadAndAnotherWatchdog) {
  TClockPort answering;
  answering.busy = {{0, 900}, {5'000, 5'800}, {20'000, 20'950}};
  RunWatchdog(answering, 10'000);
  EXPECT_TRUE(answering.freezes.empty());
  EXPECT_EQ(answering.probes.size(), 60u);

  TClockPort second;
  second.otherWatchdogRuns = true;
  RunWatchdog(second, 10'000);
  EXPECT_TRUE(second.probes.empty());
}

TEST(PauseCounter, NestedPausesCloseAndOpenOnce) {
  TPauseCounter counter;
  EXPECT_FALSE(counter.Resume()) << "a resume without pause does nothing";
  EXPECT_TRUE(counter.Pause());
  EXPECT_FALSE(counter.Pause());
  EXPECT_TRUE(counter.Paused());
  EXPECT_FALSE(counter.Resume());
  EXPECT_TRUE(counter.Resume());
  EXPECT_FALSE(counter.Paused());
  counter.Pause();
  counter.Reset();
  EXPECT_FALSE(counter.Paused());
}

TEST(FreezeRequest, FrozenFromTheCheck) {
  auto request = FreezeHandlingRequest(77);
  EXPECT_EQ(request.exceptType, etFrozen);
  EXPECT_EQ(request.source, esAntiFreezeCheck);
  EXPECT_TRUE(request.canContinue);
  EXPECT_EQ(request.exceptObject, 0u);
  EXPECT_EQ(request.threadId, 77u);
}
