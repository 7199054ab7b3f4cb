#include "reporter/engines/x86/Disasm.h"

#include <cstring>

#include "reporter/engines/x86/OpcodeTables.h"

namespace ruvex {
namespace {

// The instruction bytes, read once: up to the longest valid encoding, fewer
// at the end of readable memory.
class TCursor {
 public:
  TCursor(const IMemoryReader& memory, Address address) {
    if (memory.Read(address, bytes_, kMaxInstrLength)) {
      available_ = kMaxInstrLength;
      return;
    }
    for (unsigned n = kMaxInstrLength - 1; n > 0; --n)
      if (memory.Read(address, bytes_, n)) {
        available_ = n;
        return;
      }
  }
  bool Byte(std::uint8_t& b) {
    if (pos_ >= available_) return false;
    b = bytes_[pos_++];
    return true;
  }
  // A little-endian value of `size` bytes (1, 2, 4 or 8), sign-extended.
  bool Signed(unsigned size, std::int64_t& value) {
    if (pos_ + size > available_) return false;
    const std::uint8_t* p = bytes_ + pos_;
    pos_ += size;
    if (size == 1) value = static_cast<std::int8_t>(p[0]);
    else if (size == 2) value = static_cast<std::int16_t>(p[0] | p[1] << 8);
    else if (size == 4) value = static_cast<std::int32_t>(Dword(p));
    else value = static_cast<std::int64_t>(Dword(p) | static_cast<std::uint64_t>(Dword(p + 4)) << 32);
    return true;
  }
  unsigned Position() const { return pos_; }

 private:
  static std::uint32_t Dword(const std::uint8_t* p) {
    return p[0] | p[1] << 8 | p[2] << 16 | static_cast<std::uint32_t>(p[3]) << 24;
  }

