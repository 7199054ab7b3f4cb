#include "reporter/engines/trace/support/ReadableSnapshot.h"

#include <algorithm>

namespace ruvex {

TReadClass ClassifyRegion(const MemoryRegion& region) {
  if (region.guard) return TReadClass::Unreadable;
  if (region.readable) return TReadClass::Readable;
  if (region.executable) return TReadClass::ExecuteOnly;
  return TReadClass::Unreadable;
}

TReadableSnapshot::TReadableSnapshot(const IMemoryReader& memory, const std::vector<MemoryRegion>& regions)
    : memory_(memory) {
  areas_.reserve(64);
  for (const MemoryRegion& r : regions) {
    const TReadClass c = ClassifyRegion(r);
    // A region reaching past the top of the address space is cut there.
    const Address end = r.base + r.size < r.base ? ~Address{0} : r.base + r.size;
    if (c == TReadClass::Unreadable || end <= r.base) continue;
    if (!areas_.empty() && areas_.back().flags == c && areas_.back().areaEnd == r.base)
      areas_.back().areaEnd = end;
    else if (areas_.empty() || r.base >= areas_.back().areaEnd)
      areas_.push_back({r.base, end, c});
    // Regions out of order or overlapping are left out rather than trusted.
  }
}

bool TReadableSnapshot::Read(Address address, void* out, std::size_t size) const {
  if (size == 0) return true;
  if (address + size < address) return false;
  auto it = std::upper_bound(areas_.begin(), areas_.end(), address,
                             [](Address a, const TTryRead& area) { return a < area.areaBegin; });
  if (it == areas_.begin()) return false;
  --it;
  if (address >= it->areaEnd || it->areaEnd - address < size) return false;
  return memory_.Read(address, out, size);
}

}  // namespace ruvex
