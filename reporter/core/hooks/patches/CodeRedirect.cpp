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

std::optional<TBytes> TrampolineBytes(const IMemoryReader& memory, Address entry, std::size_t length, Address stub,
                                      bool code64) {
  Address at = entry;
  while (at < entry + length) {
    const TInstrInfo i = code64 ? DecodeInstr64(memory, at) : DecodeInstr(memory, at);
    // A direct branch counts from where it stands: moved, it would land elsewhere.
    const std::uint16_t op = i.opcodeWord;
    const bool directBranch = op == 0xE8 || op == 0xE9 || op == 0xEB || (op >= 0x70 && op <= 0x7F) ||
                              (op >= 0xE0 && op <= 0xE3) || (op >= 0x0F80 && op <= 0x0F8F);
    if (!i.valid || i.nextAddr <= at || i.relativeTarget || directBranch || i.detail.ripRelative) return std::nullopt;
    at = i.nextAddr;
  }
  TBytes bytes(static_cast<std::size_t>(at - entry));
  if (!memory.Read(entry, bytes.data(), bytes.size())) return std::nullopt;
  const TBytes back = JumpBytes(stub + bytes.size(), at, code64);
  bytes.insert(bytes.end(), back.begin(), back.end());
  return bytes;
}

std::optional<THookStub> BuildHookStub(IMemoryPatcher& memory, Address from, Address to, bool code64) {
  // The relay first, then the moved instructions (at most 5 bytes plus one
  // instruction of 15, or 14 plus 15) and the jump back.
  constexpr std::size_t kBlockSize = 64, kRelaySize = 16;
  THookStub stub;
  stub.block = memory.AllocateCode(kBlockSize, from);
  if (!stub.block) return std::nullopt;
  stub.original = stub.block + kRelaySize;
  const TBytes relay = JumpBytes(stub.block, to, code64);
  // Through the relay when it is within a short jump; else straight to the hook.
  stub.entryJump = JumpBytes(from, stub.block, code64);
  if (stub.entryJump.size() != kRel32JumpSize) stub.entryJump = JumpBytes(from, to, code64);
  const std::optional<TBytes> moved = TrampolineBytes(memory, from, stub.entryJump.size(), stub.original, code64);
  if (!moved || kRelaySize + moved->size() > kBlockSize || !CanRedirect(memory, from, stub.entryJump.size(), code64) ||
      !memory.Write(stub.block, relay.data(), relay.size()) ||
      !memory.Write(stub.original, moved->data(), moved->size())) {
    memory.FreeCode(stub.block);
    return std::nullopt;
  }
  memory.FlushCode(stub.block, kBlockSize);
  return stub;
}

Address HookFunction(TPatchList& patches, IMemoryPatcher& memory, Address from, Address to, bool code64) {
  const std::optional<THookStub> stub = BuildHookStub(memory, from, to, code64);
  if (!stub) return 0;
  return patches.Apply(from, stub->entryJump, stub->block) == TPatchResult::applied ? stub->original : 0;
}

}  // namespace ruvex
