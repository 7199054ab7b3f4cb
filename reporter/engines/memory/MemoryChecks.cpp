#include "reporter/engines/memory/MemoryChecks.h"

namespace ruvex {

bool IsReadableRange(const IMemoryReader& memory, Address address, std::uint64_t count) {
  const auto region = memory.RegionAt(address);
  if (!region || !region->readable || region->guard) return false;
  const Address offset = address - region->base;
  return offset <= region->size && count <= region->size - offset;
}

}  // namespace ruvex
