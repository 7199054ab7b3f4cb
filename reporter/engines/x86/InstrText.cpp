#include "reporter/engines/x86/InstrText.h"

#include <vector>

#include "reporter/engines/x86/Disasm.h"
#include "reporter/engines/x86/OpcodeTables.h"
#include "common/text/FileNames.h"
#include "common/text/HexText.h"

namespace ruvex {

using kelvane::FileNameOf;
namespace {

constexpr const char* kReg8[8] = {"al", "cl", "dl", "bl", "ah", "ch", "dh", "bh"};
constexpr const char* kReg16[8] = {"ax", "cx", "dx", "bx", "sp", "bp", "si", "di"};
constexpr const char* kReg32[8] = {"eax", "ecx", "edx", "ebx", "esp", "ebp", "esi", "edi"};
// 64-bit mode: r8-r15, and with any REX prefix the low bytes of rsp, rbp,
// rsi and rdi instead of ah, ch, dh and bh.
constexpr const char* kReg8Rex[16] = {"al",  "cl",  "dl",   "bl",   "spl",  "bpl",  "sil",  "dil",
                                      "r8b", "r9b", "r10b", "r11b", "r12b", "r13b", "r14b", "r15b"};
constexpr const char* kReg16Ext[8] = {"r8w", "r9w", "r10w", "r11w", "r12w", "r13w", "r14w", "r15w"};
constexpr const char* kReg32Ext[8] = {"r8d", "r9d", "r10d", "r11d", "r12d", "r13d", "r14d", "r15d"};
constexpr const char* kReg64[16] = {"rax", "rcx", "rdx", "rbx", "rsp", "rbp", "rsi", "rdi",
                                    "r8",  "r9",  "r10", "r11", "r12", "r13", "r14", "r15"};
constexpr const char* kSeg[8] = {"es", "cs", "ss", "ds", "fs", "gs", "?", "?"};
constexpr const char* kConditions[16] = {"o", "no", "b", "nb", "z", "nz", "be", "a",
                                         "s", "ns", "p", "np", "l", "ge", "le", "g"};

std::vector<std::string_view> Split(std::string_view text, char separator) {
  std::vector<std::string_view> parts;
  std::size_t start = 0;
  for (;;) {
    std::size_t at = text.find(separator, start);
    parts.push_back(text.substr(start, at == std::string_view::npos ? std::string_view::npos : at - start));
    if (at == std::string_view::npos) return parts;
    start = at + 1;
  }
}

// A general register by number (0-15) and size in bytes.
const char* Gpr(unsigned number, unsigned size, bool rex) {
  switch (size) {
    case 1: return rex ? kReg8Rex[number & 15] : kReg8[number & 7];
    case 2: return number < 8 ? kReg16[number] : kReg16Ext[(number - 8) & 7];
    case 8: return kReg64[number & 15];
    default: return number < 8 ? kReg32[number] : kReg32Ext[(number - 8) & 7];
  }
}

// The operand size of the general registers an operation names.
unsigned OperandBytes(const TInstrInfo::TDetail& d) {
  if (d.operand64) return 8;
  return d.operand16 ? 2 : 4;
}

bool IsX87(const TInstrInfo& info) { return info.opcodeWord >= 0xD8 && info.opcodeWord <= 0xDF; }
bool TwoByte(const TInstrInfo& info) { return info.opcodeWord >= 0x100; }
bool RegisterForm(const TInstrInfo& info) { return info.detail.hasModRm && info.detail.mod == 3; }

// The prefix that selects a template variant: 0x66, 0xF2 or 0xF3 (the
// repeat prefixes select only for two-byte opcodes), or 0.
std::uint8_t VariantPrefix(const TInstrInfo& info) {
  if (TwoByte(info) && info.detail.rep) return info.detail.rep;
  return info.detail.operand16 ? 0x66 : 0;
}

std::string ResolveTemplate(const TInstrInfo& info, std::string_view text) {
  const TInstrInfo::TDetail& d = info.detail;
  const std::uint8_t prefix = VariantPrefix(info);
  if (text.find('/') != std::string_view::npos) {
    std::vector<std::string_view> v = Split(text, '/');
    unsigned pick = prefix == 0x66 ? 1 : prefix == 0xF2 ? 2 : prefix == 0xF3 ? 3 : 0;
    text = pick < v.size() && !v[pick].empty() ? v[pick] : v[0];
  }
  if (text.find('|') != std::string_view::npos) {
    std::vector<std::string_view> v = Split(text, '|');
    unsigned pick = d.reg;
    // Eight memory forms, then eight register forms. D8 keeps the memory
    // order in its register forms: D8 E0 is fsub, D8 E8 fsubr.
    if (v.size() >= 9 && RegisterForm(info) && info.opcodeWord != 0xD8) pick += 8;
    text = pick < v.size() ? v[pick] : std::string_view();
  }
  if (RegisterForm(info) && text.find('-') != std::string_view::npos) {
    std::vector<std::string_view> v = Split(text, '-');
    text = d.rm < v.size() ? v[d.rm] : std::string_view();
  }
  if (text.find(':') != std::string_view::npos) {
    std::vector<std::string_view> v = Split(text, ':');
    text = RegisterForm(info) ? v[0] : v[1];
  }
  std::string out;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text.compare(i, 3, "%cc") == 0) {
      out += kConditions[info.opcodeWord & 15];
      i += 2;
    } else if (text.compare(i, 4, "%seg") == 0) {
      out += kSeg[(info.opcodeWord >> 3) & 7];
      i += 3;
    } else if (text[i] == 'S') {
      out += prefix == 0x66 || prefix == 0xF2 ? 'd' : 's';
    } else if (text[i] == 'P') {
      out += prefix == 0xF2 || prefix == 0xF3 ? 's' : 'p';
    } else {
      out += text[i];
    }
  }
  return out;
}

