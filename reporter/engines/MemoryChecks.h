#pragma once
// Small checks on memory and time that the report engines share.
#include <cstdint>

#include "reporter/engines/MemoryReader.h"

namespace ruvex {

// True when [address, address + count) lies in one committed, readable
// region that is not a guard page.
bool IsReadableRange(const IMemoryReader& memory, Address address, std::uint64_t count);
// The same in the running process (Windows).
bool IsReadableRange(Address address, std::uint64_t count);

// Milliseconds from tick `old` to tick `now` of the 32-bit millisecond
// counter, exact across its wrap-around (every 49.7 days).
constexpr std::uint32_t TicksBetween(std::uint32_t old, std::uint32_t now) { return now - old; }

// The system's 32-bit millisecond tick counter.
std::uint32_t TickCount();

// Milliseconds since the tick `old`.
inline std::uint32_t TicksSince(std::uint32_t old) { return TicksBetween(old, TickCount()); }

}  // namespace ruvex
