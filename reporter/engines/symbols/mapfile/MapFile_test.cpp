#include "reporter/engines/symbols/mapfile/MapFile.h"

#include <gtest/gtest.h>

#include <random>

namespace ruvex {
namespace {

// The probing search against brute force, for every count up to a few
// thousand, with keys before, on, between and behind the entries.
TEST(ProbeSearch, BothSearchesAgreeWithBruteForceForEveryCount) {
  std::mt19937 rng(7);
  for (int count = 1; count <= 3000; ++count) {
    std::vector<Address> keys(count);
    Address a = 100;
    for (int i = 0; i < count; ++i) {
      a += rng() % 4;  // duplicates included
      keys[i] = a;
    }
    const std::vector<Address> probes = {0, 99, keys[0], keys[count / 2], keys[count / 2] + 1,
                                         keys.back(), keys.back() + 5, static_cast<Address>(rng() % (a + 3))};
    for (Address key : probes) {
      int expected = -1;
      for (int i = 0; i < count; ++i)
        if (keys[i] <= key) expected = i;
      const int got = ProbeSearch(count, [&](int i) { return key < keys[i]; });
      ASSERT_EQ(expected, got) << "count " << count << " key " << key;
      ASSERT_EQ(expected, LastNotAfter(keys, key)) << "count " << count << " key " << key;
    }
  }
}

// FindSegment over code and data segments (code sorts first), against a
// scan of the table.
TEST(ProbeSearch, FindSegmentOfEitherKindAgreesWithAScan) {
  std::mt19937 rng(9);
  for (int count = 1; count <= 600; ++count) {
    TMapFile m(false);
    Address a = 0x1000;
    for (int i = 0; i < count; ++i) {
      const std::uint32_t length = rng() % 3 == 0 ? 0x10 : 0x30;
      m.AddSegment(rng() % 2 == 0, a, length, u"u" + std::u16string(1, char16_t(u'a' + i % 26)));
      a += 0x20;  // some overlap their successor, some leave a gap
    }
    m.SortSegments();
    for (int probe = 0; probe < 20; ++probe) {
      const Address x = 0xFF0 + rng() % (a - 0xFF0 + 0x40);
      for (bool code : {true, false}) {
        const TMfSegment* expected = nullptr;  // the last of the kind starting at or before x
        for (const TMfSegment& s : m.Segments())
          if (s.Code == code && s.StartAddress <= x) expected = &s;
        if (expected && x - expected->StartAddress >= expected->Length) expected = nullptr;
        const TMfSegment got = m.FindSegment(code, x);
        ASSERT_EQ(expected != nullptr, got.IsValid) << count << " " << x << " " << code;
        if (expected) ASSERT_EQ(expected->StartAddress, got.StartAddress);
      }
    }
  }
}

TMapFile SmallMap() {
  TMapFile m;
  m.SetCodeRange(0x1000, 0x2000);
  m.AddSegment(true, 0x1000, 0x100, u"Main.pas");
  m.AddSegment(true, 0x1100, 0x200, u"Tools");
  m.AddSegment(true, 0x1400, 0x100, u"NoLines.cpp");
  m.SortSegments();
  m.AddPublic(true, u"Main.Start", 0x1000);
  m.AddPublic(true, u"Main.Helper", 0x1040);
  m.AddPublic(true, u"Tools", 0x1100);
  m.AddPublic(true, u"@Other@TFoo@Bar$qqrv", 0x1180);
  m.AddPublic(true, u"Last", 0x1400);
  m.SortPublics();
  m.AddLine(10, 0x1000);
  m.AddLine(12, 0x1010);
  m.AddLine(30, 0x1100);
  m.SortLines();
  return m;
}

TEST(MapFile, PublicNamesLoseTheirUnitAndTakeTheUnmangledOne) {
  const TMapFile m = SmallMap();
  EXPECT_EQ(u"Main", m.FindSegment(true, 0x1000).Unit_);  // ".pas" dropped
  EXPECT_EQ(u"Start", m.FindPublic(Address{0x1000}).Name);
  EXPECT_EQ(u"Helper", m.FindPublic(Address{0x1050}).Name);
  EXPECT_EQ(u"initialization", m.FindPublic(Address{0x1100}).Name);
  EXPECT_EQ(u"Other.TFoo.Bar", m.FindPublic(Address{0x1180}).Name);
}

TEST(MapFile, LookupsAtTheEdges) {
  const TMapFile m = SmallMap();
  struct Case {
    Address address;
    const char16_t* unit;
    const char16_t* name;
    int line;
  };
  const Case cases[] = {
      {0x0FFF, u"", u"", 0},             // before everything
      {0x1000, u"Main", u"Start", 10},
      {0x100F, u"Main", u"Start", 10},
      {0x1010, u"Main", u"Start", 12},
      {0x10FF, u"Main", u"Helper", 12},
      {0x1100, u"Tools", u"initialization", 30},
      {0x1300, u"", u"Other.TFoo.Bar", 0},   // between segments
      {0x1450, u"NoLines.cpp", u"Last", 0},  // a segment without lines
      {0x1FFF, u"", u"Last", 0},             // behind the last public, below the top of code
      {0x2000, u"", u"", 0},                 // at the top of code
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.address);
    EXPECT_EQ(c.unit, m.FindSegment(true, c.address).Unit_);
    EXPECT_EQ(c.name, m.FindPublic(c.address).Name);
    EXPECT_EQ(c.line, m.FindLine(c.address));
  }
  Address next = 0;
  EXPECT_EQ(10, m.FindLine(0x1004, next));
  EXPECT_EQ(0x1010u, next);
  EXPECT_EQ(0, m.FindLine(0x1450, next));
  EXPECT_EQ(0x1451u, next);
}

TEST(MapFile, SingleLineAnswersForTheRestOfItsSegment) {
  TMapFile m;
  m.AddSegment(true, 0x400, 0x100, u"A");
  m.AddLine(7, 0x420);
  EXPECT_EQ(0, m.FindLine(0x41F));
  EXPECT_EQ(7, m.FindLine(0x420));
  EXPECT_EQ(7, m.FindLine(0x4FF));
  EXPECT_EQ(0, m.FindLine(0x500));
}

TEST(MapFile, LinesKeptElsewhereAreMinusOne) {
  TMapFile m;
  m.AddSegment(true, 0x400, 0x100, u"A", false, false, true);
  EXPECT_EQ(-1, m.FindLine(0x410));
  EXPECT_EQ(0, m.FindLine(0x510));
}

TEST(MapFile, FindPublicByNameAndFindAddress) {
  const TMapFile m = SmallMap();
  EXPECT_EQ(0x1040u, m.FindPublic(true, u"MAIN", u"Helper", true));
  EXPECT_EQ(0u, m.FindPublic(true, u"Main", u"helper", true));
  EXPECT_EQ(0x1040u, m.FindPublic(true, u"Main", u"helper", false));
  EXPECT_EQ(0x1400u, m.FindPublic(true, u"NoLines", u"Last", true));  // ".cpp" tried
  EXPECT_EQ(0u, m.FindPublic(false, u"Main", u"Helper", true));
  EXPECT_EQ(0x1040u, m.FindAddress(u"main", u"HELPER"));
  EXPECT_EQ(0u, m.FindAddress(u"Tools", u"Helper"));
}

TEST(MapFile, CodeOnlyDropsDataAndRuntimeTypeNames) {
  TMapFile m;
  m.AddSegment(false, 0x9000, 0x10, u"Data");
  m.AddPublic(false, u"Var", 0x9000);
  m.AddPublic(true, u"@$xp$7TForm1", 0x100);
  EXPECT_EQ(0, m.SegmentCount());
  EXPECT_EQ(0, m.PublicCount());
}

TEST(MapFile, SegmentsMergeWhenContiguousAndOptimise) {
  TMapFile m;
  m.AddSegment(true, 0x100, 0x10, u"A", true);
  m.AddSegment(true, 0x112, 0x10, u"a", true);  // within 2 bytes: merged
  m.AddSegment(true, 0x200, 0x10, u"A", true);  // too far: a new segment
  ASSERT_EQ(2, m.SegmentCount());
  EXPECT_EQ(0x22u, m.FindSegment(0).Length);
  m.AddSegment(true, 0x300, 0, u"Empty");
  m.AddSegment(true, 0x310, 0x40, u"B");
  m.AddSegment(true, 0x330, 0x40, u"C");  // overlaps B
  m.SortSegments();
  m.OptimiseSegments(true);
  // A and A merge; the empty one goes; B is trimmed where C begins.
  ASSERT_EQ(3, m.SegmentCount());
  EXPECT_EQ(u"A", m.FindSegment(0).Unit_);
  EXPECT_EQ(0x110u, m.FindSegment(0).Length);
  EXPECT_EQ(u"B", m.FindSegment(1).Unit_);
  EXPECT_EQ(0x20u, m.FindSegment(1).Length);
  EXPECT_EQ(u"C", m.FindSegment(2).Unit_);
  EXPECT_FALSE(m.FindSegment(3).IsValid);
}

TEST(MapFile, PublicsOutsideSegmentsExtendOrOpenOne) {
  TMapFile m;
  m.AddSegment(true, 0x100, 0x10, u"A");
  m.AddSegment(true, 0x200, 0x10, u"B");
  m.AddPublic(true, u"@A@F$qqrv", 0x150, true);  // extends A up to it
  EXPECT_EQ(u"A", m.FindSegment(true, 0x150).Unit_);
  m.AddPublic(true, u"@Z@G$qqrv", 0x1F0, true);  // another unit: a new segment in order
  EXPECT_EQ(u"Z", m.FindSegment(true, 0x1F0).Unit_);
  EXPECT_EQ(3, m.SegmentCount());
  EXPECT_EQ(u"B", m.FindSegment(2).Unit_);
}

TEST(MapFile, EmptyMapAnswersNothing) {
  const TMapFile m;
  EXPECT_FALSE(m.IsValid());
  EXPECT_FALSE(m.FindSegment(true, 5).IsValid);
  EXPECT_FALSE(m.FindPublic(Address{5}).IsValid);
  EXPECT_EQ(0, m.FindLine(5));
  EXPECT_EQ(0u, m.FindAddress(u"a", u"b"));
}

}  // namespace
}  // namespace ruvex
