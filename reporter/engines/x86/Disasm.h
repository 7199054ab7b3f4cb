#pragma once
// Decoding one 32-bit x86 instruction from memory.
#include "reporter/engines/x86/InstrInfo.h"
#include "reporter/engines/memory/MemoryReader.h"

namespace ruvex {

// Decodes the instruction at `address`. Every byte comes through `memory`,
// so unreadable bytes make the instruction invalid instead of faulting.
// With `registers`, indirect targets through a known register are resolved
// and the state is updated with what the instruction writes.
TInstrInfo DecodeInstr(const IMemoryReader& memory, Address address, TRegisters* registers = nullptr);

// The 32-bit code address `from` + `delta`, as the processor computes it.
inline Address CodeAddress(Address from, std::int64_t delta) {
  return static_cast<std::uint32_t>(from + static_cast<std::uint64_t>(delta));
}

}  // namespace ruvex
