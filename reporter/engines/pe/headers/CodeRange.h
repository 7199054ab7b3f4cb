#pragma once
// The address range in which a function's code may lie: the code and data
// of its module, from the module's PE headers, or the memory region itself
// for code outside any image.
#include "reporter/engines/memory/MemoryReader.h"

namespace ruvex {

struct TAddressRange {
  Address begin = 0;
  Address end = 0;  // exclusive
  bool Contains(Address a) const { return a >= begin && a < end; }
};

// The code range of the PE image at `module` (ModuleRanges), widened to
// cover its data range. Empty when the headers cannot be read.
TAddressRange ModuleCodeRange(const IMemoryReader& memory, Address module);

// The range for code at `address`: its module's, else its memory region.
TAddressRange CodeRangeAt(const IMemoryReader& memory, const IModuleList* modules, Address address);

}  // namespace ruvex
