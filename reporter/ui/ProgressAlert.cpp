#include "reporter/ui/ProgressAlert.h"

namespace ruvex {

std::u16string TProgressAlertBase::GetTitle() {
  std::lock_guard lock(mutex_);
  return title_;
}

void TProgressAlertBase::SetTitle(const std::u16string& title) {
  {
    std::lock_guard lock(mutex_);
    if (title == title_) return;
    title_ = title;
  }
  TitleChanged();
}

int TProgressAlertBase::GetPosition() {
  std::lock_guard lock(mutex_);
  return areas_.GetPosition();
}

void TProgressAlertBase::SetPosition(int perMille) {
  {
    std::lock_guard lock(mutex_);
    areas_.SetPosition(perMille);
    if (areas_.Total() == 0) return;
  }
  BarChanged();
}

void TProgressAlertBase::AddArea(const std::u16string& caption, std::uint64_t weight) {
  bool first;
  {
    std::lock_guard lock(mutex_);
    if (!areas_.AddArea(caption, weight)) return;
    first = areas_.Count() == 1;
  }
  if (first) CaptionChanged();
}

void TProgressAlertBase::ClearAreas() {
  std::lock_guard lock(mutex_);
  areas_.ClearAreas();
}

void TProgressAlertBase::AreaDone() {
  int next;
  {
    std::lock_guard lock(mutex_);
    next = areas_.GetCurrentArea() + 1;
  }
  SetCurrentArea(next);
}

int TProgressAlertBase::GetCurrentArea() {
  std::lock_guard lock(mutex_);
  return areas_.GetCurrentArea();
}

void TProgressAlertBase::SetCurrentArea(int index) {
  {
    std::lock_guard lock(mutex_);
    if (!areas_.SetCurrentArea(index)) return;
  }
  CaptionChanged();
  BarChanged();
}

int TProgressAlertBase::GetBarPosition() {
  std::lock_guard lock(mutex_);
  return areas_.BarPosition();
}

}  // namespace ruvex
