#pragma once
// The memory and the loaded modules of the running process, read safely:
// a range is read only when every page of it is committed, readable and
// not a guard page, and the read itself cannot fault. (Windows.)
#include "reporter/engines/memory/MemoryReader.h"

namespace ruvex {

class TProcessMemory : public IMemoryReader, public IModuleList {
 public:
  bool Read(Address address, void* out, std::size_t size) const override;
  std::optional<MemoryRegion> RegionAt(Address address) const override;
  std::vector<ModuleEntry> Modules() const override;
};

}  // namespace ruvex
