#pragma once
// The countdown of the automatic button: where its marker stands after a
// given time, and when the button is due.
#include <cstdint>

namespace ruvex {

struct TCountdownMark {
  int x = 0;
  bool due = false;  // the marker passed the end: the button acts
};

// Elapsed time in milliseconds (64-bit: a box may stay open for weeks). A
// delay of 0 seconds or less acts at once. System push buttons keep their
// frame free of the marker.
TCountdownMark CountdownMark(std::uint64_t elapsedMs, std::int32_t delaySeconds, int buttonWidth,
                             bool ownerDrawn);

}  // namespace ruvex