// The spellings of 64-bit mode where REX.W or the mode changes the name.
std::string LongModeSpelling(const TInstrInfo& info, std::string text) {
  const TInstrInfo::TDetail& d = info.detail;
  const bool wide = d.rex & 8;
  static constexpr std::pair<std::string_view, std::string_view> kWide[] = {
      {"cwde", "cdqe"},   {"cdq", "cqo"},     {"movsd", "movsq"}, {"cmpsd", "cmpsq"},
      {"stosd", "stosq"}, {"lodsd", "lodsq"}, {"scasd", "scasq"}, {"iret", "iretq"},
      {"cmpxchg8b", "cmpxchg16b"}, {"movd", "movq"}};
  if (wide)
    for (const auto& [from, to] : kWide)
      if (text == from) return std::string(to);
  if (text == "jecxz" && !d.address32) return "jrcxz";
  if (text == "pushfd") return "pushfq";
  if (text == "popfd") return "popfq";
  return text;
}

std::string StRegister(unsigned n) { return n == 0 ? "st" : "st(" + std::to_string(n) + ")"; }

// Operand kinds after the prefix-dependent switches of the SSE forms.
struct TOperandKinds {
  unsigned reg = 0;   // register operand kind (kReg*) or 0
  unsigned mod = 0;   // ModR/M operand kind (ModKind) or 0
  bool regXmm = false, modXmm = false, regGpr32 = false, modGpr32 = false, modMmx = false;
  bool regFirst = false;  // the scalar move forms reverse the table's order
};

TOperandKinds Kinds(const TInstrInfo& info) {
  const TInstrInfo::TDetail& d = info.detail;
  TOperandKinds k;
  k.reg = RegKind(d.flags);
  k.mod = ModKind(d.flags);
  const std::uint8_t p = TwoByte(info) ? VariantPrefix(info) : 0;
  const bool wide = p != 0 && OpcodeTables().twoByteSsePrefixes[info.opcodeWord & 0xFF] != 0;
  if (k.reg == kRegMmx && (d.flags & kReg66) && wide) k.regXmm = true;
  if (k.mod == ModKind(kModQword) && (d.flags & kMod66) && wide) k.modXmm = true;
  switch (info.opcodeWord) {
    case 0x0F2A:
      if (p == 0xF2 || p == 0xF3) k.mod = ModKind(kModDword), k.modGpr32 = true;
      break;
    case 0x0F2C: case 0x0F2D:
      if (p == 0xF2 || p == 0xF3) k.regGpr32 = true;
      break;
    case 0x0F7E:
      if (p == 0xF3) k.regXmm = k.modXmm = true, k.mod = ModKind(kModQword), k.regFirst = true;
      break;
    case 0x0FD6:
      if (p == 0xF2) k.reg = kRegMmx, k.modXmm = true, k.regFirst = true;
      if (p == 0xF3) k.modMmx = true, k.regFirst = true;
      break;
    case 0x0FAE:  // the fences have no operands
      if (RegisterForm(info)) k.mod = 0;
      break;
    case 0x0F01:  // nor have rdtscp and the other register forms of field 7
      if (RegisterForm(info) && d.reg == 7) k.mod = 0;
      break;
    default: break;
  }
  return k;
}

