#include "reporter/ui/box/Countdown.h"

namespace ruvex {

TCountdownMark CountdownMark(std::uint64_t elapsedMs, std::int32_t delaySeconds, int buttonWidth, bool ownerDrawn) {
  int end = ownerDrawn ? buttonWidth : buttonWidth - 6;
  if (delaySeconds <= 0) return {end, true};
  std::int64_t delay = delaySeconds;
  std::int64_t span = ownerDrawn ? buttonWidth : buttonWidth - 11;
  std::int64_t elapsed = static_cast<std::int64_t>(elapsedMs > (1ull << 40) ? (1ull << 40) : elapsedMs);
  std::int64_t x = (elapsed * span + delay * 500) / (delay * 1000) + (ownerDrawn ? 0 : 5);
  if (x > end) return {end, true};
  return {static_cast<int>(x), false};
}

}  // namespace ruvex
