#include <windows.h>

#include "reporter/engines/MemoryChecks.h"
#include "reporter/engines/ProcessMemory.h"

namespace ruvex {

std::uint32_t TickCount() { return GetTickCount(); }

bool IsReadableRange(Address address, std::uint64_t count) {
  return IsReadableRange(TProcessMemory(), address, count);
}

}  // namespace ruvex
