#include "reporter/core/freeze/Watchdog.h"

namespace ruvex {

std::uint32_t FreezeTimeoutMs(std::int32_t freezeTimeoutSeconds) {
  std::uint32_t seconds = freezeTimeoutSeconds < 1 ? kDefaultFreezeSeconds : static_cast<std::uint32_t>(freezeTimeoutSeconds);
  // A day at most: the interval's arithmetic stays far from overflow.
  if (seconds > 86'400) seconds = 86'400;
  return seconds * 1000;
}

TWatchdogState InitialWatchdogState(std::uint32_t timeoutMs) {
  TWatchdogState state;
  state.baseIntervalMs = state.intervalMs = timeoutMs / kMissesForFreeze > 0 ? timeoutMs / kMissesForFreeze : 1;
  return state;
}

bool WatchdogStep(TWatchdogState& state, bool answered) {
  if (answered) {
    state.probeOutstanding = false;
    state.misses = 0;
    state.intervalMs = state.baseIntervalMs;
    return false;
  }
  if (++state.misses < kMissesForFreeze) return false;
  state.misses = 0;
  state.intervalMs += state.intervalMs / 2;
  return true;
}

void RunWatchdog(IWatchdogPort& port, std::uint32_t timeoutMs) {
  if (!port.AcquireTurn()) return;
  TWatchdogState state = InitialWatchdogState(timeoutMs);
  while (port.WaitWhilePaused()) {
    if (ShouldPostProbe(state)) {
      port.PostProbe();
      state.probeOutstanding = true;
    }
    if (port.WaitForStop(state.intervalMs)) break;
    bool answered = port.TakeAnswers();
    if (port.TakeMissReset()) state.misses = 0;
    if (WatchdogStep(state, answered)) port.ReportFreeze();
  }
  port.ReleaseTurn();
}

bool TPauseCounter::Pause() { return ++count_ == 0; }

bool TPauseCounter::Resume() {
  if (count_ < 0) return false;
  return --count_ < 0;
}

void TPauseCounter::Reset() { count_ = -1; }

bool TPauseCounter::Paused() const { return count_ >= 0; }

THandlingRequest FreezeHandlingRequest(std::uint32_t mainThreadId) {
  THandlingRequest request;
  request.threadId = mainThreadId;
  request.exceptType = etFrozen;
  request.source = esAntiFreezeCheck;
  request.canContinue = true;
  return request;
}

}  // namespace ruvex
