#pragma once
// The readable parts of the whole user address space, taken once per trace:
// every read of an address that came from the stack is checked against it
// by a binary search instead of a memory query.
#include <cstdint>
#include <vector>

#include "reporter/engines/memory/MemoryReader.h"

namespace ruvex {

enum class TReadClass : std::uint8_t { Unreadable = 0, ExecuteOnly = 1, Readable = 2 };

struct TTryRead {
  Address areaBegin = 0;
  Address areaEnd = 0;  // exclusive
  TReadClass flags = TReadClass::Unreadable;
};

TReadClass ClassifyRegion(const MemoryRegion& region);

class TReadableSnapshot : public IMemoryReader {
 public:
  // `regions` ascending; neighbouring regions of one class become one area.
  TReadableSnapshot(const IMemoryReader& memory, const std::vector<MemoryRegion>& regions);

  // Only ranges that lie wholly in one readable or execute-only area; the
  // copy itself goes through the underlying reader, which cannot fault.
  bool Read(Address address, void* out, std::size_t size) const override;
  std::optional<MemoryRegion> RegionAt(Address address) const override { return memory_.RegionAt(address); }

  const std::vector<TTryRead>& Areas() const { return areas_; }

 private:
  const IMemoryReader& memory_;
  std::vector<TTryRead> areas_;
};

}  // namespace ruvex
