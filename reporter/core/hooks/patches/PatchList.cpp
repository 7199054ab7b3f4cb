#include "reporter/core/hooks/patches/PatchList.h"

#include <algorithm>

namespace ruvex {

bool TPatchList::Write(Address address, const TBytes& bytes) {
  const std::optional<std::uint32_t> old = memory_.MakeWritable(address, bytes.size());
  if (!old) return false;
  const bool written = memory_.Write(address, bytes.data(), bytes.size());
  memory_.RestoreProtection(address, bytes.size(), *old);
  if (written) memory_.FlushCode(address, bytes.size());
  return written;
}

TPatchResult TPatchList::Apply(Address address, const TBytes& newBytes, Address extraBuffer) {
  std::lock_guard<std::mutex> lock(mutex_);
  TCodePatch patch{address, TBytes(newBytes.size()), newBytes, extraBuffer};
  if (newBytes.empty() || !memory_.Read(address, patch.originalBytes.data(), newBytes.size())) {
    if (extraBuffer) memory_.FreeCode(extraBuffer);
    return TPatchResult::failed;
  }
  if (patch.originalBytes == newBytes) {
    if (extraBuffer) memory_.FreeCode(extraBuffer);
    return TPatchResult::alreadyInPlace;
  }
  if (!Write(address, newBytes)) {
    if (extraBuffer) memory_.FreeCode(extraBuffer);
    return TPatchResult::failed;
  }
  patches_.push_back(std::move(patch));
  return TPatchResult::applied;
}

bool TPatchList::UndoOne(const TCodePatch& patch) {
  TBytes now(patch.newBytes.size());
  if (!memory_.Read(patch.address, now.data(), now.size()) || now != patch.newBytes) return false;
  if (!Write(patch.address, patch.originalBytes)) return false;
  if (patch.extraBuffer) memory_.FreeCode(patch.extraBuffer);
  return true;
}

bool TPatchList::Undo(Address address) {
  std::lock_guard<std::mutex> lock(mutex_);
  auto it = std::find_if(patches_.rbegin(), patches_.rend(), [&](const TCodePatch& p) { return p.address == address; });
  if (it == patches_.rend()) return false;
  const bool undone = UndoOne(*it);
  patches_.erase(std::next(it).base());
  return undone;
}

void TPatchList::UndoAll() {
  std::lock_guard<std::mutex> lock(mutex_);
  // Newest first, so that two patches of one place unwind in order.
  for (auto it = patches_.rbegin(); it != patches_.rend(); ++it) UndoOne(*it);
  patches_.clear();
}

std::vector<TCodePatch> TPatchList::Patches() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return patches_;
}

}  // namespace ruvex
