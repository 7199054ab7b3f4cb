#include "reporter/core/startup/ThreadList.h"

#include <gtest/gtest.h>

using namespace ruvex;

TEST(ThreadList, NamesCreatorsAndPurgingOfEndedThreads) {
  std::set<std::uintptr_t> ended, closed;
  TThreadList list({[&](std::uintptr_t h) { return ended.count(h) > 0; },
                    [&](std::uintptr_t h) { closed.insert(h); }});
  list.SuspendPurging(true);
  list.SetName(1, u"main thread", 0x10);
  list.SetCreator(2, 0x20, 1, 0x401000, u"TWorker");
  list.SetName(3, u"RuvexExcept - AntiFreezeThread", 0x30);
  ended.insert(0x20);
  list.SetName(4, u"pending", 0x40);
  EXPECT_TRUE(list.Find(2)) << "no purging during start-up";
  list.SuspendPurging(false);
  list.SetName(4, u"renamed");
  EXPECT_FALSE(list.Find(2)) << "an ended thread is purged on the next change";
  EXPECT_TRUE(closed.count(0x20));
  EXPECT_EQ(list.Find(4)->name, u"renamed");
  list.SetName(4, u"");
  EXPECT_FALSE(list.Find(4)) << "no name and no creator: no entry";
  EXPECT_EQ(list.Entries().front().threadId, 1u);
}

TEST(ThreadList, Descriptions) {
  TThreadEntry named{0x1f, u"worker", u"", 0x401234, 7, 0};
  TThreadEntry classy{0x20, u"", u"TDownload", 0, 0, 0};
  TThreadEntry hidden{0x21, u"RuvexExcept - HandleExceptionThread", u"", 0, 0, 0};
  TThreadEntry dash{0x22, u"-", u"TX", 0, 0, 0};
  EXPECT_EQ(DescribeThread(0x1f, named, true, false).text, u"worker ($1f)");
  EXPECT_EQ(DescribeThread(0x1f, named, true, false).creatorAddress, 0x401234u);
  EXPECT_EQ(DescribeThread(0x20, classy, true, false).text, u"thread $20 (TDownload)");
  EXPECT_EQ(DescribeThread(0x21, hidden, true, false).text, u"");
  EXPECT_EQ(DescribeThread(0x21, hidden, true, true).text, u"RuvexExcept - HandleExceptionThread ($21)");
  EXPECT_EQ(DescribeThread(0x22, dash, true, false).text, u"");
  EXPECT_EQ(DescribeThread(0x22, dash, true, true).text, u"thread $22 (TX)");
  EXPECT_EQ(DescribeThread(0xabc, std::nullopt, true, false).text, u"thread $abc");
  EXPECT_EQ(DescribeThread(0x1f, named, false, false).text, u"thread $1f") << "registry busy";
}

TEST(ThreadList, DebuggerThreadNamingException) {
  auto read = [](std::uintptr_t p) -> std::optional<std::string> {
    if (p == 0x5000) return std::string("Downloader \xc3\xa9");
    return std::nullopt;
  };
  std::uintptr_t info[4] = {0x1000, 0x5000, 0xFFFFFFFF, 0};
  auto naming = ParseThreadNamingException(kThreadNamingException, info, 4, 0x44, read);
  ASSERT_TRUE(naming);
  EXPECT_EQ(naming->threadId, 0x44u);
  EXPECT_EQ(naming->name, u"Downloader \u00e9");
  info[2] = 0x99;
  EXPECT_EQ(ParseThreadNamingException(kThreadNamingException, info, 4, 0x44, read)->threadId, 0x99u);
  info[3] = 1;
  EXPECT_FALSE(ParseThreadNamingException(kThreadNamingException, info, 4, 0x44, read)) << "flags must be 0";
  info[3] = 0;
  info[1] = 0x6000;
  EXPECT_FALSE(ParseThreadNamingException(kThreadNamingException, info, 4, 0x44, read)) << "unreadable name";
  EXPECT_FALSE(ParseThreadNamingException(0xC0000005, info, 4, 0x44, read));
  EXPECT_FALSE(ParseThreadNamingException(kThreadNamingException, info, 3, 0x44, read));
}
