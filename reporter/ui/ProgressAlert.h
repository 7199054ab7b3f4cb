#pragma once
// IProgressAlert: a small window with a caption and a progress bar while a
// bug report is being sent. The work is divided into weighted areas; the
// window can be modal to a parent or float, without activation, in the
// corner of the screen for background sends, several of them stacked.
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>

#include "common/win/NativeHandles.h"

#include "reporter/ui/ProgressAreas.h"

namespace ruvex {

class IProgressAlert {
 public:
  virtual ~IProgressAlert() = default;
  virtual std::u16string GetTitle() = 0;
  virtual void SetTitle(const std::u16string& title) = 0;
  virtual int GetPosition() = 0;
  // Per mille within the current area; any thread.
  virtual void SetPosition(int perMille) = 0;
  virtual void AddArea(const std::u16string& caption, std::uint64_t weight) = 0;
  virtual void ClearAreas() = 0;
  virtual void AreaDone() = 0;
  virtual int GetCurrentArea() = 0;
  virtual void SetCurrentArea(int index) = 0;
  // On the window's own thread: handles all pending messages.
  virtual void ProcessMessages() = 0;
  // Shows the window (over a parent, or none); true when this call made it.
  virtual bool Show(kelvane::TWindowHandle parentWindow, bool activate) = 0;
  // Any thread; from another one the window goes when its thread next
  // handles messages, and this call never waits for that thread.
  virtual void Close() = 0;
  // The bar position the window shows or will show, 0 ... 1,000.
  virtual int GetBarPosition() = 0;
  // The window while shown, else none.
  virtual kelvane::TWindowHandle WindowHandle() = 0;
};

using PProgressAlert = std::shared_ptr<IProgressAlert>;

// bitmapModule holds the 32 x 32 icon named bitmapName.
PProgressAlert CreateProgressAlert(const std::u16string& title, kelvane::TModuleHandle bitmapModule,
                                   const std::u16string& bitmapName);

// The caption shown when no area was added before Show.
inline constexpr char16_t kPleaseWait[] = u"Please wait...";

// The state all progress windows share, guarded for calls from any thread.
// The window half reacts to the changes through the three hooks.
class TProgressAlertBase : public IProgressAlert {
 public:
  std::u16string GetTitle() override;
  void SetTitle(const std::u16string& title) override;
  int GetPosition() override;
  void SetPosition(int perMille) override;
  void AddArea(const std::u16string& caption, std::uint64_t weight) override;
  void ClearAreas() override;
  void AreaDone() override;
  int GetCurrentArea() override;
  void SetCurrentArea(int index) override;
  int GetBarPosition() override;

 protected:
  explicit TProgressAlertBase(std::u16string title) : title_(std::move(title)) {}
  virtual void TitleChanged() {}
  virtual void CaptionChanged() {}
  virtual void BarChanged() {}

  std::mutex mutex_;
  std::u16string title_;
  TProgressAreas areas_;
};

}  // namespace ruvex
