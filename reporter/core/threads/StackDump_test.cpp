#include "reporter/core/threads/StackDump.h"

#include <gtest/gtest.h>

#include <numeric>

namespace ruvex {
namespace {

std::vector<std::uint8_t> Counting(std::size_t size) {
  std::vector<std::uint8_t> bytes(size);
  std::iota(bytes.begin(), bytes.end(), std::uint8_t{0x38});
  return bytes;
}

std::vector<std::u16string> Lines(const std::u16string& text) {
  std::vector<std::u16string> lines;
  std::size_t start = 0;
  for (std::size_t at; (at = text.find(u"\r\n", start)) != std::u16string::npos; start = at + 2)
    lines.push_back(text.substr(start, at - start));
  lines.push_back(text.substr(start));
  return lines;
}

TEST(StackDump, StopsAtTheRegionEndWithAShortLastLine) {
  const TBufferMemory stack(0x12F000, Counting(0x1000), false);
  const auto lines = Lines(GetStackDump(stack, 0x130000 - 40, 4));
  ASSERT_EQ(lines.size(), 3u);
  EXPECT_EQ(lines[0],
            u"0012ffd8  10 11 12 13 14 15 16 17 - 18 19 1a 1b 1c 1d 1e 1f  ................");
  EXPECT_EQ(lines[2],
            u"0012fff8  30 31 32 33 34 35 36 37" + std::u16string(28, u' ') + u"01234567");
}

TEST(StackDump, PrintableBytesAndTheHalfAfterTheEighth) {
  const TBufferMemory stack(0x2000, {'H', 'i', 0x7E, 0x7F, 0x20, 0x1F, 'a', 'b', 'c'}, false);
  EXPECT_EQ(GetStackDump(stack, 0x2000, 4),
            u"00002000  48 69 7e 7f 20 1f 61 62 - 63" + std::u16string(23, u' ') + u"Hi~. .abc");
}

TEST(StackDump, AtMostTwentyLinesAndSixteenDigitsFor64Bit) {
  const TBufferMemory stack(0x7FF000000000, Counting(0x1000), false);
  const auto lines = Lines(GetStackDump(stack, 0x7FF000000000, 8));
  ASSERT_EQ(lines.size(), 20u);
  EXPECT_EQ(lines[19].substr(0, 18), u"00007ff000000130  ");
}

TEST(StackDump, StackPointerOutsideCommittedMemoryGivesNothing) {
  const TBufferMemory stack(0x2000, Counting(0x100), false);
  EXPECT_EQ(GetStackDump(stack, 0x1FFC, 4), u"");
  EXPECT_EQ(GetStackDump(stack, 0x2100, 4), u"");
}

}  // namespace
}  // namespace ruvex
