#include <gtest/gtest.h>

#include "common/text/Utf.h"
#include "reporter/engines/trace/tracer/StackTrace.h"
#include "reporter/engines/trace/support/TraceDemo.h"

namespace ruvex {
namespace {

using namespace ruvex::testing;

TEST(AddressToText, OneLineForEveryCombinationOfRelativeColumns) {
  TFakeTraceHost host;
  AddDemo(host);
  struct TCase {
    Address address;
    bool relAddrs, relLines;
    const char* text;
  } cases[] = {
      {kDemoBase + 0x1013, false, false, "10001013 Demo.exe Demo 22 A"},
      {kDemoBase + 0x1013, true, false, "10001013 +3 Demo.exe Demo 22 A"},
      {kDemoBase + 0x1013, false, true, "10001013 Demo.exe Demo 22 +2 A"},
      {kDemoBase + 0x1013, true, true, "10001013 +3 Demo.exe Demo 22 +2 A"},
      {kDemoBase + 0x1010, true, true, "10001010 +0 Demo.exe Demo 20 +0 A"},
      {0x00401000, false, false, "00401000 ???"},
      {0x00401000, true, true, "00401000 +0 ???"},
  };
  for (const TCase& c : cases)
    EXPECT_EQ(kelvane::Utf16ToUtf8(AddressToText(host, c.address, c.relAddrs, c.relLines)), c.text);
  // Without a line the line column is left out; the relative line is then
  // minus the function's first line.
  auto noLines = std::make_shared<TMapFile>();
  noLines->AddSegment(true, kDemoBase + 0x1000, 0x100, u"Demo");
  noLines->SortSegments();
  noLines->AddPublic(true, u"Main", kDemoBase + 0x1000);
  noLines->SortPublics();
  noLines->SetValid(true);
  host.symbols[kDemoBase] = noLines;
  EXPECT_EQ(kelvane::Utf16ToUtf8(AddressToText(host, kDemoBase + 0x1003, true, true)),
            "10001003 +3 Demo.exe Demo +0 Main");
}

}  // namespace
}  // namespace ruvex
