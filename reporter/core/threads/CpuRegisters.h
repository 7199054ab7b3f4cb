#pragma once
// The "cpu registers" section.
#include <string>

#include "reporter/core/threads/ThreadContext.h"

namespace ruvex {

// One "name = value" line per register, joined by CR LF, no final break:
// eax ... ebp with 8 digits for a 32-bit thread, rax ... rbp and r8 ... r15
// with 16 digits for a 64-bit one.
std::u16string GetCpuRegisters(const TThreadContext& context);

}  // namespace ruvex
