#include "reporter/core/hooks/patches/CodeRedirect.h"

#include <cstdint>

#include "reporter/engines/x86/Disasm.h"
#include "reporter/engines/x86/ParseFunction.h"

namespace ruvex {
namespace {

void PutLittleEndian(TBytes& out, std::uint64_t value, unsigned size) {
  for (unsigned i = 0; i < size; ++i) out.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
}

bool EndsFunction(const TInstrInfo& i) {
  switch (i.opcodeWord) {
    case 0xC3: case 0xC2: case 0xCB: case 0xCA: case 0xCC: case 0xE9: case 0xEB: return true;
    case 0xFF: return i.isJump;  // jmp through a register or slot
    default: return false;
  }
}

bool CanRedirect64(const IMemoryReader& memory, Address entry, std::size_t length) {
  for (Address at = entry; at < entry + length;) {
    const TInstrInfo i = DecodeInstr64(memory, at);
    if (!i.valid || i.nextAddr <= at) return false;
    // An end inside the patched bytes: the jump would spill into whatever follows.
    if (EndsFunction(i) && i.nextAddr < entry + length) return false;
    at = i.nextAddr;
  }
  return true;
}

}  // namespace

TBytes JumpBytes(Address from, Address to, bool code64) {
  TBytes out;
  const std::int64_t distance = static_cast<std::int64_t>(to - (from + kRel32JumpSize));
  if (!code64 || (distance >= INT32_MIN && distance <= INT32_MAX)) {
    out.push_back(0xE9);
    PutLittleEndian(out, static_cast<std::uint32_t>(distance), 4);
    return out;
  }
  out = {0xFF, 0x25, 0, 0, 0, 0};
  PutLittleEndian(out, to, 8);
  return out;
}

bool CanRedirect(const IMemoryReader& memory, Address entry, std::size_t length, bool code64) {
  if (code64) return CanRedirect64(memory, entry, length);
  return length <= kRel32JumpSize + 1 && ParseFunction(memory, entry).Interceptable;
}

TPatchResult RedirectFunction(TPatchList& patches, const IMemoryReader& memory, Address from, Address to,
                              bool code64) {
  const TBytes jump = JumpBytes(from, to, code64);
  TBytes present(jump.size());
  if (memory.Read(from, present.data(), present.size()) && present == jump) return TPatchResult::alreadyInPlace;
  if (!CanRedirect(memory, from, jump.size(), code64)) return TPatchResult::failed;
  return patches.Apply(from, jump);
}

}  // namespace ruvex