std::string DisplacementText(const TInstrInfo::TDetail& d, bool withRegisters) {
  if (!withRegisters && d.mode64 && !d.address32) return NumberText(static_cast<std::uint64_t>(std::int64_t{d.displacement}));
  if (!withRegisters) return NumberText(d.address16 ? static_cast<std::uint16_t>(d.displacement)
                                                    : static_cast<std::uint32_t>(d.displacement));
  std::int64_t v = d.address16 ? static_cast<std::int16_t>(d.displacement) : d.displacement;
  if (v == 0) return "";
  if (v > 0) return "+" + NumberText(static_cast<std::uint64_t>(v));
  return "-" + NumberText(static_cast<std::uint64_t>(-v));
}

std::string MemoryText(const TInstrInfo& info, unsigned kind) {
  const TInstrInfo::TDetail& d = info.detail;
  const unsigned addressBytes = d.mode64 ? (d.address32 ? 4 : 8) : d.address16 ? 2 : 4;
  std::string inner;
  if (d.ripRelative) inner += d.address32 ? "eip" : "rip";
  if (d.base >= 0) inner += Gpr(static_cast<unsigned>(d.base), addressBytes, false);
  if (d.index >= 0) {
    inner += "+";
    inner += Gpr(static_cast<unsigned>(d.index), addressBytes, false);
    if (d.scale > 1) inner += "*" + std::to_string(d.scale);
  }
  const bool registers = d.base >= 0 || d.index >= 0 || d.ripRelative;
  inner += DisplacementText(d, registers);
  if (!inner.empty() && inner[0] == '+') inner.erase(0, 1);
  std::string text;
  if (d.flags & kShowSize) {
    static constexpr const char* kSizes[8] = {"", "", "byte", "word", "dword", "qword", "tbyte", "oword"};
    unsigned size = kind;
    if ((d.flags & kMod66) && d.operand16 && size == ModKind(kModDword)) size = ModKind(kModWord);
    if ((d.flags & kMod66) && d.operand64 && size == ModKind(kModDword)) size = ModKind(kModQword);
    if (kSizes[size][0]) text = std::string(kSizes[size]) + " ptr ";
  }
  if (d.segment >= 0) text += std::string(kSeg[d.segment]) + ":";
  return text + "[" + inner + "]";
}

std::string ModRmText(const TInstrInfo& info, const TOperandKinds& k) {
  const TInstrInfo::TDetail& d = info.detail;
  if (!RegisterForm(info)) return MemoryText(info, k.mod);
  const unsigned rm = d.rmNumber;
  if (k.modXmm) return "xmm" + std::to_string(rm);
  if (k.modMmx) return "mm" + std::to_string(d.rm);
  if (k.modGpr32) return Gpr(rm, d.rex & 8 ? 8 : 4, false);
  switch (k.mod) {
    case 2: return Gpr(rm, 1, d.rex != 0);
    case 3: return Gpr(rm, 2, false);
    case 4: {
      // Control and debug register moves use the full register in 64-bit mode.
      const bool control = info.opcodeWord >= 0x0F20 && info.opcodeWord <= 0x0F23;
      if (d.mode64 && control) return Gpr(rm, 8, false);
      return Gpr(rm, d.flags & kMod66 ? OperandBytes(d) : 4, false);
    }
    case 5: return "mm" + std::to_string(d.rm);
    case 6: return StRegister(d.rm);
    case 7: return "xmm" + std::to_string(rm);
    default: return "";
  }
}

