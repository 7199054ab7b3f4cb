#include "reporter/engines/trace/support/ReadableSnapshot.h"

#include <gtest/gtest.h>

namespace ruvex {
namespace {

TEST(ReadableSnapshot, WholeUserSpaceClassifiedAndMerged) {
  // The reads themselves come from a buffer covering everything; only the
  // snapshot decides what may be read.
  struct TAll : IMemoryReader {
    bool Read(Address, void* out, std::size_t size) const override {
      std::memset(out, 0xAB, size);
      return true;
    }
    std::optional<MemoryRegion> RegionAt(Address) const override { return std::nullopt; }
  } all;
  auto region = [](Address base, std::uint64_t size, bool r, bool x, bool guard = false) {
    return MemoryRegion{base, size, base, r, false, x, guard};
  };
  const TReadableSnapshot snapshot(all, {
                                            region(0x00010000, 0x1000, true, false),
                                            region(0x00011000, 0x1000, true, true),  // merges: both readable
                                            region(0x00012000, 0x1000, false, true),  // execute only
                                            region(0x00013000, 0x1000, true, false, true),  // guard page
                                            region(0x7FFFF000, 0x2000, true, false),  // across 2 GB
                                            region(0xFFFE0000, 0x10000, true, false),  // top of a 4 GB space
                                        });
  ASSERT_EQ(snapshot.Areas().size(), 4u);
  EXPECT_EQ(snapshot.Areas()[0].areaEnd, 0x00012000u);
  EXPECT_EQ(snapshot.Areas()[1].flags, TReadClass::ExecuteOnly);
  std::uint8_t b[16];
  struct TCase {
    Address at;
    std::size_t size;
    bool ok;
  } cases[] = {
      {0x00010000, 16, true},  {0x00011FF8, 16, false},  // from readable into execute-only: two areas
      {0x00012000, 16, true},  {0x00013000, 1, false},   {0x0000FFFF, 1, false},
      {0x80000000, 16, true},  {0xFFFEFFF0, 16, true},   {0xFFFFFFFF, 16, false},
      {~Address{0} - 4, 16, false},
  };
  for (const TCase& c : cases) EXPECT_EQ(snapshot.Read(c.at, b, c.size), c.ok) << std::hex << c.at;
}

}  // namespace
}  // namespace ruvex
