#include "reporter/core/threads/CleartextDisAsm.h"

#include <gtest/gtest.h>

#include "common/text/Utf.h"

namespace ruvex {
namespace {

// push rbp; mov rbp,rsp; sub rsp,$20; mov eax,[rax] (the fault); add rsp,$20; pop rbp; ret
const TBufferMemory kCode64(0x140001000, {0x55, 0x48, 0x89, 0xE5, 0x48, 0x83, 0xEC, 0x20, 0x8B, 0x00, 0x48, 0x83,
                                          0xC4, 0x20, 0x5D, 0xC3, 0xCC, 0xCC, 0xCC, 0xCC});

TEST(CleartextDisAsm, SixtyFourBitCodeAroundTheMarkedLine) {
  TDisAsmRequest r;
  r.function = 0x140001000;
  r.address = 0x140001008;
  r.pointerSize = 8;
  r.limit = 2;
  const std::u16string text = GetCleartextDisAsm(kCode64, r);
  const std::string shown = kelvane::Utf16ToUtf8(text);
  EXPECT_EQ(text.substr(0, 7), u"[...]\r\n") << shown;
  EXPECT_EQ(text.find(u"140001000"), std::u16string::npos) << "more than the limit before: cut\n" << shown;
  EXPECT_NE(text.find(u"140001001  "), std::u16string::npos) << shown;
  EXPECT_NE(text.find(u"140001008 > mov"), std::u16string::npos) << shown;
  EXPECT_NE(text.find(u"14000100e  "), std::u16string::npos) << shown;
  EXPECT_EQ(text.find(u"14000100f"), std::u16string::npos) << "two lines after the marked one\n" << shown;
  EXPECT_EQ(text.substr(text.size() - 7), u"\r\n[...]");
}

TEST(CleartextDisAsm, NothingWithoutAFunctionOrReadableCode) {
  TDisAsmRequest r;
  r.address = 0x140001008;
  r.pointerSize = 8;
  EXPECT_EQ(GetCleartextDisAsm(kCode64, r), u"");
  r.function = 0x150000000;
  r.address = 0x150000010;
  EXPECT_EQ(GetCleartextDisAsm(kCode64, r), u"");
  r.pointerSize = 4;
  EXPECT_EQ(GetCleartextDisAsm(kCode64, r), u"");
}

}  // namespace
}  // namespace ruvex
