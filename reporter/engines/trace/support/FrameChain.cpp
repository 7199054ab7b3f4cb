#include "reporter/engines/trace/support/FrameChain.h"

namespace ruvex {

bool ReadSlot(const IMemoryReader& stack, Address slot, unsigned pointerSize, Address& value) {
  if (pointerSize == 8) return stack.ReadValue(slot, value);
  std::uint32_t v = 0;
  if (!stack.ReadValue(slot, v)) return false;
  value = v;
  return true;
}

TFrameSlots::TFrameSlots(const IMemoryReader& stack, Address framePointer, Address bottom, Address top,
                         unsigned pointerSize, const std::atomic<bool>* abort) {
  slots_.reserve(64);
  // A frame is the saved pointer and the return address above it.
  auto inside = [&](Address f) { return f >= bottom && top >= 2 * pointerSize && f <= top - 2 * pointerSize; };
  Address f = framePointer;
  if (!inside(f)) return;
  if (f + pointerSize > bottom) slots_.push_back(f + pointerSize);
  for (;;) {
    if (abort && abort->load()) break;
    Address next = 0;
    if (!ReadSlot(stack, f, pointerSize, next) || next <= f || !inside(next)) break;
    f = next;
    slots_.push_back(f + pointerSize);
  }
}

bool TFrameSlots::IsNext(Address slot) {
  while (!slots_.empty() && slots_.back() > slot) slots_.pop_back();
  return !slots_.empty() && slots_.back() == slot;
}

}  // namespace ruvex
