#include "reporter/engines/memory/ModuleListSnapshot.h"

#include <algorithm>

namespace ruvex {

TModuleListSnapshot::TModuleListSnapshot(const IModuleList& source) : modules_(source.Modules()) {
  std::stable_sort(modules_.begin(), modules_.end(),
                   [](const ModuleEntry& a, const ModuleEntry& b) { return a.base < b.base; });
}

std::optional<ModuleEntry> TModuleListSnapshot::ModuleAt(Address address) const {
  // The last module starting at or below the address is the only candidate.
  auto it = std::upper_bound(modules_.begin(), modules_.end(), address,
                             [](Address a, const ModuleEntry& m) { return a < m.base; });
  if (it == modules_.begin()) return std::nullopt;
  --it;
  if (it->Contains(address)) return *it;
  return std::nullopt;
}

}  // namespace ruvex
