#include "reporter/core/flow/ReportedMark.h"

#include <algorithm>

namespace ruvex {

void TReportedMarks::Mark(std::uintptr_t exceptObject) {
  if (exceptObject == 0) return;
  std::lock_guard<std::mutex> hold(lock_);
  if (std::find(objects_.begin(), objects_.end(), exceptObject) != objects_.end()) return;
  objects_[next_] = exceptObject;
  next_ = (next_ + 1) % kCapacity;
}

bool TReportedMarks::IsMarked(std::uintptr_t exceptObject) const {
  if (exceptObject == 0) return false;
  std::lock_guard<std::mutex> hold(lock_);
  return std::find(objects_.begin(), objects_.end(), exceptObject) != objects_.end();
}

void TReportedMarks::Forget(std::uintptr_t exceptObject) {
  if (exceptObject == 0) return;
  std::lock_guard<std::mutex> hold(lock_);
  std::replace(objects_.begin(), objects_.end(), exceptObject, std::uintptr_t{0});
}

}  // namespace ruvex
