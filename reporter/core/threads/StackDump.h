#pragma once
// The "stack dump" section.
#include <string>

#include "reporter/engines/memory/MemoryReader.h"

namespace ruvex {

inline constexpr unsigned kStackDumpLines = 20;

// At most 20 lines of 16 bytes from `stackPointer`, never past the end of
// the region that holds it: the address (8 digits, 16 for a 64-bit thread),
// the bytes in hex with "- " before the ninth, then the printable bytes.
// Empty when the stack pointer lies outside readable memory.
std::u16string GetStackDump(const IMemoryReader& memory, Address stackPointer, unsigned pointerSize);

}  // namespace ruvex
