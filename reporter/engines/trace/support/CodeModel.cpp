#include "reporter/engines/trace/support/CodeModel.h"

#include <cstdint>

#include "reporter/engines/x86/Disasm.h"

namespace ruvex {

namespace {

// The 8 bytes before `value`: before[8 - n] is the byte at value - n.
bool BytesBefore(const IMemoryReader& memory, Address value, std::uint8_t (&before)[8]) {
  return value >= 8 && memory.Read(value - 8, before, sizeof before);
}

// call rel32, or an indirect call (FF /2, FF /3) of any length from its
// FF byte: a register, a base, a base with SIB, each with no, an 8-bit or
// a 32-bit displacement. A REX prefix in front does not change where the
// FF byte lies.
bool NearCallEndsAt(const std::uint8_t (&before)[8]) {
  auto at = [&](unsigned back) { return before[8 - back]; };
  if (at(5) == 0xE8) return true;
  for (unsigned length : {2u, 3u, 4u, 6u, 7u})
    if (at(length) == 0xFF && ((at(length - 1) >> 4) & 3) == 1) return true;
  return false;
}

std::optional<TCallSite> CallEndingAt(const TInstrInfo& info, Address returnAddress) {
  if (!info.valid || !info.isCall || info.nextAddr != returnAddress) return std::nullopt;
  return TCallSite{info.instrAddr, info.targetAddr != 0, info.targetAddr};
}

std::optional<Address> NextOf(const TInstrInfo& info) {
  if (!info.valid || info.nextAddr <= info.instrAddr) return std::nullopt;
  return info.nextAddr;
}

}  // namespace

bool TX86CodeModel32::LooksLikeReturnAddress(const IMemoryReader& memory, Address value) const {
  std::uint8_t before[8];
  if (!BytesBefore(memory, value, before)) return false;
  return NearCallEndsAt(before) || before[8 - 7] == 0x9A;  // or call far ptr16:32
}

std::optional<TCallSite> TX86CodeModel32::CallAt(const IMemoryReader& memory, Address start,
                                                 Address returnAddress) const {
  return CallEndingAt(DecodeInstr(memory, start), returnAddress);
}

std::optional<Address> TX86CodeModel32::NextInstruction(const IMemoryReader& memory, Address address) const {
  return NextOf(DecodeInstr(memory, address));
}

TFunctionInfo TX86CodeModel32::AnalyseFunction(const IMemoryReader& memory, Address entry,
                                               const TParseOptions& options) const {
  return ParseFunction(memory, entry, options);
}

bool TX86CodeModel64::LooksLikeReturnAddress(const IMemoryReader& memory, Address value) const {
  std::uint8_t before[8];
  return BytesBefore(memory, value, before) && NearCallEndsAt(before);
}

std::optional<TCallSite> TX86CodeModel64::CallAt(const IMemoryReader& memory, Address start,
                                                 Address returnAddress) const {
  return CallEndingAt(DecodeInstr64(memory, start), returnAddress);
}

std::optional<Address> TX86CodeModel64::NextInstruction(const IMemoryReader& memory, Address address) const {
  return NextOf(DecodeInstr64(memory, address));
}

TFunctionInfo TX86CodeModel64::AnalyseFunction(const IMemoryReader&, Address entry, const TParseOptions&) const {
  // Refused rather than misread: the analyser follows 32-bit code only.
  TFunctionInfo refused;
  refused.EntryPoint = entry;
  refused.LastErrorAddr = entry;
  refused.LastErrorNo = kErrorInvalidCode;
  refused.LastErrorStr = "Invalid code!";
  return refused;
}

}  // namespace ruvex
