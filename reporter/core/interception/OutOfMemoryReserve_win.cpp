#include "reporter/core/interception/OutOfMemoryReserve_win.h"

namespace ruvex {

void TOutOfMemoryReserve::Allocate() {
  std::lock_guard<std::mutex> guard(lock_);
  for (void*& block : reserved_)
    if (!block) block = VirtualAlloc(nullptr, kReservedSize, MEM_RESERVE, PAGE_NOACCESS);
  for (void*& block : committed_)
    if (!block) block = VirtualAlloc(nullptr, kCommittedSize, MEM_RESERVE | MEM_COMMIT, PAGE_NOACCESS);
}

void TOutOfMemoryReserve::Release() {
  std::lock_guard<std::mutex> guard(lock_);
  for (auto* blocks : {&reserved_, &committed_})
    for (void*& block : *blocks) {
      if (block) VirtualFree(block, 0, MEM_RELEASE);
      block = nullptr;
    }
}

}  // namespace ruvex
