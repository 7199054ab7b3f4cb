#pragma once
// Zydis in 32-bit or 64-bit mode as an independent reference for our decoder.
#include <Zydis/Zydis.h>

#include <cstdint>
#include <string>

namespace ruvex::oracle {

struct TReference {
  bool valid = false;
  unsigned length = 0;
  bool isCall = false;
  bool isJump = false;
  bool relative = false;
  std::uint64_t target = 0;  // relative branch target, 0 when none
  std::uint64_t slot = 0;    // where an indirect branch reads its target (RIP-relative or absolute), 0 when none
  std::string mnemonic;
  ZydisInstructionCategory category = ZYDIS_CATEGORY_INVALID;
};

class TZydis {
 public:
  explicit TZydis(bool mode64 = false) {
    if (mode64) ZydisDecoderInit(&decoder_, ZYDIS_MACHINE_MODE_LONG_64, ZYDIS_STACK_WIDTH_64);
    else ZydisDecoderInit(&decoder_, ZYDIS_MACHINE_MODE_LEGACY_32, ZYDIS_STACK_WIDTH_32);
  }

  TReference Decode(const std::uint8_t* bytes, std::size_t size, std::uint64_t address) const {
    TReference r;
    ZydisDecodedInstruction instr;
    ZydisDecodedOperand operands[ZYDIS_MAX_OPERAND_COUNT];
    if (!ZYAN_SUCCESS(ZydisDecoderDecodeFull(&decoder_, bytes, size, &instr, operands))) return r;
    r.valid = true;
    r.length = instr.length;
    r.mnemonic = ZydisMnemonicGetString(instr.mnemonic);
    r.category = instr.meta.category;
    r.isCall = instr.meta.category == ZYDIS_CATEGORY_CALL;
    r.isJump = instr.meta.category == ZYDIS_CATEGORY_COND_BR || instr.meta.category == ZYDIS_CATEGORY_UNCOND_BR;
    if ((r.isCall || r.isJump) && instr.operand_count_visible > 0) {
      const ZydisDecodedOperand& op = operands[0];
      ZyanU64 target;
      if (op.type == ZYDIS_OPERAND_TYPE_IMMEDIATE && op.imm.is_relative &&
          ZYAN_SUCCESS(ZydisCalcAbsoluteAddress(&instr, &op, address, &target))) {
        r.relative = true;
        r.target = target;
      }
      // The memory fields share their storage with the immediate: read them
      // only for a memory operand.
      const bool memory = op.type == ZYDIS_OPERAND_TYPE_MEMORY;
      const bool fixedSlot = memory && (op.mem.base == ZYDIS_REGISTER_RIP || op.mem.base == ZYDIS_REGISTER_EIP ||
                                        (op.mem.base == ZYDIS_REGISTER_NONE && op.mem.index == ZYDIS_REGISTER_NONE));
      if (fixedSlot && ZYAN_SUCCESS(ZydisCalcAbsoluteAddress(&instr, &op, address, &target))) r.slot = target;
    }
    return r;
  }

 private:
  ZydisDecoder decoder_;
};

}  // namespace ruvex::oracle
