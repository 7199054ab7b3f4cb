#include "reporter/core/flow/RequestRing.h"

namespace ruvex {

bool TRequestRing::Write(const THandlingRequest& request) {
  {
    std::lock_guard<std::mutex> hold(lock_);
    if (count_ == kRequestSlots) return false;
    slots_[(head_ + count_) % kRequestSlots] = request;
    ++count_;
  }
  filled_.release();
  return true;
}

std::optional<THandlingRequest> TRequestRing::Read(std::chrono::milliseconds timeout) {
  if (!filled_.try_acquire_for(timeout)) return std::nullopt;
  std::lock_guard<std::mutex> hold(lock_);
  THandlingRequest request = slots_[head_];
  head_ = (head_ + 1) % kRequestSlots;
  --count_;
  return request;
}

std::size_t TRequestRing::Pending() const {
  std::lock_guard<std::mutex> hold(lock_);
  return count_;
}

}  // namespace ruvex
