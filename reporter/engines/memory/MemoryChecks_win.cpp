#include <windows.h>

#include "reporter/engines/memory/MemoryChecks.h"
#include "reporter/engines/memory/ProcessMemory.h"

namespace ruvex {

bool IsReadableRange(Address address, std::uint64_t count) {
  return IsReadableRange(TProcessMemory(), address, count);
}

}  // namespace ruvex