std::string RegisterText(const TInstrInfo& info, const TOperandKinds& k) {
  const TInstrInfo::TDetail& d = info.detail;
  const bool op16 = d.operand16 && !(TwoByte(info) && OpcodeTables().twoByteSsePrefixes[info.opcodeWord & 0xFF]);
  const unsigned size = d.operand64 ? 8 : op16 ? 2 : 4;
  const unsigned low = (info.opcodeWord & 7) | (d.rex & 1 ? 8 : 0);
  if (!d.hasModRm) {
    const bool byteForm = (info.opcodeWord & 1) == 0;
    switch (k.reg) {
      case kRegAl: return "al";
      case kRegEax: return Gpr(0, size, false);
      case kRegLowByte: return Gpr(low, 1, d.rex != 0);
      case kRegLowOpSize: return Gpr(low, size, false);
      case kRegEaxAndLow: return std::string(Gpr(0, size, false)) + ", " + Gpr(low, size, false);
      case kRegAccDx: {
        std::string acc = byteForm ? "al" : op16 ? "ax" : "eax";
        return info.opcodeWord >= 0xEE ? "dx, " + acc : acc + ", dx";
      }
      default: return "";
    }
  }
  const unsigned reg = d.regNumber;
  if (k.regXmm) return "xmm" + std::to_string(reg);
  if (k.regGpr32) return Gpr(reg, d.rex & 8 ? 8 : 4, false);
  switch (k.reg) {
    case kRegByte: return Gpr(reg, 1, d.rex != 0);
    case kRegWord: return Gpr(reg, 2, false);
    case kRegSpecial:
      if (info.opcodeWord == 0x0F20 || info.opcodeWord == 0x0F22) return "cr" + std::to_string(reg);
      if (info.opcodeWord == 0x0F21 || info.opcodeWord == 0x0F23) return "dr" + std::to_string(reg);
      return kSeg[d.reg];
    case kRegOpSize: return Gpr(reg, size, false);
    case kRegMmx: return "mm" + std::to_string(d.reg);
    case kRegSt: return "st";
    case kRegXmm: return "xmm" + std::to_string(reg);
    default: return "";
  }
}

bool SignedImmediate(std::uint16_t op) { return op == 0x69 || op == 0x6B || (op >= 0x80 && op <= 0x83); }

std::string ImmediateText(const TInstrInfo& info) {
  const TInstrInfo::TDetail& d = info.detail;
  const std::uint16_t op = info.opcodeWord;
  if (!d.immSize || op == 0x0F0F) return "";
  if (op == 0x9A || op == 0xEA) return NumberText(d.immediate2) + ":" + NumberText(static_cast<std::uint64_t>(d.immediate));
  if (op == 0xC8) return NumberText(static_cast<std::uint64_t>(d.immediate)) + ", " + NumberText(d.immediate2);
  if ((op == 0xD4 || op == 0xD5) && d.immediate == 10) return "";
  if (op >= 0xA0 && op <= 0xA3) {
    std::string seg = d.segment >= 0 ? std::string(kSeg[d.segment]) + ":" : "";
    std::uint64_t offset = d.immSize == 2   ? static_cast<std::uint16_t>(d.immediate)
                           : d.immSize == 4 ? static_cast<std::uint32_t>(d.immediate)
                                            : static_cast<std::uint64_t>(d.immediate);
    return seg + "[" + NumberText(offset) + "]";
  }
  if (d.flags & kRelative) {
    std::string text = d.immediate > 0 ? "+" + NumberText(static_cast<std::uint64_t>(d.immediate))
                                       : SignedNumberText(d.immediate);
    const Address target = d.mode64 ? info.nextAddr + static_cast<std::uint64_t>(d.immediate)
                                    : CodeAddress(info.nextAddr, d.immediate);
    return text + " ($" + HexLower(info.targetAddr ? info.targetAddr : target) + ")";
  }
  if (SignedImmediate(op)) return SignedNumberText(d.immediate);
  if (op == 0x6A) return NumberText(static_cast<std::uint32_t>(d.immediate));
  // A 64-bit operation sign-extends its 4-byte immediate.
  const bool full = d.immSize == 8 || (d.immSize == 4 && d.operand64);
  const std::uint64_t mask = full ? ~std::uint64_t{0} : d.immSize == 1 ? 0xFF : d.immSize == 2 ? 0xFFFF : 0xFFFFFFFF;
  return NumberText(static_cast<std::uint64_t>(d.immediate) & mask);
}

