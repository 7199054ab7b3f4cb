// The code range of a module follows the one rule of the module ranges,
// widened to the data range; for memory outside an image, the region.
#include "reporter/engines/pe/headers/CodeRange.h"

#include <gtest/gtest.h>

#include "reporter/engines/pe/headers/ImageMemory.h"
#include "reporter/engines/testing/TestPeBuilder.h"

namespace ruvex {
namespace {

using testing::Put32;
using testing::TPeBuilder;

constexpr std::uint32_t kCodeAndData = 0x60000060;  // code that also says "initialised data"
constexpr std::uint32_t kReadOnlyData = 0x40000040;

// The optional header's size of initialised data (and, for PE32, its base
// of data), which the builder leaves 0.
void SetDataFields(std::vector<std::uint8_t>& file, std::uint32_t initialised, std::uint32_t baseOfData = 0) {
  const std::size_t optional = (file[0x3C] | file[0x3D] << 8) + 24;
  Put32(file, optional + 8, initialised);
  if (baseOfData) Put32(file, optional + 24, baseOfData);
}

TEST(CodeRange, DataOfA64BitImageStartsAtItsFirstDataSectionNotAtCode) {
  TPeBuilder b;
  b.pe32Plus = true;
  b.imageBase = 0x140000000ull;
  b.sections.push_back({".text", 0x1000, std::vector<std::uint8_t>(0x200, 0xC3), kCodeAndData});
  b.sections.push_back({".rdata", 0x2000, std::vector<std::uint8_t>(0x100, 0), kReadOnlyData});
  auto file = b.Build();
  SetDataFields(file, 0x100);
  TImageMemory memory;
  ASSERT_TRUE(memory.AddImage(file, u"C:\\a\\x64.dll"));
  const TAddressRange r = ModuleCodeRange(memory, b.imageBase);
  EXPECT_EQ(r.begin, b.imageBase + 0x1000);
  EXPECT_EQ(r.end, b.imageBase + 0x2100);  // through .rdata, not stopped at the code's end
}

TEST(CodeRange, A32BitImageWidensToItsBaseOfData) {
  TPeBuilder b;
  b.imageBase = 0x400000;
  b.sections.push_back({".text", 0x1000, std::vector<std::uint8_t>(0x300, 0xC3)});
  b.sections.push_back({".data", 0x3000, std::vector<std::uint8_t>(0x80, 0), kReadOnlyData});
  auto file = b.Build();
  SetDataFields(file, 0x180, 0x3000);
  TImageMemory memory;
  ASSERT_TRUE(memory.AddImage(file, u"C:\\a\\x86.exe"));
  const TAddressRange r = ModuleCodeRange(memory, 0x400000);
  EXPECT_EQ(r.begin, 0x401000u);
  EXPECT_EQ(r.end, 0x403180u);
  EXPECT_EQ(CodeRangeAt(memory, &memory, 0x401010).end, 0x403180u);
  EXPECT_EQ(ModuleCodeRange(memory, 0x500000).end, 0u);  // no image there
}

}  // namespace
}  // namespace ruvex
