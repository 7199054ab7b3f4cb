#pragma once
// The times of the most recent exceptions and the rule of AutoClose and
// AutoRestart built on them.
#include <array>
#include <cstdint>

namespace ruvex {

inline constexpr int kHistoryLength = 10;
// Seconds since 1601-01-01 UTC; 0 marks a slot never filled.
using THistoryTimes = std::array<std::uint64_t, kHistoryLength>;

class TExceptionHistory {
 public:
  TExceptionHistory() = default;
  // Taken over from the instance that restarted this one.
  explicit TExceptionHistory(const THistoryTimes& times) : times_(times) {}
  // Shifts the older entries down and stores `now` as the newest.
  void Record(std::uint64_t now);
  const THistoryTimes& Times() const { return times_; }

 private:
  THistoryTimes times_{};  // newest first
};

// 0 (or less) never, 1 always, N above 1 only when all ten most recent
// exceptions happened within the last N seconds before `now`.
bool AutoRuleApplies(std::int32_t rule, const TExceptionHistory& history, std::uint64_t now);

enum class TAutoDecision { closeApplication, restartApplication, continueApplication };

// What happens after an exception nobody handled and no box decided.
TAutoDecision DecideAutomaticAction(std::int32_t autoClose, std::int32_t autoRestart, bool canContinue,
                                    const TExceptionHistory& history, std::uint64_t now);

}  // namespace ruvex
