#include "reporter/ui/details/ThreadLayout.h"

#include <gtest/gtest.h>

using namespace ruvex;

namespace {

constexpr char16_t kTwoThreads[] =
    u">> main thread ($1f4)\r\n"
    u"0040a1b2 +012 Kelvane.exe KV.Work  88 +3 RunTarget\r\n"
    u"0040b3c4 +004 Kelvane.exe KV.Work 120 +1 Main\r\n"
    u">> created by thread $100 at:\r\n"
    u"00402000 +000 Kelvane.exe KV.Work   9 +0 Start\r\n"
    u"\r\n"
    u">> thread $2a0\r\n"
    u"77001234 ntdll.dll  NtWait\r\n"
    u"77005678 ntdll.dll  RtlUser\r\n";

std::vector<std::u16string> Captions(const TListModel& model) {
  std::vector<std::u16string> out;
  for (const auto& c : model.columns) out.push_back(c.caption);
  return out;
}

}  // namespace

TEST(ThreadLayout, BlocksFindTheirOwnColumnRoles) {
  auto pieces = ThreadPieces(kTwoThreads);
  ASSERT_EQ(pieces.size(), 2u) << "a run of header rows after text rows starts a block, \">> created\" does not";
  const TPiece& main = pieces[0];
  EXPECT_EQ(main.relAddrCol, 1);
  EXPECT_EQ(main.moduleCol, 2);
  EXPECT_EQ(main.unitCol, 3);
  EXPECT_EQ(main.lineCol, 4) << "right-aligned line numbers stay one column";
  EXPECT_EQ(main.relLineCol, 5);
  EXPECT_EQ(main.funcCol, 6);
  const TPiece& other = pieces[1];
  EXPECT_EQ(other.relAddrCol, -1);
  EXPECT_EQ(other.moduleCol, 1);
  EXPECT_EQ(other.lineCol, -1);
  EXPECT_EQ(other.funcCol, 2);
}

TEST(ThreadLayout, SharedCaptionsRowsAndTitles) {
  auto model = ThreadLayout(kTwoThreads);
  EXPECT_EQ(Captions(model), (std::vector<std::u16string>{u"address", u"rel.", u"module", u"unit", u"line", u"rel.",
                                                          u"function"}));
  EXPECT_TRUE(model.columns[1].upperCase);
  EXPECT_EQ(model.columns[4].format, 1);
  ASSERT_EQ(model.items.size(), 9u);
  EXPECT_EQ(model.items[1].captions, u"0040a1b2\t+012\tKelvane.exe\tKV.Work\t88\t+3\tRunTarget");
  EXPECT_EQ(model.items[4].captions, u"00402000\t+000\tKelvane.exe\tKV.Work\t9\t+0\tStart");
  EXPECT_EQ(model.items[7].captions, u"77001234\t\tntdll.dll\t\t\t\tNtWait");
  EXPECT_TRUE(model.items[0].title);
  EXPECT_FALSE(model.items[3].title);
  EXPECT_EQ(model.items[3].forceColor, 0xFFFFFFu);
  EXPECT_TRUE(model.items[6].title) << "after an empty header row";
  EXPECT_FALSE(ThreadLayout(u">> internal error in trace\r\n00401000 x").items[0].title);
}

TEST(ThreadLayout, ModuleNamesWithBlanksStayWhole) {
  auto model = ThreadLayout(u"00401000 My Tool.exe Unit1 12 Run\r\n00401010 My Tool.exe Unit1 30 Stop\r\n");
  EXPECT_EQ(model.items[0].captions, u"00401000\tMy Tool.exe\tUnit1\t12\tRun");
}
