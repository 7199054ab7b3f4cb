#include "reporter/engines/symbols/sources/SymbolCache.h"
#include "common/text/FileNames.h"
#include "common/text/Windows1252.h"

#include <algorithm>

namespace ruvex {

using kelvane::FileNameOf;

using kelvane::EqualsIgnoreCase;

std::shared_ptr<const TMapFile> TSymbolCache::LookupModuleSymbols(Address address) {
  Address module = host_.OwnModule();
  if (address != 0) {
    const std::optional<MemoryRegion> region = host_.Memory().RegionAt(address);
    if (!region || region->allocationBase == 0) return std::make_shared<TMapFile>();
    module = region->allocationBase;
  }
  const std::u16string path = host_.ModuleFileName(module);
  if (path.empty()) return std::make_shared<TMapFile>();

  const std::lock_guard<std::mutex> lock(mutex_);
  std::optional<std::int64_t> time;
  for (std::size_t i = 0; i < entries_.size(); ++i) {
    TEntry& entry = entries_[i];
    if (!EqualsIgnoreCase(entry.map->MapFileName(), path)) continue;
    if (entry.imageBase == module) {
      if (entry.checkedInTrace == trace_) return entry.map;
      time = WriteTime(path);
      if (entry.time == *time) {
        entry.checkedInTrace = trace_;
        return entry.map;
      }
    }
    // Reloaded elsewhere or rebuilt: the last entry takes its place.
    entries_[i] = std::move(entries_.back());
    entries_.pop_back();
    break;
  }
  if (!time) time = WriteTime(path);
  auto map = std::make_shared<TMapFile>(true);
  TSymbolSourceOptions options;
  options.minDebugInfo = host_.MinDebugInfo(module);
  const TSymbolEnvironment env{host_.Memory(), host_.Files(), host_.DebugHelp()};
  if (LoadModuleSymbols(*map, env, module, path, options)) entries_.push_back({*time, module, map, trace_});
  return map;
}

std::int64_t TSymbolCache::WriteTime(const std::u16string& path) {
  const auto stat = host_.Files().Stat(path);
  return stat ? stat->writeSeconds : 0;
}

void TSymbolCache::BeginTrace() {
  const std::lock_guard<std::mutex> lock(mutex_);
  ++trace_;
}

__attribute__((noinline)) std::optional<TAddressSymbolInfo> TSymbolCache::AddressSymbolInfo(Address address) {
  // 0: the caller's own place, just before the return address.
  if (address == 0) address = reinterpret_cast<Address>(__builtin_return_address(0)) - 1;
  const std::shared_ptr<const TMapFile> map = LookupModuleSymbols(address);
  if (!map->IsValid()) return std::nullopt;
  TAddressSymbolInfo info;
  info.moduleFileName = map->ModuleFileName();
  info.unit = map->FindSegment(true, address).Unit_;
  const TMfPublic& p = map->FindPublic(address);
  info.publicName = p.Name;
  info.publicAddress = p.Address;
  info.line = std::max(0, map->FindLine(address));
  return info;
}

std::u16string TSymbolCache::ProcNameAt(Address address) {
  const std::shared_ptr<const TMapFile> map = LookupModuleSymbols(address);
  const TMfPublic& p = map->FindPublic(address);
  if (!p.IsValid || p.Address != address) return {};
  const std::u16string unit = map->FindSegment(true, address).Unit_;
  std::u16string text = unit.empty() ? p.Name : unit + u"." + p.Name;
  if (text.find(u'%') != std::u16string::npos) {
    text += u" (" + FileNameOf(map->ModuleFileName()) + u")";
  }
  return text;
}

void TSymbolCache::LineNumberAt(Address address, std::int32_t& line, Address& rangeStart, Address& rangeEnd) {
  if (line != 0 && address >= rangeStart && address < rangeEnd) return;
  Address next = address + 1;
  line = std::max(0, LookupModuleSymbols(address)->FindLine(address, next));
  rangeStart = address;
  rangeEnd = next;
}

std::size_t TSymbolCache::Size() const {
  const std::lock_guard<std::mutex> lock(mutex_);
  return entries_.size();
}

void TSymbolCache::Clear() {
  const std::lock_guard<std::mutex> lock(mutex_);
  entries_.clear();
}

namespace {

std::mutex& MinDebugInfoLock() {
  static std::mutex lock;
  return lock;
}

TMinDebugInfoSource& MinDebugInfoSource() {
  static TMinDebugInfoSource source;
  return source;
}

}  // namespace

void SetProcessMinDebugInfoSource(TMinDebugInfoSource source) {
  const std::lock_guard<std::mutex> lock(MinDebugInfoLock());
  MinDebugInfoSource() = std::move(source);
}

std::string ProcessMinDebugInfo(Address module) {
  TMinDebugInfoSource source;
  {
    const std::lock_guard<std::mutex> lock(MinDebugInfoLock());
    source = MinDebugInfoSource();
  }
  return source ? source(module) : std::string();
}

TSymbolCache* ProcessSymbolCache() {
  static const std::unique_ptr<ISymbolHost> host = CreateProcessSymbolHost();
  static const std::unique_ptr<TSymbolCache> cache = host ? std::make_unique<TSymbolCache>(*host) : nullptr;
  return cache.get();
}

std::shared_ptr<const TMapFile> LookupModuleSymbols(Address address) {
  TSymbolCache* cache = ProcessSymbolCache();
  return cache ? cache->LookupModuleSymbols(address) : std::make_shared<TMapFile>();
}

std::u16string ProcNameAt(Address address) {
  TSymbolCache* cache = ProcessSymbolCache();
  return cache ? cache->ProcNameAt(address) : std::u16string();
}

void LineNumberAt(Address address, std::int32_t& line, Address& rangeStart, Address& rangeEnd) {
  if (TSymbolCache* cache = ProcessSymbolCache()) {
    cache->LineNumberAt(address, line, rangeStart, rangeEnd);
  } else {
    line = 0;
    rangeStart = address;
    rangeEnd = address + 1;
  }
}

}  // namespace ruvex
