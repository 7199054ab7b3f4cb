#include "reporter/archive/Block.h"

#include <gtest/gtest.h>

#include <random>

#include "reporter/archive/Crc32.h"
#include "reporter/archive/Deflate.h"

namespace ruvex {
namespace {

std::string RandomBytes(std::size_t n, unsigned seed) {
  std::mt19937 rng(seed);
  std::string s(n, '\0');
  for (char& c : s) c = static_cast<char>(rng());
  return s;
}

std::string Repetitive(std::size_t n) {
  std::string s;
  while (s.size() < n) s += "Exception EAccessViolation at 0040a1f3 in module Kelvane.exe\r\n";
  s.resize(n);
  return s;
}

std::uint64_t Le(const std::string& s, std::size_t off, int bytes) {
  std::uint64_t v = 0;
  for (int i = 0; i < bytes; ++i) v |= std::uint64_t(static_cast<unsigned char>(s[off + i])) << (8 * i);
  return v;
}

TEST(Crc32, KnownValues) {
  EXPECT_EQ(Crc32Of("123456789", 9), 0xCBF43926u);  // the CRC-32 check value
  EXPECT_EQ(Crc32Of("", 0), 0u);
  // Incremental updates give the one-shot value.
  std::uint32_t crc = Crc32Update(0xFFFFFFFFu, "12345", 5);
  EXPECT_EQ(~Crc32Update(crc, "6789", 4), 0xCBF43926u);
}

TEST(Block, RoundTripsAndCarriesSizeAndCrc) {
  const std::string cases[] = {"", "x", Repetitive(1 << 20), RandomBytes(70000, 1)};
  for (const std::string& data : cases) {
    const std::string block = PackBlock(data, false);
    ASSERT_GT(block.size(), kBlockHeaderSize) << data.size();
    EXPECT_EQ(Le(block, 0, 8), data.size());
    EXPECT_EQ(Le(block, 8, 4), Crc32Of(data.data(), data.size()));
    EXPECT_EQ(block.substr(kBlockHeaderSize), *DeflateRaw(data, 2));
    auto back = TryUnpackBlock(block);
    ASSERT_TRUE(back) << data.size();
    EXPECT_EQ(*back, data);
  }
}

TEST(Block, KeepOnlyIfSmaller) {
  EXPECT_EQ(PackBlock(RandomBytes(4096, 2), true), "");
  EXPECT_EQ(PackBlock("", true), "");
  const std::string text = Repetitive(4096);
  EXPECT_LT(PackBlock(text, true).size(), text.size());
}

TEST(Block, RefusesDamagedBlocks) {
  const std::string data = Repetitive(100000);
  const std::string good = PackBlock(data, false);
  auto withSize = [&](std::uint64_t size) {
    std::string b = good;
    for (int i = 0; i < 8; ++i) b[i] = static_cast<char>(size >> (8 * i));
    return b;
  };
  std::string badCrc = good;
  badCrc[8] ^= 1;
  std::string badStream = good;
  badStream[kBlockHeaderSize + good.size() / 3] ^= 0x55;
  const struct {
    const char* what;
    std::string block;
  } cases[] = {
      {"empty", ""},
      {"header only", good.substr(0, kBlockHeaderSize)},
      {"truncated stream", good.substr(0, good.size() - 5)},
      {"crc differs", badCrc},
      {"damaged stream", badStream},
      {"size one short", withSize(data.size() - 1)},
      {"size one long", withSize(data.size() + 1)},
      {"size beyond any ratio", withSize(std::uint64_t(1) << 40)},
      {"size of all ones", withSize(~std::uint64_t(0))},
      {"not a stream", std::string(12, '\0') + "\xff\xff\xff\xff"},
  };
  for (const auto& c : cases) {
    EXPECT_FALSE(TryUnpackBlock(c.block)) << c.what;
    EXPECT_EQ(UnpackBlock(c.block), "") << c.what;
  }
}

}  // namespace
}  // namespace ruvex