  std::uint8_t bytes_[kMaxInstrLength];
  unsigned available_ = 0;
  unsigned pos_ = 0;
};

bool IsPrefix(std::uint8_t b, TInstrInfo::TDetail& d) {
  switch (b) {
    case 0x66: d.operand16 = true; return true;
    case 0x67: d.address16 = true; return true;
    case 0xF0: d.lock = true; return true;
    case 0xF2: case 0xF3: d.rep = b; return true;
    case 0x26: d.segment = 0; return true;
    case 0x2E: d.segment = 1; return true;
    case 0x36: d.segment = 2; return true;
    case 0x3E: d.segment = 3; return true;
    case 0x64: d.segment = 4; return true;
    case 0x65: d.segment = 5; return true;
    default: return false;
  }
}

// 64-bit addressing: REX.B and REX.X extend base and index, and mod 0
// with r/m 5 counts from the next instruction. r/m 4 and SIB base 5 keep
// their special meaning whatever REX.B says.
bool ReadAddress64(TCursor& in, TInstrInfo::TDetail& d, unsigned& dispSize) {
  const unsigned b = d.rex & 1 ? 8 : 0, x = d.rex & 2 ? 8 : 0;
  d.base = static_cast<std::int8_t>(d.rm | b);
  if (d.rm == 4) {
    std::uint8_t sib;
    if (!in.Byte(sib)) return false;
    d.hasSib = true;
    d.base = static_cast<std::int8_t>((sib & 7) | b);
    const unsigned index = ((sib >> 3) & 7) | x;
    if (index != 4) {
      d.index = static_cast<std::int8_t>(index);
      d.scale = static_cast<std::uint8_t>(1u << (sib >> 6));
    }
    if (d.mod == 0 && (sib & 7) == 5) {
      d.base = -1;
      dispSize = 4;
    }
  } else if (d.mod == 0 && d.rm == 5) {
    d.base = -1;
    d.ripRelative = true;
    dispSize = 4;
  }
  if (d.mod == 1) dispSize = 1;
  if (d.mod == 2) dispSize = 4;
  return true;
}

// The ModR/M byte, SIB byte and displacement.
bool ReadModRm(TCursor& in, TInstrInfo& info) {
  TInstrInfo::TDetail& d = info.detail;
  std::uint8_t m;
  if (!in.Byte(m)) return false;
  info.modRmByte = m;
  d.hasModRm = true;
  d.mod = m >> 6;
  d.reg = (m >> 3) & 7;
  d.rm = m & 7;
  d.regNumber = static_cast<std::uint8_t>(d.reg | (d.rex & 4 ? 8 : 0));
  d.rmNumber = static_cast<std::uint8_t>(d.rm | (d.rex & 1 ? 8 : 0));
  if (d.mod == 3) return true;
  unsigned dispSize = 0;
  if (d.mode64) {
    if (!ReadAddress64(in, d, dispSize)) return false;
  } else if (d.address16) {
    static constexpr std::int8_t kBase[8] = {3, 3, 5, 5, 6, 7, 5, 3};   // bx bx bp bp si di bp bx
    static constexpr std::int8_t kIndex[8] = {6, 7, 6, 7, -1, -1, -1, -1};
    d.base = kBase[d.rm];
    d.index = kIndex[d.rm];
    if (d.mod == 0 && d.rm == 6) {
      d.base = -1;
      dispSize = 2;
    } else {
      dispSize = d.mod == 1 ? 1 : d.mod == 2 ? 2 : 0;
    }
  } else {
    d.base = static_cast<std::int8_t>(d.rm);
    if (d.rm == 4) {
      std::uint8_t sib;
      if (!in.Byte(sib)) return false;
      d.hasSib = true;
      d.base = sib & 7;
      unsigned index = (sib >> 3) & 7;
      if (index != 4) {
        d.index = static_cast<std::int8_t>(index);
        d.scale = static_cast<std::uint8_t>(1u << (sib >> 6));
      }
      if (d.mod == 0 && d.base == 5) {
        d.base = -1;
        dispSize = 4;
      }
    } else if (d.mod == 0 && d.rm == 5) {
      d.base = -1;
      dispSize = 4;
    }
    if (d.mod == 1) dispSize = 1;
    if (d.mod == 2) dispSize = 4;
  }
  if (dispSize) {
    d.dispOffset = static_cast<std::uint8_t>(in.Position());
    std::int64_t v;
    if (!in.Signed(dispSize, v)) return false;
    d.displacement = static_cast<std::int32_t>(v);
    d.dispSize = static_cast<std::uint8_t>(dispSize);
  }
  return true;
}

// Operand-form rules that the flag words alone cannot express.
bool OperandFormValid(const TInstrInfo& info, std::uint8_t mandatory) {
  const TInstrInfo::TDetail& d = info.detail;
  const bool memory = d.hasModRm && d.mod != 3;
  const unsigned reg = d.reg, rm = d.rm;
  if (info.opcodeWord < 0x100) {
    switch (info.opcodeWord) {
      case 0x62: case 0x8D: case 0xC4: case 0xC5: return memory;
      case 0x8C: return reg < 6;
      case 0x8E: return reg < 6 && reg != 1;  // loading cs this way faults
      case 0x8F: case 0xC6: case 0xC7: return reg == 0;
      case 0xFE: return reg <= 1;
      case 0xFF: return reg != 7 && (memory || (reg != 3 && reg != 5));
      case 0xD9: return memory || !((reg == 2 && rm != 0) || (reg == 4 && (rm == 2 || rm == 3 || rm >= 6)) ||
                                    (reg == 5 && rm == 7));
      case 0xDA: return memory || reg != 5 || rm == 1;
      case 0xDB: return memory || reg != 4 || rm <= 4;
      case 0xDE: return memory || reg != 3 || rm == 1;
      case 0xDF: return memory || reg != 4 || rm == 0;
      default: return true;
    }
  }
  const unsigned op = info.opcodeWord & 0xFF;
  const std::uint8_t allowed = OpcodeTables().twoByteSsePrefixes[op];
  if (allowed && !(allowed & mandatory)) return false;
  switch (op) {
    case 0x00: return reg < 6;
    // Register forms of field 7 are the later system operations: swapgs
    // (F8, 64-bit mode only), rdtscp, clzero and rdpru take any prefix;
    // with one, monitorx, mwaitx, invlpgb and tlbsync are other operations.
    case 0x01:
      if (reg == 7 && !memory) return (rm != 0 || d.mode64) && (rm == 0 || rm == 1 || rm == 4 || rm == 5 || mandatory == kSseNone);
      return reg != 5 && (memory || reg >= 4);
    case 0x0D: return memory && reg <= 1;
    case 0x18: return memory && reg <= 3;
    case 0x20: case 0x22:  // cr0, cr2 to cr4 exist, and cr8 in 64-bit mode
      return !memory && (d.regNumber == 8 || (reg != 1 && reg <= 4 && d.regNumber < 8));
    case 0x21: case 0x23: return !memory && d.regNumber < 8;
    case 0x71: case 0x72: return !memory && (reg == 2 || reg == 4 || reg == 6);
    case 0x73: return !memory && (reg == 2 || reg == 6 || ((reg == 3 || reg == 7) && mandatory == kSse66));
    case 0xAE: return reg == 7 || (reg <= 3 && memory) || ((reg == 5 || reg == 6) && !memory);
    case 0xB2: case 0xB4: case 0xB5: case 0xC3: case 0xC7: return memory && (op != 0xC7 || reg == 1);
    case 0xBA: return reg > 3;
    // Stores to memory and loads from it that have no register form.
    case 0x13: case 0x17: case 0x2B: case 0xE7: case 0xF0: return memory;
    // Register-only forms.
    case 0x50: case 0xC5: case 0xD7: case 0xF7: return !memory;
    case 0xD6: return mandatory == kSse66 || !memory;
    case 0x12: case 0x16: return mandatory != kSse66 || memory;
    default: return true;
  }
}

std::uint8_t MandatoryPrefix(const TInstrInfo::TDetail& d) {
  if (d.rep == 0xF2) return kSseF2;
  if (d.rep == 0xF3) return kSseF3;
  return d.operand16 ? kSse66 : kSseNone;
}

void SetTargets(const IMemoryReader& memory, TInstrInfo& info, const TRegisters* registers) {
  const TInstrInfo::TDetail& d = info.detail;
  const std::uint16_t op = info.opcodeWord;
  if (d.flags & kRelative) {
    info.relativeTarget = true;
    info.targetSlot = info.instrAddr + d.immOffset;
    Address target = CodeAddress(info.nextAddr, d.immediate);
    if (d.operand16) target &= 0xFFFF;  // the processor truncates ip to 16 bits
    info.targetAddr = target;
    info.targetWidth = d.immSize;
    info.isCall = op == 0xE8;
    info.isJump = !info.isCall;
    info.extendable = !(op >= 0xE0 && op <= 0xE3);
    return;
  }
  if (op == 0x9A || op == 0xEA) {
    info.isCall = op == 0x9A;
    info.isJump = !info.isCall;
    return;
  }
  if (op != 0xFF || d.reg < 2 || d.reg > 5) return;
  info.isCall = d.reg <= 3;
  info.isJump = !info.isCall;
  if (d.reg == 3 || d.reg == 5 || d.address16 || d.operand16) return;  // far or 16-bit: unknown
  const bool absolute = d.mod != 3 && d.base < 0 && d.index < 0;
  if (absolute) {
    info.targetSlotPtr = info.instrAddr + d.dispOffset;
    info.targetWidth = 4;
    info.extendable = true;
    std::uint32_t target;
    if (memory.ReadValue(static_cast<std::uint32_t>(d.displacement), target)) info.targetAddr = target;
    return;
  }
  if (!registers) return;
  if (d.mod == 3) {
    std::uint32_t value = (*registers)[d.rm];
    if (value) info.targetSlot = info.targetAddr = value;
    return;
  }
  if (d.mod == 0 && !d.hasSib && d.base >= 0) {
    std::uint32_t slot = (*registers)[d.base];
    if (!slot) return;
    info.targetSlotPtr = slot;
    info.targetWidth = 4;
    std::uint32_t target;
    if (memory.ReadValue(slot, target)) info.targetAddr = target;
  }
}

// 64-bit mode: branch displacements and RIP-relative pointers count in the
// whole address space; indirect targets come from 8-byte pointers. There
// is no register state in this mode.
void SetTargets64(const IMemoryReader& memory, TInstrInfo& info) {
  const TInstrInfo::TDetail& d = info.detail;
  const std::uint16_t op = info.opcodeWord;
  if (d.flags & kRelative) {
    info.relativeTarget = true;
    info.targetSlot = info.instrAddr + d.immOffset;
    info.targetAddr = info.nextAddr + static_cast<std::uint64_t>(d.immediate);
    info.targetWidth = d.immSize;
    info.isCall = op == 0xE8;
    info.isJump = !info.isCall;
    info.extendable = !(op >= 0xE0 && op <= 0xE3);
    return;
  }
  if (op != 0xFF || d.reg < 2 || d.reg > 5) return;
  info.isCall = d.reg <= 3;
  info.isJump = !info.isCall;
  // Far forms, and the 16-bit forms some processors make of 0x66: unknown.
  if (d.reg == 3 || d.reg == 5 || d.operand16 || d.mod == 3 || d.index >= 0 || d.base >= 0) return;
  Address slot = d.ripRelative ? info.nextAddr + static_cast<std::uint64_t>(static_cast<std::int64_t>(d.displacement))
                               : static_cast<std::uint64_t>(static_cast<std::int64_t>(d.displacement));
  if (d.address32) slot &= 0xFFFFFFFF;
  info.targetSlotPtr = slot;
  info.targetWidth = 8;
  info.extendable = true;
  std::uint64_t target;
  if (memory.ReadValue(slot, target)) info.targetAddr = target;
}

void ForgetRegister(TRegisters& r, unsigned index, bool byteRegister) { r[byteRegister ? index & 3 : index] = 0; }

void TrackRegisters(const TInstrInfo& info, TRegisters& r) {
  const TInstrInfo::TDetail& d = info.detail;
  const std::uint16_t op = info.opcodeWord;
  const unsigned low = op & 7;
  const bool regIsByte = RegKind(d.flags) == kRegByte && d.hasModRm;
  const bool modIsByte = ModKind(d.flags) == ModKind(kModByte);
  const bool lowIsByte = op >= 0xB0 && op <= 0xB7;
  const bool modRegister = d.hasModRm && d.mod == 3;
  const bool readOnlyGroup = ((op >= 0x80 && op <= 0x83) && d.reg == 7) || (op == 0xFF && d.reg >= 2);
  if (!readOnlyGroup) {
    switch (WriteKind(d.flags)) {
      case 1: ForgetRegister(r, d.reg, regIsByte); break;
      case 2: if (modRegister) ForgetRegister(r, d.rm, modIsByte); break;
      case 3: ForgetRegister(r, low, lowIsByte); break;
      case 4: r[kEax] = 0; break;
      case 5: ForgetRegister(r, d.reg, regIsByte); if (modRegister) ForgetRegister(r, d.rm, modIsByte); break;
      case 6: r[kEax] = 0; if (modRegister) ForgetRegister(r, d.rm, modIsByte); break;
      case 7: r[kEax] = 0; ForgetRegister(r, low, false); break;
      default: break;
    }
  }
  if (d.rep && op < 0x100) r[kEcx] = 0;
  const bool dword = !d.operand16;
  if (op >= 0xB8 && op <= 0xBF && dword) r[low] = static_cast<std::uint32_t>(d.immediate);
  else if (op == 0xC7 && modRegister && dword) r[d.rm] = static_cast<std::uint32_t>(d.immediate);
  else if (op == 0x8B && modRegister && dword) r[d.reg] = r[d.rm];
  else if (op == 0x61) r.fill(0);
  else if (op == 0x99) r[kEdx] = 0;
  else if ((op >= 0xA4 && op <= 0xA7) || (op >= 0xAA && op <= 0xAF) || (op >= 0x6C && op <= 0x6F)) {
    r[kEsi] = 0;
    r[kEdi] = 0;
  } else if (op == 0xC8 || op == 0xC9) r[kEbp] = 0;
  else if (op >= 0xE0 && op <= 0xE2) r[kEcx] = 0;
  else if ((op == 0xF6 || op == 0xF7) && d.reg >= 4) { r[kEax] = 0; r[kEdx] = 0; }
  else if (op == 0x0FA2) { r[kEax] = r[kEcx] = r[kEdx] = r[kEbx] = 0; }
  else if (op == 0x0F31 || op == 0x0F32 || op == 0x0F33 || op == 0x0FC7) { r[kEax] = r[kEdx] = 0; }
  else if (op == 0x0F05 || op == 0x0F34) { r[kEcx] = r[kEdx] = 0; }  // the fast system calls
  else if (op == 0x0F01 && modRegister && d.reg == 7) { r[kEax] = r[kEcx] = r[kEdx] = 0; }  // rdtscp, rdpru
}

// Legacy prefixes, and in 64-bit mode REX, which counts only when the
// opcode follows it directly. Leaves the first opcode byte in `b`.
template <bool kLong>
bool ReadPrefixes(TCursor& in, TInstrInfo::TDetail& d, std::uint8_t& b) {
  for (;;) {
    if (!in.Byte(b)) return false;
    if (kLong && (b & 0xF0) == 0x40) {
      d.rex = b;
      continue;
    }
    if (!IsPrefix(b, d)) break;
    if (kLong) d.rex = 0;
  }
  if (kLong) {
    d.address32 = d.address16;
    d.address16 = false;
  }
  return true;
}

// Operations whose operand size is 64 bits in 64-bit mode without REX.W:
// near branches, push and pop, and the other stack operations.
constexpr bool Defaults64(std::uint16_t op, std::uint8_t reg) {
  if ((op >= 0x50 && op <= 0x5F) || op == 0x68 || op == 0x6A || op == 0x8F || op == 0x9C || op == 0x9D ||
      op == 0xC2 || op == 0xC3 || op == 0xC8 || op == 0xC9 || (op >= 0xE0 && op <= 0xE3) || op == 0xE8 ||
      op == 0xE9 || op == 0xEB || (op >= 0x70 && op <= 0x7F))
    return true;
  if (op == 0xFF) return reg == 2 || reg == 4 || reg == 6;
  return (op >= 0x0F80 && op <= 0x0F8F) || op == 0x0FA0 || op == 0x0FA1 || op == 0x0FA8 || op == 0x0FA9;
}

// The first immediate's size in bytes.
template <bool kLong>
unsigned ImmediateSize(const TInstrInfo& info) {
  const TInstrInfo::TDetail& d = info.detail;
  const std::uint16_t op = info.opcodeWord;
  if (op >= 0xA0 && op <= 0xA3) {  // memory offsets: the address size
    if (kLong) return d.address32 ? 4 : 8;
    return d.address16 ? 2 : 4;
  }
  switch (ImmKind(d.flags)) {
    case 1: return 1;
    case 2: return 2;
    case 3:
      if (!kLong) return d.operand16 ? 2 : 4;
      if (op >= 0xB8 && op <= 0xBF && (d.rex & 8)) return 8;  // mov r64, imm64
      // Branch displacements stay 32 bits; other immediates are sign-extended to 64.
      if ((d.flags & kRelative) || (d.rex & 8)) return 4;
      return d.operand16 ? 2 : 4;
    default: return 0;
  }
}

template <bool kLong>
TInstrInfo Decode(const IMemoryReader& memory, Address address, TRegisters* registers) {
  TInstrInfo info;
  info.instrAddr = address;
  TInstrInfo::TDetail& d = info.detail;
  d.mode64 = kLong;
  const TOpcodeTables& tables = OpcodeTables();
  TCursor in(memory, address);

  std::uint8_t b;
  if (!ReadPrefixes<kLong>(in, d, b)) return info;

  std::uint16_t flags;
  if (b == 0x0F) {
    if (!in.Byte(b)) return info;
    info.opcodeWord = 0x0F00 | b;
    flags = tables.twoByte[b];
    d.mnemonic = tables.twoByteMnemonic[b];
  } else {
    info.opcodeWord = b;
    flags = kLong ? tables.oneByte64[b] : tables.oneByte[b];
    d.mnemonic = kLong ? tables.oneByteMnemonic64[b] : tables.oneByteMnemonic[b];
  }
  if (flags == kFlagsInvalid) return info;

  if (ModKind(flags) != 0) {
    if (!ReadModRm(in, info)) return info;
    if (ModKind(flags) == ModKind(kModGroup)) {
      const TGroupRow* row = GroupRow(static_cast<std::uint8_t>(info.opcodeWord));
      if (!row) return info;
      flags = d.mod == 3 ? row->registerForm[d.reg] : row->memory[d.reg];
      if (flags == kFlagsInvalid) return info;
    }
  }
  d.flags = flags;
  const std::uint16_t op = info.opcodeWord;
  if (kLong) d.operand64 = (d.rex & 8) || (!d.operand16 && Defaults64(op, d.reg));

  const unsigned immSize = ImmediateSize<kLong>(info);
  if (immSize) {
    d.immOffset = static_cast<std::uint8_t>(in.Position());
    d.immSize = static_cast<std::uint8_t>(immSize);
    if (!in.Signed(immSize, d.immediate)) return info;
  }
  if (op == 0x9A || op == 0xEA) {  // far pointer: offset, then segment (32-bit mode only)
    std::int64_t segment;
    if (!in.Signed(2, segment)) return info;
    d.immediate2 = static_cast<std::uint16_t>(segment);
    if (d.operand16) d.immediate &= 0xFFFF; else d.immediate &= 0xFFFFFFFF;
  } else if (op == 0xC8) {  // enter: frame size, nesting level
    std::int64_t level;
    if (!in.Signed(1, level)) return info;
    d.immediate &= 0xFFFF;
    d.immediate2 = static_cast<std::uint8_t>(level);
  } else if (op == 0x0F0F && Amd3dNowName(static_cast<std::uint8_t>(d.immediate)).empty()) {
    return info;
  }
  if (!OperandFormValid(info, MandatoryPrefix(d))) return info;

  d.length = static_cast<std::uint8_t>(in.Position());
  info.nextAddr = address + d.length;
  info.valid = true;
  if (kLong) SetTargets64(memory, info);
  else SetTargets(memory, info, registers);
  if ((info.isCall || info.isJump) && info.targetAddr == info.nextAddr) {
    info.isCall = info.isJump = info.relativeTarget = info.extendable = false;
    info.targetAddr = info.targetSlot = info.targetSlotPtr = 0;
    info.targetWidth = 0;
  }
  if (!kLong && registers) TrackRegisters(info, *registers);
  return info;
}

}  // namespace

TInstrInfo DecodeInstr(const IMemoryReader& memory, Address address, TRegisters* registers) {
  return Decode<false>(memory, address, registers);
}

TInstrInfo DecodeInstr64(const IMemoryReader& memory, Address address) {
  return Decode<true>(memory, address, nullptr);
}

}  // namespace ruvex
