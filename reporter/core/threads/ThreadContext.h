#pragma once
// The registers of a thread as the report shows them, recorded at exception
// time or read from a stopped thread. One layout serves both builds: a
// 32-bit thread fills the low halves and leaves r8-r15 at 0.
#include <array>
#include <cstdint>

#include "reporter/engines/memory/MemoryReader.h"

namespace ruvex {

struct TThreadContext {
  unsigned pointerSize = 4;  // 4: eax ... ebp, 8: rax ... r15
  Address ax = 0, bx = 0, cx = 0, dx = 0, si = 0, di = 0;
  Address ip = 0, sp = 0, bp = 0;
  std::array<Address, 8> r8to15{};
};

}  // namespace ruvex
