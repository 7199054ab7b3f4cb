// The listing rule, the column widths and the records, over hand-made
// final outputs.
#include <gtest/gtest.h>

#include "common/text/Utf.h"
#include "reporter/engines/trace/support/TraceFakes.h"
#include "reporter/engines/trace/tracer/TraceState.h"
#include "reporter/engines/trace/support/TraceText.h"

namespace ruvex {
namespace {

using namespace ruvex::testing;

struct TOutputFixture : ::testing::Test {
  TFakeTraceHost host;
  TX86CodeModel32 model;
  TTraceCaches caches;
  TTraceRequest request;
  TStackTrace records;
  TBufferMemory nothing{0, {}};

  // Items given innermost first, as they are listed.
  std::string Compose(std::vector<TInternalStackItem> innermostFirst, bool creatorGiven = false) {
    request.stackTrace = &records;
    TTraceState s(host, model, caches, request, nothing);
    s.items.assign(innermostFirst.rbegin(), innermostFirst.rend());
    s.creatorGiven = creatorGiven;
    return kelvane::Utf16ToUtf8(ComposeResult(s));
  }
};

TInternalStackItem Item(Address addr, const char16_t* module, const char16_t* unit, const char16_t* name,
                        Address publicAddr, std::int32_t line, std::int32_t publicLine) {
  TInternalStackItem i;
  i.FinalOutput = {addr, module, unit, line, name, publicAddr, publicLine};
  return i;
}

TEST_F(TOutputFixture, ColumnsWithRelativeAddressesAndLines) {
  request.showRelativeAddrs = true;
  request.showRelativeLines = true;
  std::uint32_t top = 0, stack = 0;
  bool lines = false;
  Address function = 0, inFunction = 0;
  request.topChecksum = &top;
  request.stackChecksum = &stack;
  request.hasLines = &lines;
  request.exceptionFunction = &function;
  request.exceptionFunctionAddr = &inFunction;
  TInternalStackItem a = Item(0x00401234, u"prog.exe", u"Main", u"TForm1.Click", 0x00401200, 3, 120);
  a.TopItem = true;
  const std::string text = Compose({
      a,
      Item(0x7c801000, u"kernel32.dll", u"", u"BaseThreadInitThunk", 0x7c800ff0, 0, 0),
      Item(0x00402000, u"prog.exe", u"Forms", u"Run", 0x00402000, 15, 0),
  });
  EXPECT_EQ(text,
            "00401234 +34 prog.exe     Main  120 +3 TForm1.Click\r\n"
            "7c801000 +10 kernel32.dll              BaseThreadInitThunk\r\n"
            "00402000 +00 prog.exe     Forms     15 Run");
  ASSERT_EQ(records.size(), 3u);
  EXPECT_EQ(records[0], (TStackItem{0x00401234, 0x34, u"prog.exe", u"Main", 120, 3, u"TForm1.Click"}));
  EXPECT_EQ(records[1], (TStackItem{0x7c801000, 0x10, u"kernel32.dll", u"", 0, 0, u"BaseThreadInitThunk"}));
  EXPECT_EQ(records[2], (TStackItem{0x00402000, 0, u"prog.exe", u"Forms", 0, 15, u"Run"}));
  const std::uint32_t v0 = ItemChecksum(0x00401234, 0x00401200, u"prog.exe", u"Main", u"TForm1.Click");
  EXPECT_EQ(top, v0);
  std::uint32_t expected = v0;
  for (std::uint32_t v : {ItemChecksum(0x7c801000, 0x7c800ff0, u"kernel32.dll", u"", u"BaseThreadInitThunk"),
                          ItemChecksum(0x00402000, 0x00402000, u"prog.exe", u"Forms", u"Run")}) {
    const std::uint8_t le[4] = {std::uint8_t(v), std::uint8_t(v >> 8), std::uint8_t(v >> 16), std::uint8_t(v >> 24)};
    expected = CrcStep(expected, std::u16string(reinterpret_cast<const char16_t*>(le), 2));
  }
  EXPECT_EQ(stack, expected);
  EXPECT_TRUE(lines);
  EXPECT_EQ(function, 0x00401200u);
  EXPECT_EQ(inFunction, 0x00401234u);
}

TEST_F(TOutputFixture, PlainColumnsWithoutRelativeParts) {
  // Absolute lines only: no offset column, the line column holds them.
  const std::string text = Compose({
      Item(0x00401234, u"prog.exe", u"Main", u"Click", 0x00401200, 120, 0),
      Item(0x00401300, u"prog.exe", u"Main", u"Other", 0x00401300, 7, 0),
  });
  EXPECT_EQ(text,
            "00401234 prog.exe Main 120 Click\r\n"
            "00401300 prog.exe Main   7 Other");
}

TEST_F(TOutputFixture, ListingRule) {
  request.hideUglyItems = true;
  request.showRelativeLines = true;
  TInternalStackItem top = Item(0x00401000, u"???", u"", u"", 0, 0, 0);
  top.TopItem = true;
  TInternalStackItem creator = Item(0x00405000, u"prog.exe", u"", u"", 0, 0, 0);
  creator.Creator = true;
  TInternalStackItem invalid = Item(0x00409000, u"prog.exe", u"Main", u"Gone", 0x00409000, 9, 9);
  invalid.Invalid = true;
  const std::string text = Compose(
      {
          top,
          Item(0x00402000, u"prog.exe", u"Main", u"FirstLine", 0x00402000, 0, 40),  // relative line 0: ugly
          Item(0x00403000, u"prog.exe", u"Main", u"Listed", 0x00402ff0, 2, 52),
          Item(0x00403000, u"prog.exe", u"Main", u"Listed", 0x00402ff0, 2, 52),  // same address again
          Item(0x00404000, u"prog.exe", u"Main", u"", 0, 5, 0),                  // no name
          invalid,
          creator,
      },
      true);
  EXPECT_EQ(text,
            "00401000 ???                 \r\n"
            "00403000 prog.exe Main 52 +2 Listed\r\n"
            "00405000 prog.exe            ");
  EXPECT_EQ(records.size(), 3u);
}

}  // namespace
}  // namespace ruvex
