#pragma once
// The freeze watchdog's logic, apart from threads and windows: the polling
// interval, one step of the loop, the loop over a port to the system, the
// pause counter and the request it raises.
#include <cstdint>
#include <mutex>

#include "reporter/core/flow/HandlingRequest.h"

namespace ruvex {

inline constexpr int kMissesForFreeze = 10;
inline constexpr std::uint32_t kDefaultFreezeSeconds = 60;

// "FreezeTimeout" counts seconds; values below 1 mean 60 seconds.
std::uint32_t FreezeTimeoutMs(std::int32_t freezeTimeoutSeconds);

struct TWatchdogState {
  std::uint32_t baseIntervalMs = kDefaultFreezeSeconds * 100;
  std::uint32_t intervalMs = kDefaultFreezeSeconds * 100;
  int misses = 0;
  bool probeOutstanding = false;  // posted and not answered yet
};

TWatchdogState InitialWatchdogState(std::uint32_t timeoutMs);

// Whether the step posts a probe: never while one is still unanswered, so
// that a frozen thread's queue does not fill with them.
inline bool ShouldPostProbe(const TWatchdogState& state) { return !state.probeOutstanding; }

// After one interval: `answered` tells whether the main thread answered.
// Returns true when a freeze is to be reported (the tenth miss in a row);
// the interval then grows by half, until an answer sets it back.
bool WatchdogStep(TWatchdogState& state, bool answered);

// What the loop asks of the system (the Windows half, or a fake with a clock).
class IWatchdogPort {
 public:
  virtual ~IWatchdogPort() = default;
  // The process-wide watchdog mutex, or the stop request: false when stopped.
  virtual bool AcquireTurn() = 0;
  virtual void ReleaseTurn() = 0;
  // Waits while paused; false when stopped meanwhile.
  virtual bool WaitWhilePaused() = 0;
  virtual void PostProbe() = 0;
  // Waits for the stop request up to `ms`; true when stopped.
  virtual bool WaitForStop(std::uint32_t ms) = 0;
  // Empties the watchdog's queue; true when an answer was among it.
  virtual bool TakeAnswers() = 0;
  virtual void ReportFreeze() = 0;
  // A miss reset from outside (after a handled exception, a pause): taken
  // and cleared at each step.
  virtual bool TakeMissReset() = 0;
};

void RunWatchdog(IWatchdogPort& port, std::uint32_t timeoutMs);

// The counter behind pausing: nested pauses, and the gate they close. Its
// answers tell the owner when to close (reset) or open (set) the gate; the
// owner does that under Lock(), so that a pause and a resume never cross.
class TPauseCounter {
 public:
  // True when this pause closes the gate (the first one).
  bool Pause();
  // True when this resume opens the gate again (the last one).
  bool Resume();
  void Reset();
  bool Paused() const;
  std::mutex& Lock() { return lock_; }

 private:
  mutable std::mutex lock_;
  int count_ = -1;  // guarded by lock_
};

// The request a freeze raises: no exception object, from the freeze check,
// and the program may go on.
THandlingRequest FreezeHandlingRequest(std::uint32_t mainThreadId);

}  // namespace ruvex
