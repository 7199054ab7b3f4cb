#include "reporter/engines/symbols/readers/CompactSymbols.h"

#include <gtest/gtest.h>

#include "reporter/engines/symbols/readers/Blowfish.h"

namespace ruvex {
namespace {

// Published test vectors of the cipher.
TEST(Blowfish, KnownVectors) {
  struct Case {
    std::uint64_t key, plain, cipher;
  };
  const Case cases[] = {
      {0x0000000000000000, 0x0000000000000000, 0x4EF997456198DD78},
      {0xFFFFFFFFFFFFFFFF, 0xFFFFFFFFFFFFFFFF, 0x51866FD5B85ECB8A},
      {0x3000000000000000, 0x1000000000000001, 0x7D856F9A613063F2},
      {0x0123456789ABCDEF, 0x1111111111111111, 0x61F9C3802281B096},
  };
  for (const Case& c : cases) {
    std::string key(8, '\0');
    for (int i = 0; i < 8; ++i) key[i] = static_cast<char>(c.key >> (56 - 8 * i));
    const TBlowfish bf(key);
    std::uint32_t l = static_cast<std::uint32_t>(c.plain >> 32), r = static_cast<std::uint32_t>(c.plain);
    bf.EncryptBlock(l, r);
    EXPECT_EQ(c.cipher, (std::uint64_t{l} << 32) | r) << std::hex << c.key;
    bf.DecryptBlock(l, r);
    EXPECT_EQ(c.plain, (std::uint64_t{l} << 32) | r);
  }
}

TEST(Blowfish, EcbLeavesTheShortTailPlain) {
  std::string data = "0123456789ABCDEFxyz";
  const TBlowfish bf("key");
  bf.EncryptEcb(data);
  EXPECT_EQ("xyz", data.substr(16));
  EXPECT_NE("0123456789ABCDEF", data.substr(0, 16));
  bf.DecryptEcb(data);
  EXPECT_EQ("0123456789ABCDEFxyz", data);
}

TMapFile Sample(Address base) {
  TMapFile m;
  m.SetCodeRange(base, base + 0x10000);
  m.AddSegment(true, base + 0x000, 0x400, u"main.cpp");
  m.AddSegment(true, base + 0x400, 0x9000, u"Ünicode/unit.c");
  m.AddPublic(true, u"main", base + 0x10);
  m.AddPublic(true, u"helper", base + 0x90);          // small delta
  m.AddPublic(true, u"far_away", base + 0x8000);      // a delta beyond a byte
  m.AddLine(10, base + 0x10);
  m.AddLine(9, base + 0x14);                          // a negative line delta
  m.AddLine(400, base + 0x8000);
  m.SetEntryPoint(base + 0x10);
  return m;
}

void ExpectSameTables(const TMapFile& a, const TMapFile& b, Address shift) {
  ASSERT_EQ(a.SegmentCount(), b.SegmentCount());
  for (int i = 0; i < a.SegmentCount(); ++i) {
    EXPECT_EQ(a.Segments()[i].Unit_, b.Segments()[i].Unit_);
    EXPECT_EQ(a.Segments()[i].StartAddress + shift, b.Segments()[i].StartAddress);
    EXPECT_EQ(a.Segments()[i].Length, b.Segments()[i].Length);
  }
  ASSERT_EQ(a.PublicCount(), b.PublicCount());
  for (int i = 0; i < a.PublicCount(); ++i) {
    EXPECT_EQ(a.Publics()[i].Name, b.Publics()[i].Name);
    EXPECT_EQ(a.Publics()[i].Address + shift, b.Publics()[i].Address);
  }
  ASSERT_EQ(a.LineCount(), b.LineCount());
  for (int i = 0; i < a.LineCount(); ++i) {
    EXPECT_EQ(a.Lines()[i].Line, b.Lines()[i].Line);
    EXPECT_EQ(a.Lines()[i].Address + shift, b.Lines()[i].Address);
  }
  EXPECT_EQ(a.EntryPoint() + shift, b.EntryPoint());
}

TEST(CompactSymbols, RoundTripsInBothVersionsAtAnotherBase) {
  const TMapFile written = Sample(0x401000);
  for (std::uint32_t version : {2u, 3u}) {
    TCompactWriteOptions options;
    options.version = version;
    const std::string data = WriteCompactSymbols(written, options);
    TMapFile read;
    read.SetCodeRange(0x7FF000001000, 0x7FF000011000);
    TCompactHeader header;
    ASSERT_TRUE(ParseCompactSymbols(data, read, {}, &header)) << version;
    EXPECT_EQ(version, header.version);
    ExpectSameTables(written, read, 0x7FF000001000 - 0x401000);
    EXPECT_EQ(u"far_away", read.FindPublic(Address{0x7FF000009000}).Name);
  }
}

TEST(CompactSymbols, MinimalFormNamesByIndexAndKeepsLinePresence) {
  TCompactWriteOptions options;
  options.minimal = true;
  const std::string data = WriteCompactSymbols(Sample(0x1000), options);
  TMapFile read;
  read.SetCodeRange(0x1000, 0x11000);
  TCompactHeader header;
  ASSERT_TRUE(ParseCompactSymbols(data, read, {}, &header));
  EXPECT_TRUE(header.Minimal());
  EXPECT_EQ(u"segment%1", read.FindSegment(true, 0x1500).Unit_);
  EXPECT_EQ(u"public%2", read.FindPublic(Address{0x9000}).Name);
  EXPECT_TRUE(read.FindSegment(true, 0x1500).LineNumbers);
}

TEST(CompactSymbols, FingerprintMustMatchWhenExpected) {
  const std::string data = WriteCompactSymbols(Sample(0x1000), {3, false, 0x5A21, 0x6000});
  const std::string fp = CompactFingerprint(data);
  ASSERT_EQ(31u, fp.size());
  EXPECT_EQ('$', fp[0]);
  TMapFile a, b;
  EXPECT_TRUE(ParseCompactSymbols(data, a, fp));
  EXPECT_FALSE(ParseCompactSymbols(data, b, "$00000000, $00000000, $00000000"));
  EXPECT_EQ(0, b.SegmentCount());
}

// Names beyond the 255 bytes of a packed string (demangled C++ templates)
// come back whole, and the entry point behind them too.
TEST(CompactSymbols, LongNamesComeBackWhole) {
  TMapFile written = Sample(0x1000);
  const std::u16string exactlyFits(255, u'f');
  std::u16string template1(300, u't'), template2;
  for (int i = 0; i < 400; ++i) template2 += u"\u00e9<";  // two bytes each in UTF-8
  written.AddPublic(true, exactlyFits, 0x1100);
  written.AddPublic(true, template1, 0x1200);
  written.AddPublic(true, template2, 0x9100);
  written.SortPublics();
  TMapFile read;
  read.SetCodeRange(0x1000, 0x11000);
  const std::string data = WriteCompactSymbols(written);
  ASSERT_TRUE(ParseCompactSymbols(data, read));
  ExpectSameTables(written, read, 0);
  EXPECT_EQ(template2, read.FindPublic(Address{0x9100}).Name);
}

// Every truncation and every single-byte change is rejected whole or read
// without fault; a rejected one adds nothing.
TEST(CompactSymbols, DamagedDataIsRejectedWhole) {
  const std::string data = WriteCompactSymbols(Sample(0x1000));
  for (std::size_t n = 0; n < data.size(); ++n) {
    TMapFile m;
    EXPECT_FALSE(ParseCompactSymbols(data.substr(0, n), m)) << n;
    EXPECT_EQ(0, m.SegmentCount() + m.PublicCount() + m.LineCount());
  }
  for (std::size_t at = 0; at < data.size(); ++at) {
    std::string bad = data;
    bad[at] ^= 0x41;
    TMapFile m;
    if (!ParseCompactSymbols(bad, m)) EXPECT_EQ(0, m.SegmentCount() + m.PublicCount() + m.LineCount());
  }
  std::string wrongVersion = data;
  wrongVersion[18] = 4;
  TMapFile m;
  EXPECT_FALSE(ParseCompactSymbols(wrongVersion, m));
}

}  // namespace
}  // namespace ruvex
