#pragma once
// One exception box window (Windows): built from a plan and its layout,
// run modally with its own message loop on the calling thread.
#include <windows.h>

#include <array>
#include <memory>
#include <cstdint>
#include <vector>

#include "reporter/ui/box/BoxLayout.h"
#include "reporter/ui/box/ExceptionBox.h"
#include "reporter/ui/box/GdiExtents_win.h"
#include "reporter/ui/details/DetailsView_win.h"

namespace ruvex {

inline constexpr wchar_t kBoxWindowClass[] = L"RuvexExceptWndClass";
inline constexpr UINT kMsgReportChanged = 1801, kMsgShowDetails = 1802, kMsgCloseBox = 1803;
inline constexpr int kFirstButtonId = 100;
inline constexpr UINT_PTR kCountdownTimer = 777;

// A 16 x 16 (or 32 x 32) glyph: premultiplied pixels, bottom-up as stored.
struct TGlyph {
  int width = 0, height = 0;
  std::vector<std::uint32_t> pixels;
  explicit operator bool() const { return !pixels.empty(); }
};
// The bitmap resource only when its size is exactly header + pixels.
TGlyph LoadGlyph(HMODULE module, const wchar_t* name, int size);

class TExceptionBox {
 public:
  TExceptionBox(IREException& exception, const TBoxPlan& plan, const TBoxHooks& hooks);
  ~TExceptionBox();
  TExceptionBox(const TExceptionBox&) = delete;
  TExceptionBox& operator=(const TExceptionBox&) = delete;

  // Shows the box and runs its loop until it is gone; true when the user
  // asked for the details (the box then comes again as full box).
  bool Run();

 private:
  static LRESULT CALLBACK WindowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
  LRESULT DialogWndMethod(UINT msg, WPARAM wParam, LPARAM lParam);
  void Build();
  void CreateButtons();
  void CreateDetails();
  void UpdateDetails();
  void Show();
  // Keys of the loop; true when the key was taken.
  bool HandleKey(const MSG& msg);
  void Execute(TBoxCommand command);
  void DoDetails();
  void CloseRequest();
  void CloseMainWnd();
  void CopyToClipboard();
  void Tick();
  void StopCountdown();
  void DrawButton(const DRAWITEMSTRUCT& item);
  void FlashButton(TREButton button);
  TREButton ButtonOf(HWND control) const;

  IREException& FExc;
  TBoxPlan plan_;
  const TBoxHooks& hooks_;
  TBoxFonts fonts_;
  TBoxLayout layout_;
  HWND FMainWnd = nullptr;
  HWND text_ = nullptr, FIcoWnd = nullptr;
  std::unique_ptr<TDetailsView> details_;
  std::array<HWND, kButtonCount> buttons_{};
  std::array<TGlyph, kButtonCount> glyphs_;
  TGlyph bigIcon_;
  std::optional<TREButton> FTimerBtn;
  ULONGLONG FTime = 0;  // countdown start; 0: stopped
  int FOldX = -1;
  ULONGLONG FLastFocusTime = 0;
  int flashStep_ = -1;  // 0..7 while a click flashes
  SIZE FMinSize{0, 0};
  SIZE clientAtStart_{0, 0};
  bool FReshow = false;
  bool FShuttingDown = false;
};

}  // namespace ruvex
