#include <memory>

#include "reporter/engines/trace/support/FrameChain.h"
#include "reporter/engines/trace/tracer/StackTrace.h"

namespace ruvex {

std::string PrepareStack(ITraceHost& host, Address framePointer, Address stackTop, Address stackBottom, bool stop,
                         Address stopAddress, const ICodeModel* model) {
  try {
    const unsigned ps = host.PointerSize();
    const ICodeModel& code = model ? *model : X86CodeModelFor(ps);
    const Address top = stackTop ? stackTop : host.CurrentStackBase();
    const Address bottom = stackBottom ? stackBottom : host.CurrentStackPointer();
    const IMemoryReader& memory = host.Memory();
    if (top < bottom || top - bottom < ps) return {};
    TFrameSlots frames(memory, framePointer, bottom, top, ps);

    std::string out;
    out.reserve(4 + 64 * (1 + ps));
    out.append(4, '\0');
    std::uint32_t count = 0;
    for (Address slot = top - ps;; slot -= ps) {
      Address value = 0;
      if (ReadSlot(memory, slot, ps, value)) {
        if (stop && stopAddress != 0 && value == stopAddress) break;
        const bool chained = frames.IsNext(slot);
        if (value > 7 && code.LooksLikeReturnAddress(memory, value)) {
          out.push_back(chained ? 1 : 0);
          for (unsigned b = 0; b < ps; ++b) out.push_back(static_cast<char>(value >> (8 * b)));
          ++count;
          // The slot below a frame's return address holds its saved pointer.
          if (chained) {
            if (slot - bottom < 2 * ps) break;
            slot -= ps;
          }
        }
      }
      if (slot - bottom < ps) break;
    }
    for (int b = 0; b < 4; ++b) out[b] = static_cast<char>(count >> (8 * b));
    return out;
  } catch (...) {
    return {};
  }
}

}  // namespace ruvex
