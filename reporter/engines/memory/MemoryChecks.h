#pragma once
// Whether a range of memory can be read, in a reader or in the running process.
#include <cstdint>

#include "reporter/engines/memory/MemoryReader.h"

namespace ruvex {

// True when [address, address + count) lies in one committed, readable
// region that is not a guard page.
bool IsReadableRange(const IMemoryReader& memory, Address address, std::uint64_t count);
// The same in the running process (Windows).
bool IsReadableRange(Address address, std::uint64_t count);

}  // namespace ruvex
