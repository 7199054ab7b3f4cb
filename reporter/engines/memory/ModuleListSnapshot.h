#pragma once
// The loaded modules as one report sees them. Listing the modules of the
// running process takes a system snapshot each time, and a report asks
// hundreds of times (every listed instruction, every trace step): the
// report holds one of these and asks it instead.
#include <vector>

#include "reporter/engines/memory/MemoryReader.h"

namespace ruvex {

class TModuleListSnapshot : public IModuleList {
 public:
  // Lists `source` once, now.
  explicit TModuleListSnapshot(const IModuleList& source);

  std::vector<ModuleEntry> Modules() const override { return modules_; }
  std::optional<ModuleEntry> ModuleAt(Address address) const override;

 private:
  std::vector<ModuleEntry> modules_;  // ascending by base
};

}  // namespace ruvex
