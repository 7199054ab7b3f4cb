// Any bytes, decoded at every offset in 32-bit mode with register state and
// in 64-bit mode, and turned into text: never a fault, lengths within bounds.
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "reporter/engines/x86/Disasm.h"
#include "reporter/engines/x86/InstrText.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace ruvex;
  const Address base = 0x401000;
  TBufferMemory memory(base, std::vector<std::uint8_t>(data, data + size));
  TRegisters registers{0x401000, 0, 0x401004, 0, 0, 0, 0, 0};
  for (std::size_t i = 0; i < size; ++i) {
    TInstrInfo info;
    InstrText(memory, base + i, &registers, info);
    if (info.valid && (info.detail.length == 0 || info.detail.length > kMaxInstrLength || info.nextAddr > base + size))
      std::abort();
    TInstrInfo info64;
    InstrText64(memory, base + i, info64);
    if (info64.valid &&
        (info64.detail.length == 0 || info64.detail.length > kMaxInstrLength || info64.nextAddr > base + size))
      std::abort();
  }
  return 0;
}
