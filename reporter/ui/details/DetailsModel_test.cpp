#include "reporter/ui/details/DetailsModel.h"

#include <gtest/gtest.h>

using namespace ruvex;

namespace {

std::vector<std::u16string> Rows(const TListModel& model) {
  std::vector<std::u16string> rows;
  for (const auto& item : model.items) rows.push_back(item.captions);
  return rows;
}

std::vector<std::u16string> Captions(const TListModel& model) {
  std::vector<std::u16string> captions;
  for (const auto& c : model.columns) captions.push_back(c.caption);
  return captions;
}

}  // namespace

TEST(DetailsSplit, AutomaticTable) {
  struct TCase {
    const char* what;
    std::u16string text;
    bool list;
    std::size_t columns;
    std::vector<std::u16string> rows;
  } cases[] = {
      {"two long lines read as text", std::u16string(90, u'a') + u"\r\n" + std::u16string(85, u'b'), false, 0, {}},
      {"one line reads as text", u"just one line", false, 0, {}},
      {"TABs", u"a\tb\r\nc\td\te\r\n", true, 3, {u"a\tb", u"c\td\te"}},
      {"aligned columns",
       u"name      value  unit\r\nalpha     12     ms\r\nbeta      7      kb\r\ngamma     300    s",
       true, 3, {u"name\tvalue\tunit", u"alpha\t12\tms", u"beta\t7\tkb", u"gamma\t300\ts"}},
      {"name = value pairs", u"path = C:\\a b\r\nuser = Anna\r\nmode = fast", true, 2,
       {u"path\tC:\\a b", u"user\tAnna", u"mode\tfast"}},
      {"marker rows take no part", u">> section\r\nkey1  one\r\nkey2  two\r\nkey3  six", true, 2,
       {u">> section", u"key1\tone", u"key2\ttwo", u"key3\tsix"}},
  };
  for (const auto& c : cases) {
    auto model = SplitAutomatically(c.text);
    EXPECT_EQ(model.useList, c.list) << c.what;
    if (!c.list) continue;
    EXPECT_EQ(model.columns.size(), c.columns) << c.what;
    EXPECT_EQ(Rows(model), c.rows) << c.what;
    EXPECT_FALSE(model.headerVisible) << c.what;
  }
}

TEST(DetailsSplit, PlusMinusAndCaptionedLists) {
  auto list = SplitAutomatically(u"!+ first\r\n - second\r\n+ third");
  ASSERT_TRUE(list.useList);
  EXPECT_EQ(list.columns.size(), 1u);
  EXPECT_EQ(Rows(list), (std::vector<std::u16string>{u"+ first", u"\u00a0- second", u"+ third"}));
  EXPECT_EQ(list.items[0].forceColor, kTintBlue);
  EXPECT_EQ(list.items[1].forceColor, 0u);
  EXPECT_EQ(list.items[2].forceColor, kTintBlue);

  auto captioned = SplitAutomatically(u"^^id\tname\t size\r\n1\tKelvane.exe\t12");
  EXPECT_TRUE(captioned.headerVisible);
  EXPECT_EQ(Captions(captioned), (std::vector<std::u16string>{u"id", u"name", u"size"}));
  EXPECT_TRUE(captioned.columns[0].upperCase);
  EXPECT_EQ(captioned.columns[2].format, 1);
  EXPECT_EQ(Rows(captioned), std::vector<std::u16string>{u"1\tKelvane.exe\t12"});
}

TEST(DetailsFixedLayouts, ProcessesAndDumps) {
  auto processes = TabModel(u"processes",
                            u"0000 System       0  12  34  normal  C:\\Windows\\System32\\ntoskrnl.exe\r\n"
                            u"01f4 Kelvane.exe  1  56  78  high    C:\\Apps\\Kelvane.exe\r\n"
                            u"02a0 explorer.exe 1  90  12  normal  C:\\Windows\\explorer.exe\r\n");
  EXPECT_EQ(Captions(processes), (std::vector<std::u16string>{u"id", u"file name", u"session", u"gdi objects",
                                                              u"user objects", u"priority", u"path"}));
  EXPECT_EQ(processes.items[1].captions, u"01f4\tKelvane.exe\t1\t56\t78\thigh\tC:\\Apps\\Kelvane.exe");

  auto dump = TabModel(u"stack dump",
                       u"0012ff80  00 00 00 00 b2 a1 40 00 - 10 00 00 00 00 00 00 00  ......@.........\r\n");
  EXPECT_EQ(dump.items[0].captions, u"0012ff80\t00 00 00 00 b2 a1 40 00 - 10 00 00 00 00 00 00 00\t......@.........");
  EXPECT_TRUE(dump.fixedFont);
}

TEST(DetailsFixedLayouts, DisassemblyMarkerAndComments) {
  auto model = TabModel(u"disasm",
                        u"0040a1a8  87   cmp al, '>'\r\n"
                        u"0040a1ac  87   mov ecx, 1                   ; a; b  ; count\r\n"
                        u"0040a1b2  88 > mov eax, [eax]\r\n"
                        u"0040a1b4  88   ret\r\n");
  EXPECT_EQ(Captions(model), (std::vector<std::u16string>{u"address", u"line", u"asm code", u"comments"}))
      << "the marker stands after the line number, not in the operand above it";
  EXPECT_EQ(model.items[2].forceColor, kCurrentInstruction);
  EXPECT_EQ(model.items[0].forceColor, 0u);
  EXPECT_EQ(model.items[2].captions, u"0040a1b2\t88\t\u00a0 mov eax, [eax]");
  EXPECT_EQ(model.items[1].captions, u"0040a1ac\t87\t\u00a0 mov ecx, 1\t; a; b  ; count")
      << "split once, at the first comment from column 40";
}

TEST(DetailsTabs, ExceptionAndLeakReports) {
  std::vector<TReportPart> header{{u"date/time", u"today"}, {u"exception class", u"EAccessViolation"}};
  std::vector<TReportPart> sections{{u"main thread ($1f4)", u"0040a1b2 Main"}, {u"thread $2a0", u"77001234 Wait"},
                                    {u"cpu registers", u"eax = 0"}, {u"disassembling", u"x"}, {u"modules", u"m"}};
  EXPECT_EQ(TabNames(header, sections),
            (std::vector<std::u16string>{u"general", u"call stacks", u"cpu regs", u"disasm", u"modules"}));
  EXPECT_EQ(TabContent(header, sections, 0), u"date/time\ttoday\r\nexception class\tEAccessViolation\r\n");
  EXPECT_EQ(TabContent(header, sections, 1),
            u">> main thread ($1f4)\r\n0040a1b2 Main\r\n>> thread $2a0\r\n77001234 Wait");
  EXPECT_EQ(TabContent(header, sections, 2), u"eax = 0");

  std::vector<TReportPart> leak{{u"allocation number", u"12"}};
  std::vector<TReportPart> leakSections{{u"memory dump", u"dump"}, {u"modules", u"m"}};
  EXPECT_EQ(TabNames(leak, leakSections), (std::vector<std::u16string>{u"memory dump", u"modules"}));
  EXPECT_EQ(TabContent(leak, leakSections, 0), u"dump");
}
