#include "reporter/engines/memory/MemoryChecks.h"

#include <gtest/gtest.h>

#include <map>

namespace ruvex {
namespace {

// Regions as a test lays them out.
class TRegions : public IMemoryReader {
 public:
  void Add(MemoryRegion r) { regions_[r.base] = r; }
  bool Read(Address, void*, std::size_t) const override { return false; }
  std::optional<MemoryRegion> RegionAt(Address a) const override {
    for (const auto& [base, r] : regions_)
      if (a >= base && a - base < r.size) return r;
    return std::nullopt;
  }

 private:
  std::map<Address, MemoryRegion> regions_;
};

TEST(IsReadableRange, WholeRangeInOneReadableRegion) {
  TRegions memory;
  memory.Add({0x1000, 0x1000, 0x1000, true, false, false, false});
  memory.Add({0x2000, 0x1000, 0x1000, true, true, false, false});   // readable too, but another region
  memory.Add({0x3000, 0x1000, 0x3000, true, false, false, true});   // guard page
  memory.Add({0x4000, 0x1000, 0x4000, false, false, true, false});  // execute only
  memory.Add({0xFFFFFFFFFFFFF000ull, 0x1000, 0, true, false, false, false});
  struct {
    Address address;
    std::uint64_t count;
    bool readable;
  } cases[] = {
      {0x1000, 0x1000, true},  {0x1FFF, 1, true},      {0x1FFF, 2, false},  {0x1800, 0, true},
      {0x2000, 0x10, true},    {0x3000, 1, false},     {0x4000, 1, false},  {0x5000, 1, false},
      {0xFFFFFFFFFFFFFFF0ull, 0x10, true},             {0xFFFFFFFFFFFFFFF0ull, 0x11, false},
      {0x1000, ~std::uint64_t{0}, false},
  };
  for (const auto& c : cases) EXPECT_EQ(IsReadableRange(memory, c.address, c.count), c.readable) << std::hex << c.address;
}

}  // namespace
}  // namespace ruvex
