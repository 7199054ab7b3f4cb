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

#ifndef _WIN32
namespace {

// Without a window system the state is kept and nothing is shown.
class THeadlessProgressAlert final : public TProgressAlertBase {
 public:
  explicit THeadlessProgressAlert(std::u16string title) : TProgressAlertBase(std::move(title)) {}
  void ProcessMessages() override {}
  bool Show(void*, bool) override {
    std::lock_guard lock(mutex_);
    if (areas_.Count() == 0) areas_.AddArea(kPleaseWait, 1000);
    return false;
  }
  void Close() override {}
  void* WindowHandle() override { return nullptr; }
};

}  // namespace

PProgressAlert CreateProgressAlert(const std::u16string& title, void*, const std::u16string&) {
  return std::shared_ptr<THeadlessProgressAlert>(new THeadlessProgressAlert(title));
}
#endif

}  // namespace ruvex
