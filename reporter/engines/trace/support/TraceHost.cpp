#include "reporter/engines/trace/support/TraceHost.h"

#include <algorithm>

#include "common/text/FileNames.h"

namespace ruvex {

using kelvane::FileNameOf;

std::optional<TSymbolAt> SymbolAt(ITraceHost& host, Address address) {
  const std::optional<MemoryRegion> region = host.Memory().RegionAt(address);
  if (!region || region->allocationBase == 0) return std::nullopt;
  const std::shared_ptr<const TMapFile> map = host.ModuleSymbols(region->allocationBase);
  if (!map || !map->IsValid()) return std::nullopt;
  const TMfPublic& p = map->FindPublic(address);
  TSymbolAt s;
  s.moduleName = FileNameOf(host.ModuleFileName(region->allocationBase));
  if (s.moduleName.empty()) s.moduleName = FileNameOf(map->ModuleFileName());
  s.unit = map->FindSegment(true, address).Unit_;
  s.publicName = p.Name;
  s.publicAddress = p.Address;
  s.line = std::max(0, map->FindLine(address));
  s.publicLine = p.IsValid ? std::max(0, map->FindLine(p.Address)) : 0;
  return s;
}

}  // namespace ruvex
