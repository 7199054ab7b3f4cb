#pragma once
// The chain of saved frame pointers, followed up the stack from the
// thread's frame pointer: each frame's return-address slot is a certain
// location. The walk never leaves the stack range.
#include <atomic>
#include <cstdint>
#include <vector>

#include "reporter/engines/memory/MemoryReader.h"

namespace ruvex {

// The value of a stack slot, pointer-sized and little-endian.
bool ReadSlot(const IMemoryReader& stack, Address slot, unsigned pointerSize, Address& value);

class TFrameSlots {
 public:
  // Follows the chain from `framePointer` while each frame (saved pointer
  // and return address) lies in [bottom, top) and the next one is higher.
  TFrameSlots(const IMemoryReader& stack, Address framePointer, Address bottom, Address top, unsigned pointerSize,
              const std::atomic<bool>* abort = nullptr);

  // For a scan from the top down: forgets the slots above `slot` and tells
  // whether `slot` is the next one of the chain.
  bool IsNext(Address slot);

  const std::vector<Address>& Slots() const { return slots_; }  // ascending

 private:
  std::vector<Address> slots_;
};

}  // namespace ruvex