void AppendAscii(std::u16string& out, std::string_view text) {
  for (char c : text) out += static_cast<char16_t>(static_cast<unsigned char>(c));
}

void PadTo(std::u16string& line, std::size_t width) {
  if (line.size() < width) line.append(width - line.size(), u' ');
}

// Text an operand points to, when it reads like text: at least 4 characters
// ending at a byte 0, 10 or 12, without other control characters, and with
// mostly letters, digits and blanks.
std::u16string TextAt(const IMemoryReader& memory, Address address) {
  std::u16string text;
  unsigned letters = 0, separators = 0, others = 0, rest = 0;
  for (unsigned i = 0; i < 100; ++i) {
    std::uint8_t b;
    if (!memory.ReadValue(address + i, b)) return {};
    if (b == 0 || b == 10 || b == 12) break;
    if (b < 0x20) return {};
    text += static_cast<char16_t>(b);
    const bool alnum = (b >= '0' && b <= '9') || (b >= 'A' && b <= 'Z') || (b >= 'a' && b <= 'z');
    if (alnum || b == ' ') ++letters;
    else if (b == ',' || b == '.' || b == ':' || b == '\\') ++separators;
    else if (b >= 0x21 && b <= 0x5D) ++others;
    else ++rest;
  }
  if (text.size() < 4) return {};
  const unsigned m = separators / 2 + letters;
  if (5 * separators < 2 * letters && 8 * others < m && 10 * rest < m + others / 4) return text;
  return {};
}

std::optional<ModuleEntry> ModuleOf(const TCodeNames& names, Address address) {
  if (!names.modules) return std::nullopt;
  return names.modules->ModuleAt(address);
}

// The comment for an instruction without target: an operand of four bytes
// that points into a module names what it points at, or quotes its text.
std::u16string PointerComment(const IMemoryReader& memory, const TInstrInfo& info, const TCodeNames& names) {
  const TInstrInfo::TDetail& d = info.detail;
  std::vector<Address> candidates;
  if (d.ripRelative) candidates.push_back(info.nextAddr + static_cast<std::uint64_t>(std::int64_t{d.displacement}));
  else if (d.dispSize == 4) candidates.push_back(static_cast<std::uint32_t>(d.displacement));
  if (d.immSize == 4 && !(d.flags & kRelative)) candidates.push_back(static_cast<std::uint32_t>(d.immediate));
  if (d.immSize == 8) candidates.push_back(static_cast<std::uint64_t>(d.immediate));
  for (Address value : candidates) {
    std::optional<ModuleEntry> module = ModuleOf(names, value);
    if (!module || value - module->base + 100 > module->size) continue;
    Address at = value;
    std::uint64_t pointer = 0;
    if (memory.Read(value, &pointer, d.mode64 ? 8 : 4) && module->Contains(pointer)) at = pointer;
    std::u16string name = TargetName(memory, at, names, d.mode64);
    if (!name.empty()) return u"  ; " + name;
    std::u16string text = TextAt(memory, at);
    if (!text.empty()) return u"  ; '" + text + u"'";
  }
  return {};
}

}  // namespace

std::string NumberText(std::uint64_t value) { return value > 9 ? "$" + HexLower(value) : std::to_string(value); }

std::string SignedNumberText(std::int64_t value) {
  if (value >= 0) return NumberText(static_cast<std::uint64_t>(value));
  return "-" + NumberText(static_cast<std::uint64_t>(-value));
}

std::string MnemonicText(const TInstrInfo& info) {
  if (!info.valid) return "";
  if (info.opcodeWord == 0x0F0F) return std::string(Amd3dNowName(static_cast<std::uint8_t>(info.detail.immediate)));
  std::string text = ResolveTemplate(info, MnemonicTemplate(info.detail.mnemonic));
  // The classic list spells only the 0x66 forms of these SSE3 operations.
  const std::uint16_t op = info.opcodeWord;
  if ((op == 0x0F7C || op == 0x0F7D || op == 0x0FD0) && info.detail.rep == 0xF2) text.back() = 's';
  if (IsX87(info) && !text.empty()) text.insert(0, "f");
  if (info.detail.mode64) text = LongModeSpelling(info, std::move(text));
  return text;
}

