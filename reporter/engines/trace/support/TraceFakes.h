#pragma once
// A process in memory for the tracer's tests and fuzz targets: PE images
// laid out at their bases, a stack and other plain buffers, symbol maps by
// module, all behind the tracer's host interface.
#include <algorithm>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "reporter/engines/pe/headers/ImageMemory.h"
#include "reporter/engines/trace/support/TraceHost.h"

namespace ruvex::testing {

class TFakeProcess : public IMemoryReader {
 public:
  TImageMemory images;
  std::vector<TBufferMemory> buffers;  // stacks and generated code: no module file

  bool Read(Address address, void* out, std::size_t size) const override {
    if (images.Read(address, out, size)) return true;
    for (const TBufferMemory& b : buffers)
      if (b.Read(address, out, size)) return true;
    return false;
  }
  std::optional<MemoryRegion> RegionAt(Address address) const override {
    if (auto r = images.RegionAt(address)) return r;
    for (const TBufferMemory& b : buffers)
      if (auto r = b.RegionAt(address)) return r;
    return std::nullopt;
  }
  std::vector<MemoryRegion> Regions() const {
    std::vector<MemoryRegion> out;
    for (const ModuleEntry& m : images.Modules())
      for (Address a = m.base; a < m.base + m.size;) {
        const std::optional<MemoryRegion> r = images.RegionAt(a);
        if (!r || r->base + r->size <= a) {
          a += 0x1000;
          continue;
        }
        out.push_back(*r);
        a = r->base + r->size;
      }
    for (const TBufferMemory& b : buffers)
      if (auto r = b.RegionAt(b.Base())) out.push_back(*r);
    std::sort(out.begin(), out.end(), [](const MemoryRegion& x, const MemoryRegion& y) { return x.base < y.base; });
    return out;
  }
};

class TFakeTraceHost : public ITraceHost {
 public:
  TFakeProcess process;
  std::map<Address, std::shared_ptr<TMapFile>> symbols;
  Address mainModule = 0;
  Address ownModule = 0;
  Address finallyRoutine = 0;
  unsigned pointerSize = 4;
  int symbolTraces = 0;  // BeginSymbolTrace calls

  unsigned PointerSize() const override { return pointerSize; }
  void BeginSymbolTrace() override { ++symbolTraces; }
  const IMemoryReader& Memory() const override { return process; }
  std::vector<MemoryRegion> CommittedRegions() const override { return process.Regions(); }
  std::u16string ModuleFileName(Address module) const override {
    for (const ModuleEntry& m : process.images.Modules())
      if (m.base == module) return m.fileName;
    return {};
  }
  std::shared_ptr<const TMapFile> ModuleSymbols(Address module) override {
    const auto it = symbols.find(module);
    return it == symbols.end() ? nullptr : it->second;
  }
  Address OwnModule() const override { return ownModule; }
  Address MainModule() const override { return mainModule; }
  Address FinallyRoutine() const override { return finallyRoutine; }
};

}  // namespace ruvex::testing
