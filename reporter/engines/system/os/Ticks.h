#pragma once
// The 32-bit millisecond tick counter and differences across its wrap-around.
#include <cstdint>

namespace ruvex {

// Milliseconds from tick `old` to tick `now` of the 32-bit millisecond
// counter, exact across its wrap-around (every 49.7 days).
constexpr std::uint32_t TicksBetween(std::uint32_t old, std::uint32_t now) { return now - old; }

// The system's 32-bit millisecond tick counter.
std::uint32_t TickCount();

// Milliseconds since the tick `old`.
inline std::uint32_t TicksSince(std::uint32_t old) { return TicksBetween(old, TickCount()); }

}  // namespace ruvex
