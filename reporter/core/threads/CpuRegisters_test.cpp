#include "reporter/core/threads/CpuRegisters.h"

#include <gtest/gtest.h>

namespace ruvex {
namespace {

TEST(CpuRegisters, NineLinesOfEightDigitsFor32BitThreads) {
  TThreadContext c;
  c.ax = 0x1;
  c.bx = 0xFFFFFFFF;
  c.cx = 0xABCDEF;
  c.dx = 2, c.si = 3, c.di = 4;
  c.ip = 0x1000102D, c.sp = 0x12FF80, c.bp = 0x12FF88;
  EXPECT_EQ(GetCpuRegisters(c),
            u"eax = 00000001\r\nebx = ffffffff\r\necx = 00abcdef\r\nedx = 00000002\r\nesi = 00000003\r\n"
            u"edi = 00000004\r\neip = 1000102d\r\nesp = 0012ff80\r\nebp = 0012ff88");
}

TEST(CpuRegisters, SixteenDigitsAndTheExtraRegistersFor64BitThreads) {
  TThreadContext c;
  c.pointerSize = 8;
  c.ax = 0x123456789ABCDEF0;
  c.ip = 0x140001234;
  c.r8to15[0] = 8;
  c.r8to15[7] = 0xFFFFFFFFFFFFFFFF;
  const std::u16string text = GetCpuRegisters(c);
  EXPECT_EQ(text.substr(0, 24), u"rax = 123456789abcdef0\r\n");
  EXPECT_NE(text.find(u"\r\nrip = 0000000140001234\r\n"), std::u16string::npos);
  EXPECT_NE(text.find(u"\r\nr8  = 0000000000000008\r\n"), std::u16string::npos);
  EXPECT_EQ(text.substr(text.size() - 22), u"r15 = ffffffffffffffff");
}

}  // namespace
}  // namespace ruvex
