#include "reporter/engines/pe/headers/CodeRange.h"

#include <algorithm>

#include "reporter/engines/pe/headers/ModuleRanges.h"

namespace ruvex {
TAddressRange ModuleCodeRange(const IMemoryReader& memory, Address module) {
  const std::optional<TModuleRanges> ranges = ModuleRanges(memory, module);
  if (!ranges) return {};
  TAddressRange code{ranges->baseOfCode, ranges->topOfCode};
  if (ranges->topOfData > ranges->baseOfData) {
    code.begin = std::min(code.begin, ranges->baseOfData);
    code.end = std::max(code.end, ranges->topOfData);
  }
  return code;
}

TAddressRange CodeRangeAt(const IMemoryReader& memory, const IModuleList* modules, Address address) {
  if (modules)
    if (std::optional<ModuleEntry> m = modules->ModuleAt(address)) {
      TAddressRange r = ModuleCodeRange(memory, m->base);
      if (r.end > r.begin) return r;
    }
  if (std::optional<MemoryRegion> region = memory.RegionAt(address)) return {region->base, region->base + region->size};
  return {};
}

}  // namespace ruvex
