#pragma once
// The clear-text form of one decoded instruction: address, mnemonic,
// operands and a comment naming the target or the text an operand points to.
#include <functional>
#include <string>

#include "common/text/HexText.h"
#include "reporter/engines/x86/InstrInfo.h"
#include "reporter/engines/memory/MemoryReader.h"

namespace ruvex {

// Where names come from. Each callback may be empty.
struct TCodeNames {
  // The export or symbol name of exactly `address` ("Unit.Name"), or empty.
  std::function<std::u16string(Address)> nameAt;
  // Line number of `address` from the debug information, 0 when none.
  std::function<unsigned(Address)> lineAt;
  // Modules, for the "(module)" suffix and for operands that point into one.
  const IModuleList* modules = nullptr;
  // The module of the reporter itself: its names get no module suffix.
  Address ownModuleBase = 0;
};

// The mnemonic alone, with every template marker resolved ("addss",
// "fsubr", "cmovnz", "pfadd"); empty for an invalid instruction.
std::string MnemonicText(const TInstrInfo& info);

// The operands alone, as the line shows them ("eax, dword ptr [ebp-8]").
std::string OperandText(const TInstrInfo& info);

// The columns of an instruction line: the address, the mnemonic three
// blanks behind it, the operands and the comment.
constexpr unsigned kInstrAddressDigits = 8;
constexpr std::size_t kInstrOperandColumn = 19;
constexpr std::size_t kInstrCommentColumn = 40;

// The whole line of the instruction at `address`. An invalid instruction
// yields a "db" line for its first byte (the caller moves on by one byte).
std::u16string InstrText(const IMemoryReader& memory, Address address, TRegisters* registers,
                         TInstrInfo& info, const TCodeNames& names = {});

// The same for 64-bit code: r8-r15, the 64-bit register names and
// RIP-relative operands ("[rip+$10]"); the address column stays 8 digits
// wide and grows for addresses above 4 GB.
std::u16string InstrText64(const IMemoryReader& memory, Address address, TInstrInfo& info,
                           const TCodeNames& names = {});

// Helpers shared with the function listing.
using kelvane::HexLower;
std::string NumberText(std::uint64_t value);        // "$" hex above 9, else decimal
std::string SignedNumberText(std::int64_t value);   // the same with "-" for negatives

// The comment for a code address: its name, or the name of the jump found
// there (an import thunk); a module suffix for foreign modules.
// `mode64` decodes that jump as 64-bit code.
std::u16string TargetName(const IMemoryReader& memory, Address target, const TCodeNames& names,
                          bool mode64 = false);

}  // namespace ruvex
