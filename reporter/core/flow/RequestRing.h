#pragma once
// The hand-over of requests to the handling thread: a ring of preallocated
// slots, a lock and a counting semaphore. Writing copies one whole record
// into a free slot or nothing at all, so a failed write never shifts the
// requests after it, and nothing is allocated on the faulting thread's way.
#include <array>
#include <chrono>
#include <cstddef>
#include <mutex>
#include <optional>
#include <semaphore>

#include "reporter/core/flow/HandlingRequest.h"

namespace ruvex {

inline constexpr std::size_t kRequestSlots = 16;

class TRequestRing {
 public:
  // False when every slot is taken: the request is not handled and its
  // thread must not wait for it.
  bool Write(const THandlingRequest& request);
  // The oldest request, waiting up to `timeout` for one.
  std::optional<THandlingRequest> Read(std::chrono::milliseconds timeout);
  std::size_t Pending() const;

 private:
  mutable std::mutex lock_;
  std::counting_semaphore<kRequestSlots> filled_{0};
  std::array<THandlingRequest, kRequestSlots> slots_{};
  std::size_t head_ = 0;  // the oldest request
  std::size_t count_ = 0;
};

}  // namespace ruvex
