#include "reporter/ui/ProgressAreas.h"

#include <algorithm>

namespace ruvex {

std::uint64_t MulDiv64(std::uint64_t a, std::uint64_t b, std::uint64_t c) {
  // 128-bit product from 32-bit halves, then long division by c.
  const std::uint64_t aLo = a & 0xFFFFFFFFu, aHi = a >> 32, bLo = b & 0xFFFFFFFFu, bHi = b >> 32;
  const std::uint64_t lolo = aLo * bLo, hilo = aHi * bLo, lohi = aLo * bHi, hihi = aHi * bHi;
  const std::uint64_t middle = (lolo >> 32) + (hilo & 0xFFFFFFFFu) + (lohi & 0xFFFFFFFFu);
  std::uint64_t high = hihi + (hilo >> 32) + (lohi >> 32) + (middle >> 32);
  std::uint64_t low = (middle << 32) | (lolo & 0xFFFFFFFFu);
  std::uint64_t quotient = 0, remainder = 0;
  for (int bit = 127; bit >= 0; --bit) {
    const bool carry = remainder >> 63;
    remainder = (remainder << 1) | ((bit >= 64 ? high >> (bit - 64) : low >> bit) & 1);
    quotient <<= 1;
    if (carry || remainder >= c) {
      remainder -= c;
      quotient |= 1;
    }
  }
  return quotient;
}

bool TProgressAreas::AddArea(const std::u16string& caption, std::uint64_t weight) {
  if (total_ + weight < total_) return false;
  TProgressArea area;
  area.start = total_;
  area.weight = weight;
  area.caption = caption.empty() && !areas_.empty() ? areas_.back().caption : caption;
  areas_.push_back(std::move(area));
  total_ += weight;
  return true;
}

void TProgressAreas::ClearAreas() {
  areas_.clear();
  total_ = 0;
  currentArea_ = 0;
}

bool TProgressAreas::SetCurrentArea(int index) {
  if (areas_.empty() || index == currentArea_ || index < 0 || index > Count()) return false;
  if (index == Count()) {
    currentArea_ = Count() - 1;
    position_ = 1000;
  } else {
    currentArea_ = index;
    position_ = 0;
  }
  return true;
}

void TProgressAreas::SetPosition(int perMille) { position_ = std::clamp(perMille, 0, 1000); }

int TProgressAreas::BarPosition() const {
  if (total_ == 0 || areas_.empty()) return 0;
  const TProgressArea& area = areas_[static_cast<std::size_t>(std::clamp(currentArea_, 0, Count() - 1))];
  const std::uint64_t done = area.start + MulDiv64(area.weight, static_cast<std::uint64_t>(position_), 1000);
  return static_cast<int>(MulDiv64(done, 1000, total_));
}

std::u16string TProgressAreas::CurrentCaption() const {
  if (areas_.empty()) return {};
  return areas_[static_cast<std::size_t>(std::clamp(currentArea_, 0, Count() - 1))].caption;
}

std::vector<std::u16string> TProgressAreas::CaptionsAhead() const {
  std::vector<std::u16string> captions;
  for (int i = std::max(currentArea_, 0); i < Count(); ++i) captions.push_back(areas_[static_cast<std::size_t>(i)].caption);
  return captions;
}

}  // namespace ruvex
