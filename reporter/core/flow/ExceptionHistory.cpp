#include "reporter/core/flow/ExceptionHistory.h"

#include <algorithm>

namespace ruvex {

void TExceptionHistory::Record(std::uint64_t now) {
  std::copy_backward(times_.begin(), times_.end() - 1, times_.end());
  times_[0] = now;
}

bool AutoRuleApplies(std::int32_t rule, const TExceptionHistory& history, std::uint64_t now) {
  if (rule <= 0) return false;
  if (rule == 1) return true;
  const auto window = static_cast<std::uint64_t>(rule);
  return std::all_of(history.Times().begin(), history.Times().end(), [&](std::uint64_t time) {
    if (time == 0) return false;  // fewer than ten exceptions so far
    // A time ahead of the clock (the clock was set back) still counts as recent.
    return time >= now || now - time <= window;
  });
}

TAutoDecision DecideAutomaticAction(std::int32_t autoClose, std::int32_t autoRestart, bool canContinue,
                                    const TExceptionHistory& history, std::uint64_t now) {
  const bool restart = AutoRuleApplies(autoRestart, history, now);
  if (AutoRuleApplies(autoClose, history, now) || (!canContinue && !restart))
    return TAutoDecision::closeApplication;
  if (restart) return TAutoDecision::restartApplication;
  return TAutoDecision::continueApplication;
}

}  // namespace ruvex
