#include "reporter/engines/trace/support/TraceText.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <random>

namespace ruvex {
namespace {

TEST(TraceText, CrcStepIsZlibsCrcWithoutTheInversions) {
  // raw(v, d) == ~crc32(~v, d) for any start value and data.
  std::mt19937 rng(7);
  for (int round = 0; round < 200; ++round) {
    std::u16string text(rng() % 40, u' ');
    for (char16_t& c : text) c = static_cast<char16_t>(rng());
    const std::uint32_t v = rng();
    std::string bytes;
    for (char16_t c : text) bytes += {static_cast<char>(c & 0xFF), static_cast<char>(c >> 8)};
    const std::uint32_t expected =
        ~static_cast<std::uint32_t>(crc32(~v & 0xFFFFFFFFu, reinterpret_cast<const Bytef*>(bytes.data()),
                                          static_cast<uInt>(bytes.size())));
    ASSERT_EQ(CrcStep(v, text), expected) << round;
  }
}

TEST(TraceText, ChecksumLowerCaseFoldsOnlyAsciiLettersAndThreeUmlauts) {
  EXPECT_EQ(ChecksumLower(u"AZaz09@_\u00C4\u00D6\u00DC\u00C9\u0100"), u"azaz09@_\u00E4\u00F6\u00FC\u00C9\u0100");
}

TEST(TraceText, ItemChecksum) {
  // Without a function, module or name: the address itself.
  EXPECT_EQ(ItemChecksum(0x12345678, 0, u"m", u"u", u"f"), 0x12345678u);
  EXPECT_EQ(ItemChecksum(0x12345678, 0x12345600, u"", u"u", u"f"), 0x12345678u);
  EXPECT_EQ(ItemChecksum(0x12345678, 0x12345600, u"m", u"u", u""), 0x12345678u);
  // Otherwise the offset folded with the lower-cased names; an empty unit
  // is left out, and the case of the names does not matter.
  const std::uint32_t v = CrcStep(CrcStep(CrcStep(0x78, u"demo.exe"), u"demo"), u"main");
  EXPECT_EQ(ItemChecksum(0x12345678, 0x12345600, u"Demo.EXE", u"Demo", u"MAIN"), v);
  EXPECT_EQ(ItemChecksum(0x12345678, 0x12345600, u"demo.exe", u"", u"main"),
            CrcStep(CrcStep(0x78, u"demo.exe"), u"main"));
}

TEST(TraceText, HexText) {
  EXPECT_EQ(HexText(0, 0), u"0");
  EXPECT_EQ(HexText(0xABC, 0), u"abc");
  EXPECT_EQ(HexText(0x1F, 8), u"0000001f");
  EXPECT_EQ(HexText(0x123456789, 8), u"123456789");
}

}  // namespace
}  // namespace ruvex
