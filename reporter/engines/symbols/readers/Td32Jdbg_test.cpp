#include <gtest/gtest.h>

#include "reporter/engines/symbols/readers/Jdbg.h"
#include "reporter/engines/testing/SymbolFixtures.h"
#include "reporter/engines/symbols/readers/Td32.h"
#include "reporter/engines/testing/TestPeBuilder.h"

namespace ruvex {
namespace {

using testing::TJdbgFixture;
using testing::TTd32Fixture;

TJdbgFixture SampleJdbg() {
  TJdbgFixture f;
  f.units = {{0x000, "System"}, {0x400, "Unit1"}};
  f.sources = {{0x000, "System.pas"}, {0x400, "C:\\src\\Unit1.pas"}, {0x480, "Unit1.pas"}};
  f.symbols = {{0x010, "TObject", "Create"}, {0x400, "Unit1", ""}, {0x420, "TForm1", "Button1Click"},
               {0x500, "Odd-Name <x>", ""}};
  f.lines = {{0x400, 30}, {0x420, 31}, {0x440, 35}};
  return f;
}

TEST(Jdbg, NamesBothEncodingsAndTheChecksum) {
  EXPECT_EQ("TForm1_Button9", JdbgName(testing::PackJdbgName("TForm1_Button9"), 0));
  EXPECT_EQ("a.b<c>\xAA", JdbgName(testing::PackJdbgName("a.b<c>\xAA"), 0));
  const std::string data = SampleJdbg().Build();
  TMapFile m;
  m.SetCodeRange(0x401000, 0x402000);
  ASSERT_TRUE(ParseJdbg(data, m));
  ASSERT_EQ(2, m.SegmentCount());  // both Unit1 sources merge
  EXPECT_EQ(u"System", m.FindSegment(true, 0x401010).Unit_);
  EXPECT_EQ(u"Unit1", m.FindSegment(true, 0x401FFF).Unit_);  // the last reaches the top of code
  EXPECT_EQ(u"TObject.Create", m.FindPublic(Address{0x401010}).Name);
  EXPECT_EQ(u"initialization", m.FindPublic(Address{0x401400}).Name);
  EXPECT_EQ(u"TForm1.Button1Click", m.FindPublic(Address{0x401430}).Name);
  EXPECT_EQ(u"Odd-Name <x>", m.FindPublic(Address{0x401500}).Name);
  EXPECT_EQ(31, m.FindLine(0x401430));

  std::string bad = data;
  bad[40] ^= 1;  // the checksum no longer matches
  TMapFile n;
  EXPECT_FALSE(ParseJdbg(bad, n));
  EXPECT_EQ(0, n.PublicCount());
}

TEST(Jdbg, UnsoundFilesAreRejected) {
  const std::string good = SampleJdbg().Build();
  std::string version = good, size = good + "x", offset = good;
  version[4] = 2;
  offset[5] = '\xFF', offset[6] = '\xFF';
  for (const std::string& d : {version, size, offset, good.substr(0, 34), std::string("JDBG")}) {
    TMapFile m;
    EXPECT_FALSE(ParseJdbg(d, m));
  }
  for (std::size_t n = 0; n < good.size(); n += 4) {
    TMapFile m;
    ParseJdbg(good.substr(0, n), m);  // never faults
  }
}

TTd32Fixture SampleTd32(const std::string& signature) {
  TTd32Fixture f;
  f.signature = signature;
  f.names = {"C:\\src\\System.pas", "Unit1.pas", "Create", "Button1Click", "GlobalVar", "Stray"};
  f.modules = {{1, {{0x000, 0x400}}}, {2, {{0x400, 0x200}}}};
  f.sources = {{2, {{0x400, 30}, {0x420, 31}, {0x440, 35}}}};
  f.symbols = {{0x205, 0x010, 1, 3}, {0x205, 0x420, 1, 4}, {0x202, 0x000, 2, 5}, {0x203, 0x700, 1, 6}};
  return f;
}

TEST(Td32, ModulesLinesAndSymbolsInBothVersions) {
  for (const char* signature : {"FB09", "FB0A"}) {
    SCOPED_TRACE(signature);
    TMapFile m;
    m.SetCodeRange(0x401000, 0x402000);
    ASSERT_TRUE(ParseTd32(SampleTd32(signature).Build(), m));
    m.SortLines();
    EXPECT_EQ(u"System", m.FindSegment(true, 0x401100).Unit_);
    EXPECT_EQ(u"Unit1", m.FindSegment(true, 0x401500).Unit_);
    EXPECT_EQ(u"Create", m.FindPublic(Address{0x401100}).Name);
    EXPECT_EQ(u"Button1Click", m.FindPublic(Address{0x401430}).Name);
    EXPECT_EQ(31, m.FindLine(0x401430));
    EXPECT_EQ(2, m.PublicCount() - 1);  // the data symbol is dropped, the stray public kept
    // A public past every segment stretches the last one to it.
    EXPECT_EQ(u"Unit1", m.FindSegment(true, 0x401700).Unit_);
  }
}

TEST(Td32, HostileDirectoriesAndRecordsAreRejected) {
  const std::string good = SampleTd32("FB09").Build();
  TMapFile m;
  EXPECT_FALSE(ParseTd32("FB0B" + good.substr(4), m));
  for (std::size_t n = 0; n < good.size(); ++n) {
    TMapFile t;
    EXPECT_FALSE(ParseTd32(good.substr(0, n), t)) << n;  // the directory sits at the end
  }
  // A symbol record of length 0 would never advance.
  TTd32Fixture f = SampleTd32("FB09");
  std::string data = f.Build();
  const std::size_t sym = data.find(std::string("\x01\x00\x00\x00\x2A\x00\x05\x02", 8));
  ASSERT_NE(std::string::npos, sym);
  data[sym + 4] = 0, data[sym + 5] = 0;
  EXPECT_FALSE(ParseTd32(data, m));
  EXPECT_EQ(0, m.PublicCount());
}

TEST(Td32, ExternalFileAsImageOrRaw) {
  const std::string raw = SampleTd32("FB0A").Build();
  EXPECT_EQ(raw, ExternalDebugData(raw));
  testing::TPeBuilder b;
  b.sections.push_back({".text", 0x1000, std::vector<std::uint8_t>(16, 0xC3)});
  b.sections.push_back({".debug", 0x2000, std::vector<std::uint8_t>(raw.begin(), raw.end()), 0x42000040});
  b.directories[6][0] = 0x2000;
  b.directories[6][1] = 28;
  const std::vector<std::uint8_t> file = b.Build();
  const std::string_view data = ExternalDebugData(std::string_view(reinterpret_cast<const char*>(file.data()), file.size()));
  EXPECT_EQ(raw, data.substr(0, raw.size()));
}

}  // namespace
}  // namespace ruvex
