#pragma once
// The work of a progress window, divided into weighted areas: the bar runs
// once from 0 to 1,000 over all areas together, in proportion to their
// weights, while each area reports its own progress in per mille.
#include <cstdint>
#include <string>
#include <vector>

namespace ruvex {

struct TProgressArea {
  std::uint64_t start = 0;  // the sum of the weights of all earlier areas
  std::uint64_t weight = 0;
  std::u16string caption;
};

// a * b / c rounded down, exact for all 64-bit values (c > 0).
std::uint64_t MulDiv64(std::uint64_t a, std::uint64_t b, std::uint64_t c);

class TProgressAreas {
 public:
  // An empty caption repeats the previous area's caption. Weights whose
  // total would pass 2^64 are refused (false).
  bool AddArea(const std::u16string& caption, std::uint64_t weight);
  void ClearAreas();
  // False when ignored: no areas, index equal to the current one, negative,
  // or above the area count. The area count means all done: the last area
  // stays current and the position becomes 1,000.
  bool SetCurrentArea(int index);
  bool AreaDone() { return SetCurrentArea(currentArea_ + 1); }
  // Per mille within the current area, kept within 0 ... 1,000.
  void SetPosition(int perMille);

  int GetPosition() const { return position_; }
  int GetCurrentArea() const { return currentArea_; }
  int Count() const { return static_cast<int>(areas_.size()); }
  std::uint64_t Total() const { return total_; }
  // The bar position 0 ... 1,000; 0 while the total is 0.
  int BarPosition() const;
  // The current area's caption, empty without areas.
  std::u16string CurrentCaption() const;
  // The captions of the current and all later areas (the label must fit each).
  std::vector<std::u16string> CaptionsAhead() const;

 private:
  std::vector<TProgressArea> areas_;
  std::uint64_t total_ = 0;
  int currentArea_ = 0;
  int position_ = 0;
};

}  // namespace ruvex
