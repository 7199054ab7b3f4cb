#pragma once
// Decoding one x86 instruction from memory, in 32-bit or 64-bit mode.
#include "reporter/engines/x86/InstrInfo.h"
#include "reporter/engines/memory/MemoryReader.h"

namespace ruvex {

// Decodes the instruction at `address`. Every byte comes through `memory`,
// so unreadable bytes make the instruction invalid instead of faulting.
// With `registers`, indirect targets through a known register are resolved
// and the state is updated with what the instruction writes.
TInstrInfo DecodeInstr(const IMemoryReader& memory, Address address, TRegisters* registers = nullptr);

// The same in 64-bit mode: REX prefixes, RIP-relative operands, 64-bit
// branches and stack operations, and the one-byte opcodes that mode drops
// are invalid. Indirect targets are read as 8-byte pointers; registers are
// not tracked.
TInstrInfo DecodeInstr64(const IMemoryReader& memory, Address address);

// The 32-bit code address `from` + `delta`, as the processor computes it.
inline Address CodeAddress(Address from, std::int64_t delta) {
  return static_cast<std::uint32_t>(from + static_cast<std::uint64_t>(delta));
}

}  // namespace ruvex
