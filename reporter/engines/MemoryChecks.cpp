#include "reporter/engines/MemoryChecks.h"

#ifndef _WIN32
#include <chrono>
#endif

namespace ruvex {

bool IsReadableRange(const IMemoryReader& memory, Address address, std::uint64_t count) {
  const auto region = memory.RegionAt(address);
  if (!region || !region->readable || region->guard) return false;
  const Address offset = address - region->base;
  return offset <= region->size && count <= region->size - offset;
}

#ifndef _WIN32
std::uint32_t TickCount() {
  const auto since = std::chrono::steady_clock::now().time_since_epoch();
  return static_cast<std::uint32_t>(std::chrono::duration_cast<std::chrono::milliseconds>(since).count());
}
#endif

}  // namespace ruvex
