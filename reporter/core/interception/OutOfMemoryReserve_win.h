#pragma once
// Address space and memory held back for the reporter: released at the
// start of every exception handling, so that an out-of-memory situation
// leaves room to report it, and taken again afterwards.
#include <windows.h>

#include <array>
#include <mutex>

namespace ruvex {

class TOutOfMemoryReserve {
 public:
  explicit TOutOfMemoryReserve(std::mutex& lock) : lock_(lock) {}
  ~TOutOfMemoryReserve() { Release(); }
  TOutOfMemoryReserve(const TOutOfMemoryReserve&) = delete;
  TOutOfMemoryReserve& operator=(const TOutOfMemoryReserve&) = delete;

  // Whatever of it is missing; what cannot be had now stays missing.
  void Allocate();
  void Release();

 private:
  static constexpr SIZE_T kReservedSize = 4u << 20;
  static constexpr SIZE_T kCommittedSize = 512u << 10;
  std::mutex& lock_;
  std::array<void*, 4> reserved_{};
  std::array<void*, 4> committed_{};
};

}  // namespace ruvex
