#include "reporter/engines/pe/CodeRange.h"

#include <algorithm>

namespace ruvex {
namespace {

constexpr std::uint32_t kCodeSection = 0x20;

template <class T>
bool At(const IMemoryReader& memory, Address a, T& v) { return memory.ReadValue(a, v); }

}  // namespace

TAddressRange ModuleCodeRange(const IMemoryReader& memory, Address module) {
  std::uint16_t mz = 0;
  std::uint32_t peOffset = 0, signature = 0;
  if (!At(memory, module, mz) || mz != 0x5A4D || !At(memory, module + 0x3C, peOffset) || peOffset > 0x10000000 ||
      !At(memory, module + peOffset, signature) || signature != 0x4550)
    return {};
  const Address pe = module + peOffset;
  std::uint16_t sectionCount = 0, optionalSize = 0, magic = 0;
  std::uint32_t sizeOfCode = 0, initialised = 0, uninitialised = 0, baseOfCode = 0, baseOfData = 0;
  if (!At(memory, pe + 6, sectionCount) || !At(memory, pe + 20, optionalSize) || !At(memory, pe + 24, magic) ||
      !At(memory, pe + 28, sizeOfCode) || !At(memory, pe + 32, initialised) || !At(memory, pe + 36, uninitialised) ||
      !At(memory, pe + 44, baseOfCode))
    return {};
  const bool pe32 = magic == 0x10B;
  if (pe32 && !At(memory, pe + 48, baseOfData)) return {};

  struct TSection { std::uint32_t rva = 0, size = 0, flags = 0; };
  auto section = [&](unsigned i, TSection& s) {
    const Address h = pe + 24 + optionalSize + 40u * i;
    std::uint32_t virtualSize = 0, rawSize = 0;
    if (!At(memory, h + 8, virtualSize) || !At(memory, h + 12, s.rva) || !At(memory, h + 16, rawSize) ||
        !At(memory, h + 36, s.flags))
      return false;
    s.size = virtualSize ? virtualSize : rawSize;
    return true;
  };
  TAddressRange code{module + baseOfCode, module + baseOfCode + sizeOfCode};
  TSection first, second;
  if (sectionCount >= 1 && section(0, first) && (first.flags & kCodeSection)) {
    code = {module + first.rva, module + first.rva + first.size};
    if (sectionCount >= 2 && section(1, second) && (second.flags & kCodeSection))
      code.end = module + second.rva + second.size;
  }
  Address dataBegin = module + baseOfData;
  if (!pe32) {
    dataBegin = 0;
    for (unsigned i = 0; i < std::min<unsigned>(sectionCount, 96); ++i) {
      TSection s;
      if (section(i, s) && (s.flags & (0x40 | 0x80))) { dataBegin = module + s.rva; break; }
    }
  }
  const std::uint64_t dataSize = std::uint64_t{initialised} + uninitialised;
  if (dataBegin && dataSize) {
    code.begin = std::min(code.begin, dataBegin);
    code.end = std::max<Address>(code.end, dataBegin + dataSize);
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
