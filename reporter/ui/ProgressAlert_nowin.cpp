// Without a window system the progress window keeps its state and shows
// nothing.
#include "reporter/ui/ProgressAlert.h"

namespace ruvex {

namespace {

// Without a window system the state is kept and nothing is shown.
class THeadlessProgressAlert final : public TProgressAlertBase {
 public:
  explicit THeadlessProgressAlert(std::u16string title) : TProgressAlertBase(std::move(title)) {}
  void ProcessMessages() override {}
  bool Show(kelvane::TWindowHandle, bool) override {
    std::lock_guard lock(mutex_);
    if (areas_.Count() == 0) areas_.AddArea(kPleaseWait, 1000);
    return false;
  }
  void Close() override {}
  kelvane::TWindowHandle WindowHandle() override { return {}; }
};

}  // namespace

PProgressAlert CreateProgressAlert(const std::u16string& title, kelvane::TModuleHandle, const std::u16string&) {
  return std::shared_ptr<THeadlessProgressAlert>(new THeadlessProgressAlert(title));
}

}  // namespace ruvex
