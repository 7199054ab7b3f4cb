#include "reporter/core/threads/ThreadReport.h"

#include <gtest/gtest.h>

namespace ruvex {
namespace {

TEST(DecorateThreadReport, CreatorLineBeforeTheLastLineAndInnerHeadlineInFront) {
  TThreadStack entry;
  entry.creatorAddr = 0x401000;
  const std::u16string trace = u"00401100 +0 a.exe Unit 10 Work\r\n00401000 +0 a.exe Unit 5 Start";
  EXPECT_EQ(DecorateThreadReport(trace, entry, false, u"main thread ($1)"),
            u"00401100 +0 a.exe Unit 10 Work\r\n>> created by main thread ($1) at:\r\n00401000 +0 a.exe Unit 5 Start");
  EXPECT_EQ(DecorateThreadReport(u"00401000 only", entry, false, u"x"), u">> created by x at:\r\n00401000 only");
  // No creator line for texts that are messages, for aborted traces, or
  // without a creator.
  EXPECT_EQ(DecorateThreadReport(u">> internal error in x", entry, false, u"x"), u">> internal error in x");
  EXPECT_EQ(DecorateThreadReport(trace, entry, true, u"x"), trace);
  entry.creatorAddr = 0;
  entry.innerExceptNo = 2;
  entry.innerExceptClass = u"EInner";
  entry.innerExceptMessage = u"gone.";
  EXPECT_EQ(DecorateThreadReport(u"line", entry, false, u""), u">> EInner, gone.\r\nline");
}

}  // namespace
}  // namespace ruvex
