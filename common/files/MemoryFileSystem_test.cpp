#include "common/files/MemoryFileSystem.h"

#include <gtest/gtest.h>

#include "common/files/FileReaderChecks.h"

namespace kelvane {
namespace {

TEST(MemoryFileSystemRead, ChunksACopyTakenAtOpening) {
  TMemoryFileSystem fs;
  fs.Add(u"C:\\a.txt", "abcdefgh");
  auto reader = fs.OpenRead(u"c:/A.TXT");  // found as Windows finds it
  ASSERT_TRUE(reader);
  fs.files.begin()->second.data = "changed";
  ExpectReadsBack(*reader, "abcdefgh");

  EXPECT_FALSE(fs.OpenRead(u"C:\\missing.txt"));
  fs.unreadable.insert(u"C:\\a.txt");
  EXPECT_FALSE(fs.OpenRead(u"C:\\a.txt"));
}

TEST(MemoryFileSystemRead, FailingDisksAndHugeFiles) {
  TMemoryFileSystem fs;
  fs.Add(u"broken", "0123456789");
  fs.readableBytes[u"broken"] = 4;
  fs.Add(u"huge", "xy");
  fs.claimedSizes[u"huge"] = 100ULL << 30;
  auto broken = fs.OpenRead(u"broken");
  EXPECT_EQ(broken->Size(), 10u);
  EXPECT_EQ(ReadToEnd(*broken, 3), "0123");
  auto huge = fs.OpenRead(u"huge");
  EXPECT_EQ(huge->Size(), 100ULL << 30);
  EXPECT_EQ(ReadToEnd(*huge, 3), "xy");
}

TEST(MemoryFileSystemExclusive, OneHolderAtATime) {
  TMemoryFileSystem fs;
  auto hold = fs.OpenExclusive(u"C:\\r\\bugreport.qbr");
  ASSERT_TRUE(hold);
  EXPECT_EQ(fs.files.count(u"C:\\r\\bugreport.qbr"), 1u);  // created empty
  EXPECT_FALSE(fs.OpenExclusive(u"c:/r/BUGREPORT.qbr"));
  EXPECT_EQ(hold->Size(), 0u);
  ASSERT_TRUE(hold->Replace("one"));
  EXPECT_FALSE(hold->Replace("two"));  // the hold ended with the first
  EXPECT_FALSE(hold->ReadFrom(0));

  auto again = fs.OpenExclusive(u"C:\\r\\bugreport.qbr");
  ASSERT_TRUE(again);
  EXPECT_EQ(again->ReadFrom(0), "one");
  EXPECT_EQ(again->ReadFrom(1), "ne");
  EXPECT_FALSE(again->ReadFrom(4));
  again.reset();  // released unchanged
  EXPECT_TRUE(fs.OpenExclusive(u"C:\\r\\bugreport.qbr"));

  fs.heldElsewhere[u"C:\\r\\bugreport.qbr"] = 2;
  EXPECT_FALSE(fs.OpenExclusive(u"C:\\r\\bugreport.qbr"));
  EXPECT_FALSE(fs.OpenExclusive(u"C:\\r\\bugreport.qbr"));
  EXPECT_TRUE(fs.OpenExclusive(u"C:\\r\\bugreport.qbr"));
  EXPECT_EQ(fs.exclusiveOpens, 7);
}

TEST(MemoryFileSystemExclusive, AFailedReplacementKeepsTheOldContent) {
  TMemoryFileSystem fs;
  fs.Add(u"f", "old");
  fs.readableBytes[u"g"] = 1;
  fs.Add(u"g", "unreadable");
  EXPECT_FALSE(fs.OpenExclusive(u"g")->ReadFrom(0));

  fs.replaceFailures = 1;
  EXPECT_FALSE(fs.OpenExclusive(u"f")->Replace("new"));
  EXPECT_EQ(fs.files[u"f"].data, "old");
  fs.writeBudget = 2;
  EXPECT_FALSE(fs.OpenExclusive(u"f")->Replace("new"));
  EXPECT_EQ(fs.files[u"f"].data, "old");
  EXPECT_EQ(fs.files.size(), 2u);  // no sibling left behind
  EXPECT_FALSE(fs.IsHeld(u"f"));
}

}  // namespace
}  // namespace kelvane