std::string OperandText(const TInstrInfo& info) {
  if (!info.valid) return "";
  const TInstrInfo::TDetail& d = info.detail;
  const TOperandKinds k = Kinds(info);
  std::vector<std::string> operands;
  std::string reg = RegisterText(info, k);
  std::string modRm = d.hasModRm && k.mod ? ModRmText(info, k) : "";
  if (!modRm.empty()) {
    if ((d.flags & kModFirst) && !k.regFirst) {
      operands.push_back(modRm);
      if (!reg.empty()) operands.push_back(reg);
    } else {
      if (!reg.empty()) operands.push_back(reg);
      operands.push_back(modRm);
    }
  } else if (!reg.empty()) {
    operands.push_back(reg);
  }
  std::string imm = ImmediateText(info);
  const std::uint16_t op = info.opcodeWord;
  const bool immediateFirst = op == 0xA2 || op == 0xA3 || op == 0xE6 || op == 0xE7;
  if (!imm.empty()) {
    if (immediateFirst) operands.insert(operands.begin(), imm);
    else operands.push_back(imm);
  }
  if (op == 0xD0 || op == 0xD1) operands.push_back("1");
  if (op == 0xD2 || op == 0xD3 || op == 0x0FA5 || op == 0x0FAD) operands.push_back("cl");
  std::string text;
  for (const std::string& o : operands) {
    if (!text.empty()) text += ", ";
    text += o;
  }
  return text;
}

std::u16string TargetName(const IMemoryReader& memory, Address target, const TCodeNames& names, bool mode64) {
  if (!names.nameAt || target == 0) return {};
  Address named = target;
  std::u16string name = names.nameAt(target);
  if (name.empty()) {
    TInstrInfo thunk = mode64 ? DecodeInstr64(memory, target) : DecodeInstr(memory, target);
    if (thunk.valid && thunk.isJump && thunk.targetAddr) {
      named = thunk.targetAddr;
      name = names.nameAt(named);
    }
  }
  if (name.empty()) return {};
  std::optional<ModuleEntry> module = ModuleOf(names, named);
  if (module && module->base != names.ownModuleBase && name.find(u'(') == std::u16string::npos)
    name += u" (" + FileNameOf(module->fileName) + u")";
  return name;
}

namespace {

// The line of an instruction decoded in either mode.
std::u16string InstrLine(const IMemoryReader& memory, Address address, const TInstrInfo& info,
                         const TCodeNames& names) {
  std::u16string line;
  AppendAscii(line, HexLower(address, kInstrAddressDigits) + "   ");
  // A 64-bit address wider than the column moves the others along.
  const std::size_t shift = line.size() - (kInstrAddressDigits + 3);
  if (!info.valid) {
    std::uint8_t b = 0;
    memory.ReadValue(address, b);
    AppendAscii(line, "db $" + HexLower(b, 2));
    return line;
  }
  const TInstrInfo::TDetail& d = info.detail;
  if (d.lock) AppendAscii(line, "lock ");
  if (!TwoByte(info) && d.rep == 0xF2) AppendAscii(line, "repne ");
  if (!TwoByte(info) && d.rep == 0xF3) AppendAscii(line, "rep ");
  AppendAscii(line, MnemonicText(info));
  std::string operands = OperandText(info);
  if (!operands.empty()) {
    PadTo(line, kInstrOperandColumn + shift);
    if (line.back() != u' ') line += u' ';
    AppendAscii(line, operands);
  }
  std::u16string comment;
  if (info.targetAddr) {
    std::u16string name = TargetName(memory, info.targetAddr, names, d.mode64);
    if (!name.empty()) comment = u"  ; " + name;
  } else {
    comment = PointerComment(memory, info, names);
  }
  if (!comment.empty()) {
    PadTo(line, kInstrCommentColumn + shift);
    line += comment;
  }
  return line;
}

}  // namespace

std::u16string InstrText(const IMemoryReader& memory, Address address, TRegisters* registers,
                         TInstrInfo& info, const TCodeNames& names) {
  info = DecodeInstr(memory, address, registers);
  return InstrLine(memory, address, info, names);
}

std::u16string InstrText64(const IMemoryReader& memory, Address address, TInstrInfo& info,
                           const TCodeNames& names) {
  info = DecodeInstr64(memory, address);
  return InstrLine(memory, address, info, names);
}

}  // namespace ruvex
