#include "reporter/engines/symbols/readers/TextMap.h"

#include <gtest/gtest.h>

namespace ruvex {
namespace {

// A map in the linker's layout: a segment list whose numbering skips 3,
// units with a path, a public named like its unit, a call with arguments,
// line blocks with an entry out of order, and the entry point.
constexpr const char* kMap =
    "\r\n"
    " Start         Length     Name                   Class\r\n"
    " 0001:00401000 00002000H .text                   CODE\r\n"
    " 0002:00403000 00000100H .itext                  ICODE\r\n"
    " 0004:00404000 00000200H .data                   DATA\r\n"
    "\r\n"
    "\r\n"
    "Detailed map of segments\r\n"
    "\r\n"
    " 0001:00000000 00000400 C=CODE     S=.text    G=(none)   M=System   ACBP=A9\r\n"
    " 0001:00000400 00000100 C=CODE     S=.text    G=(none)   M=C:\\src\\Unit1.pas ACBP=A9\r\n"
    " 0001:00000502 00000100 C=CODE     S=.text    G=(none)   M=C:\\src\\Unit1.pas ACBP=A9\r\n"
    " 0002:00000000 00000080 C=ICODE    S=.itext   G=(none)   M=Main     ACBP=A9\r\n"
    " 0001:zz000000 00000080 C=CODE     S=.text    G=(none)   M=Broken   ACBP=A9\r\n"
    "\r\n"
    "\r\n"
    "  Address             Publics by Value\r\n"
    "\r\n"
    " 0001:00000010       System.TObject.Create\r\n"
    " 0001:00000400       Unit1\r\n"
    " 0001:00000420       Unit1.TForm1.Button1Click (with arguments)\r\n"
    " 0001:00000560       @Unit1@Helper$qqrv\r\n"
    " 0002:00000000       Main.Run\r\n"
    " 0004:00000000       DataThing\r\n"
    "\r\n"
    "Line numbers for Unit1(C:\\src\\Unit1.pas) segment .text\r\n"
    "\r\n"
    "    30 0001:00000400    31 0001:00000420    29 0001:00000410    33 0001:00000440\r\n"
    "    40 0001:00000560\r\n"
    "\r\n"
    "Line numbers for Main(Main.dpr) segment .itext\r\n"
    "\r\n"
    "     5 0002:00000000     6 0002:00000010\r\n"
    "\r\n"
    "Program entry point at 0002:00000000\r\n";

TMapFile ParsedMap() {
  TMapFile m;
  m.SetCodeRange(0x401000, 0x403100);
  EXPECT_TRUE(ParseTextMap(kMap, m));
  m.SortLines();
  return m;
}

TEST(TextMap, UnitsPublicsLinesAndEntryPoint) {
  const TMapFile m = ParsedMap();
  ASSERT_EQ(3, m.SegmentCount());  // the two Unit1 parts merged; segment 4 and the broken line dropped
  EXPECT_EQ(u"System", m.FindSegment(true, 0x401000).Unit_);
  EXPECT_EQ(u"Unit1", m.FindSegment(true, 0x401400).Unit_);
  EXPECT_EQ(0x401602u, m.FindSegment(1).End());
  EXPECT_EQ(u"Main", m.FindSegment(true, 0x403000).Unit_);  // relative to the first segment
  EXPECT_EQ(0x403000u, m.EntryPoint());

  struct Case {
    Address address;
    const char16_t* name;
    int line;
  };
  const Case cases[] = {
      {0x401010, u"TObject.Create", 0},     // unit prefix removed, no lines in System
      {0x401400, u"initialization", 30},    // named like its unit
      {0x401430, u"TForm1.Button1Click", 31},
      {0x401445, u"TForm1.Button1Click", 33},
      {0x401560, u"Helper", 40},            // unmangled, unit prefix gone
      {0x403010, u"Run", 6},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.address);
    EXPECT_EQ(c.name, m.FindPublic(c.address).Name);
    EXPECT_EQ(c.line, m.FindLine(c.address));
  }
  EXPECT_EQ(6, m.LineCount());  // 29 comes after 31 in its block and is dropped
  EXPECT_EQ(0x401420u, m.FindAddress(u"unit1", u"TForm1.Button1Click"));
}

TEST(TextMap, TextWithoutSegmentListIsRejected) {
  TMapFile m;
  EXPECT_FALSE(ParseTextMap("  Address             Publics by Value\r\n 0001:00000010       A\r\n", m));
  EXPECT_FALSE(ParseTextMap("", m));
  EXPECT_EQ(0, m.PublicCount());
}

TEST(TextMap, LinesEndingInLfAndTruncatedLinesAreRead) {
  std::string text = kMap;
  std::string lf;
  for (char c : text)
    if (c != '\r') lf += c;
  TMapFile m;
  m.SetCodeRange(0x401000, 0x403100);
  ASSERT_TRUE(ParseTextMap(lf, m));
  EXPECT_EQ(u"Helper", m.FindPublic(Address{0x401560}).Name);
  for (std::size_t n = 0; n < text.size(); n += 7) {
    TMapFile t;
    ParseTextMap(text.substr(0, n), t);  // never faults, whatever the cut
  }
}

}  // namespace
}  // namespace ruvex
