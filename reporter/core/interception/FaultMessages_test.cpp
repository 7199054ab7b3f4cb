#include "reporter/core/interception/FaultMessages.h"

#include <gtest/gtest.h>

using namespace ruvex;

TEST(FaultMessages, AccessViolationIsFilledByPosition) {
  TAccessFacts facts;
  facts.moduleName = u"odd%s%p.exe";
  facts.faultAddress = 0x401a2b;
  facts.write = true;
  facts.accessedAddress = 0x10;
  EXPECT_EQ(SystemExceptionMessage(kAccessViolation, facts),
            u"Access violation at address $401a2b in module 'odd%s%p.exe'. Write of address $10");
  facts.write = false;
  facts.accessedAddress = 0xdeadbeef0000;
  EXPECT_EQ(SystemExceptionMessage(kAccessViolation, facts),
            u"Access violation at address $401a2b in module 'odd%s%p.exe'. Read of address $deadbeef0000");
  facts.moduleName.reset();
  EXPECT_EQ(SystemExceptionMessage(kAccessViolation, facts), u"Access Violation") << "outside any module";
}

TEST(FaultMessages, CodesMapToTheirMessageAndClass) {
  struct TCase {
    std::uint32_t code;
    const char16_t* message;
    const char16_t* className;
  } cases[] = {
      {0xC0000094, u"Division by zero", u"EDivByZero"},
      {0xC00000FD, u"Stack overflow", u"EStackOverflow"},
      {0xC0000093, u"Floating point underflow", u"EUnderflow"},
      {0xC0000092, u"Invalid floating point operation", u"EInvalidOp"},
      {0xC000013A, u"Control-C hit", u"EControlC"},
      {0xE06D7363, u"External exception e06d7363", u"EExternalException"},
  };
  for (const TCase& c : cases) {
    EXPECT_EQ(SystemExceptionMessage(c.code), c.message) << std::hex << c.code;
    const auto chain = SystemExceptionClassChain(c.code);
    ASSERT_EQ(chain.size(), 3u);
    EXPECT_EQ(chain[0], c.className);
    EXPECT_EQ(chain[1], u"EExternal");
  }
}
