#pragma once
// The "already reported" mark: exception objects the reporter has handled,
// kept in a set of its own so that the hidden-exception path can skip them.
// The exception's message stays as the application raised it.
#include <array>
#include <cstddef>
#include <cstdint>
#include <mutex>

namespace ruvex {

class TReportedMarks {
 public:
  static constexpr std::size_t kCapacity = 64;
  // Fixed room, no allocation: when full, the oldest mark gives way (an
  // object that old has long been released).
  void Mark(std::uintptr_t exceptObject);
  bool IsMarked(std::uintptr_t exceptObject) const;
  // The object is released; its address may be reused by a new one.
  void Forget(std::uintptr_t exceptObject);

 private:
  mutable std::mutex lock_;
  std::array<std::uintptr_t, kCapacity> objects_{};
  std::size_t next_ = 0;
};

}  // namespace ruvex
