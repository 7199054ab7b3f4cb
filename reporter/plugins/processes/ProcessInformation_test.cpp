#include "reporter/plugins/processes/ProcessInformation.h"

#include <gtest/gtest.h>

#include <cstring>

using namespace ruvex;

namespace {

TEST(ProcessInformation, SizingAskedOrDoubled) {
  struct TCase {
    std::uint32_t needed;       // what the size probe reports
    std::size_t succeedsFrom;   // the first buffer size that works (0: none)
    std::vector<std::size_t> sizes;
    bool ok;
  } cases[] = {
      {3000, 1, {0, 6000}, true},
      {3000, 0, {0, 6000}, false},
      {0, 300000, {0, 128 << 10, 256 << 10, 512 << 10}, true},
      {0, 0, {0, 128 << 10, 256 << 10, 512 << 10, 1 << 20, 2 << 20, 4 << 20}, false},
  };
  for (const auto& c : cases) {
    std::vector<std::size_t> sizes;
    const auto result = QueryProcessInformation([&](std::vector<std::uint8_t>& buffer) {
      sizes.push_back(buffer.size());
      if (buffer.empty()) return TQueryAttempt{false, c.needed};
      return TQueryAttempt{c.succeedsFrom != 0 && buffer.size() >= c.succeedsFrom, 0};
    });
    EXPECT_EQ(sizes, c.sizes) << c.needed;
    EXPECT_EQ(result.has_value(), c.ok) << c.needed;
  }
}

// Lays out records as the system does, names after the records.
std::vector<std::uint8_t> Records(unsigned pointerSize, std::uint64_t base,
                                  const std::vector<TProcessRecord>& records) {
  const std::size_t recordSize = pointerSize == 8 ? 0x100 : 0xB8;
  std::vector<std::uint8_t> out(records.size() * recordSize);
  auto put = [&](std::size_t at, std::uint64_t value, unsigned width) {
    for (unsigned i = 0; i < width; ++i) out[at + i] = std::uint8_t(value >> (8 * i));
  };
  for (std::size_t i = 0; i < records.size(); ++i) {
    const std::size_t at = i * recordSize;
    put(at, i + 1 < records.size() ? recordSize : 0, 4);
    const auto& name = records[i].imageName;
    if (!name.empty()) {
      const std::size_t nameAt = out.size();
      for (char16_t c : name) {
        out.push_back(std::uint8_t(c));
        out.push_back(std::uint8_t(c >> 8));
      }
      put(at + 0x38, name.size() * 2, 2);
      put(at + (pointerSize == 8 ? 0x40 : 0x3C), base + nameAt, pointerSize);
    }
    put(at + (pointerSize == 8 ? 0x50 : 0x44), records[i].processId, pointerSize);
    put(at + (pointerSize == 8 ? 0x64 : 0x50), records[i].sessionId, 4);
  }
  return out;
}

TEST(ProcessInformation, RecordsOfBothPointerWidths) {
  const std::vector<TProcessRecord> records = {{0, 0, u""}, {4, 0, u"System"}, {0x9c4, 2, u"\u00e9dit.exe"}};
  for (unsigned width : {4u, 8u}) {
    const std::uint64_t base = width == 8 ? 0x1fff0000000ull : 0x00a40000u;
    const auto parsed = ParseProcessRecords(Records(width, base, records), base, width);
    ASSERT_EQ(parsed.size(), 3u) << width;
    for (std::size_t i = 0; i < 3; ++i) {
      EXPECT_EQ(parsed[i].processId, records[i].processId);
      EXPECT_EQ(parsed[i].sessionId, records[i].sessionId);
      EXPECT_EQ(parsed[i].imageName, records[i].imageName);
    }
  }
}

TEST(ProcessInformation, DamagedBuffersStayInside) {
  auto buffer = Records(4, 0x1000, {{4, 0, u"System"}, {8, 0, u"a.exe"}});
  // A name pointing outside, a chain offset past the end, a short buffer.
  auto outside = buffer;
  outside[0x3C + 3] = 0x7f;
  EXPECT_EQ(ParseProcessRecords(outside, 0x1000, 4)[0].imageName, u"");
  auto pastEnd = buffer;
  pastEnd[2] = 0x10;
  EXPECT_EQ(ParseProcessRecords(pastEnd, 0x1000, 4).size(), 1u);
  EXPECT_TRUE(ParseProcessRecords(std::vector<std::uint8_t>(0x20), 0, 4).empty());
}

}  // namespace
