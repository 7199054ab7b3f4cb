// Real windows under a real window system: the screenshot of a window of
// known colours, a covering window of another process cut out, and the
// progress window's bar, stacking and close rules.
//   desktop_test.exe [gtest options]        the tests
//   desktop_test.exe --cover L T R B        helper: a topmost magenta window
#include <windows.h>

#include "common/win/NativeHandles_win.h"
#include <commctrl.h>

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>

#include "common/text/Utf.h"
#include "reporter/imaging/ScreenCapture.h"
#include "reporter/ui/ProgressAlert.h"

namespace {

using namespace ruvex;

constexpr COLORREF kQuadrants[4] = {RGB(255, 0, 0), RGB(0, 255, 0), RGB(0, 0, 255), RGB(17, 34, 51)};
constexpr COLORREF kCover = RGB(255, 0, 255);

LRESULT CALLBACK PaintQuadrants(HWND hwnd, UINT msg, WPARAM w, LPARAM l) {
  if (msg != WM_PAINT) return DefWindowProcW(hwnd, msg, w, l);
  PAINTSTRUCT ps;
  HDC dc = BeginPaint(hwnd, &ps);
  RECT c;
  GetClientRect(hwnd, &c);
  const int mx = c.right / 2, my = c.bottom / 2;
  const RECT parts[4] = {{0, 0, mx, my}, {mx, 0, c.right, my}, {0, my, mx, c.bottom}, {mx, my, c.right, c.bottom}};
  for (int i = 0; i < 4; ++i) {
    HBRUSH b = CreateSolidBrush(kQuadrants[i]);
    FillRect(dc, &parts[i], b);
    DeleteObject(b);
  }
  EndPaint(hwnd, &ps);
  return 0;
}

LRESULT CALLBACK PaintCover(HWND hwnd, UINT msg, WPARAM w, LPARAM l) {
  if (msg != WM_PAINT) return DefWindowProcW(hwnd, msg, w, l);
  PAINTSTRUCT ps;
  HDC dc = BeginPaint(hwnd, &ps);
  HBRUSH b = CreateSolidBrush(kCover);
  FillRect(dc, &ps.rcPaint, b);
  DeleteObject(b);
  EndPaint(hwnd, &ps);
  return 0;
}

HWND MakeWindow(const wchar_t* cls, WNDPROC proc, RECT r, DWORD exStyle) {
  WNDCLASSW wc{};
  wc.lpfnWndProc = proc;
  wc.hInstance = GetModuleHandleW(nullptr);
  wc.lpszClassName = cls;
  wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
  RegisterClassW(&wc);
  HWND hwnd = CreateWindowExW(exStyle, cls, L"", WS_POPUP | WS_VISIBLE, r.left, r.top, r.right - r.left,
                              r.bottom - r.top, nullptr, nullptr, wc.hInstance, nullptr);
  UpdateWindow(hwnd);
  return hwnd;
}

void Pump(int milliseconds) {
  const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(milliseconds);
  do {
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
      TranslateMessage(&msg);
      DispatchMessageW(&msg);
    }
    Sleep(10);
  } while (std::chrono::steady_clock::now() < end);
}

// Pumps until done() holds or two seconds pass.
template <typename F>
bool PumpUntil(F done) {
  for (int i = 0; i < 200; ++i) {
    if (done()) return true;
    Pump(10);
  }
  return done();
}

COLORREF PixelAt(INVBitmap& b, int x, int y) {
  const std::uint8_t* p = b.Pixels().At(x, y);
  return RGB(p[2], p[1], p[0]);
}

// The other process: a topmost window over the given rectangle.
class TCoveringProcess {
 public:
  // clickThrough: a translucent layered overlay that lets input through.
  explicit TCoveringProcess(RECT r, bool clickThrough = false) {
    wchar_t exe[MAX_PATH];
    GetModuleFileNameW(nullptr, exe, MAX_PATH);
    std::wstring cmd = L"\"" + std::wstring(exe) + L"\" --cover " + std::to_wstring(r.left) + L" " +
                       std::to_wstring(r.top) + L" " + std::to_wstring(r.right) + L" " + std::to_wstring(r.bottom) +
                       (clickThrough ? L" through" : L"");
    ready_ = CreateEventW(nullptr, TRUE, FALSE, L"RuvexDesktopTestCoverReady");
    STARTUPINFOW si{};
    si.cb = sizeof(si);
    ok_ = CreateProcessW(nullptr, cmd.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi_) &&
          WaitForSingleObject(ready_, 20000) == WAIT_OBJECT_0;
  }
  ~TCoveringProcess() {
    if (pi_.hProcess) {
      TerminateProcess(pi_.hProcess, 0);
      WaitForSingleObject(pi_.hProcess, 5000);
      CloseHandle(pi_.hProcess);
      CloseHandle(pi_.hThread);
    }
    CloseHandle(ready_);
  }
  bool ok() const { return ok_; }

 private:
  HANDLE ready_ = nullptr;
  PROCESS_INFORMATION pi_{};
  bool ok_ = false;
};

int RunCover(char** argv) {
  RECT r{std::atoi(argv[2]), std::atoi(argv[3]), std::atoi(argv[4]), std::atoi(argv[5])};
  const bool through = argv[6] && std::string(argv[6]) == "through";
  HWND window = MakeWindow(L"RuvexCover", PaintCover, r,
                           WS_EX_TOPMOST | (through ? WS_EX_LAYERED | WS_EX_TRANSPARENT : 0));
  if (through) SetLayeredWindowAttributes(window, 0, 128, LWA_ALPHA);
  Pump(300);
  HANDLE ready = OpenEventW(EVENT_MODIFY_STATE, FALSE, L"RuvexDesktopTestCoverReady");
  if (ready) SetEvent(ready);
  for (;;) Pump(1000);
}

std::wstring Artefact(const wchar_t* name) {
  const char* dir = std::getenv("KELVANE_ARTEFACT_DIR");
  std::wstring path = dir ? std::wstring(dir, dir + std::strlen(dir)) : L".";
  return path + L"\\" + name;
}

std::u16string U16(const std::wstring& w) { return std::u16string(w.begin(), w.end()); }

class Desktop : public ::testing::Test {
 protected:
  void SetUp() override {
    SetCursorPos(1000, 5);
    window_ = MakeWindow(L"RuvexQuadrants", PaintQuadrants, {100, 100, 300, 250}, 0);
    Pump(300);
  }
  void TearDown() override {
    DestroyWindow(window_);
    Pump(50);
  }
  HWND window_ = nullptr;
};

TEST_F(Desktop, CapturesOwnWindowPixelExactly) {
  PNVBitmap shot = TakeScreenShot(true, false);
  ASSERT_TRUE(shot);
  ASSERT_EQ(shot->GetWidth(), 200);
  ASSERT_EQ(shot->GetHeight(), 150);
  for (int y = 0; y < 150; ++y)
    for (int x = 0; x < 200; ++x) ASSERT_EQ(PixelAt(*shot, x, y), kQuadrants[(y >= 75) * 2 + (x >= 100)]) << x << "," << y;
  PNVBitmap screen = TakeScreenShot(false, true);
  ASSERT_TRUE(screen);
  EXPECT_EQ(screen->GetWidth(), 1024);
  EXPECT_EQ(screen->GetHeight(), 768);
  EXPECT_EQ(PixelAt(*screen, 150, 120), kQuadrants[0]);
  EXPECT_EQ(PixelAt(*screen, 250, 220), kQuadrants[3]);
}

TEST_F(Desktop, TheCursorIsDrawnAtItsHotspot) {
  SetCursorPos(150, 120);  // over the red quadrant
  Pump(100);
  CURSORINFO info{};
  info.cbSize = sizeof(info);
  if (!GetCursorInfo(&info) || !(info.flags & CURSOR_SHOWING)) GTEST_SKIP() << "no cursor shown on this display";
  PNVBitmap with = TakeScreenShot(true, true), without = TakeScreenShot(true, false);
  ASSERT_TRUE(with && without);
  int changed = 0, outside = 0;
  for (int y = 0; y < 150; ++y)
    for (int x = 0; x < 200; ++x) {
      if (PixelAt(*with, x, y) == PixelAt(*without, x, y)) continue;
      ++changed;
      if (x < 50 - 16 || x > 50 + 32 || y < 20 - 16 || y > 20 + 32) ++outside;
    }
  EXPECT_GT(changed, 20);
  EXPECT_EQ(outside, 0);  // only near the cursor's place in the window
}

TEST_F(Desktop, CoveringWindowOfAnotherProcessIsCutOut) {
  {
    TCoveringProcess cover({250, 50, 400, 400});  // over the right quarter of ours
    ASSERT_TRUE(cover.ok());
    Pump(200);
    PNVBitmap shot = TakeScreenShot(true, false);
    ASSERT_TRUE(shot);
    ASSERT_EQ(shot->GetWidth(), 200);
    EXPECT_EQ(PixelAt(*shot, 10, 10), kQuadrants[0]);
    EXPECT_EQ(PixelAt(*shot, 120, 10), kQuadrants[1]);
    EXPECT_EQ(PixelAt(*shot, 160, 10), RGB(255, 255, 255));
    EXPECT_EQ(PixelAt(*shot, 199, 140), RGB(255, 255, 255));
    PNVBitmap screen = TakeScreenShot(false, false);
    ASSERT_TRUE(screen);
    EXPECT_EQ(PixelAt(*screen, 260, 110), kCover);  // it is there on the screen
  }
  TCoveringProcess cover({50, 50, 400, 400});  // all of ours
  ASSERT_TRUE(cover.ok());
  Pump(200);
  EXPECT_FALSE(TakeScreenShot(true, false));
}

TEST_F(Desktop, AClickThroughOverlayOfAnotherProcessIsNotCovering) {
  TCoveringProcess overlay({50, 50, 400, 400}, true);  // over all of ours
  ASSERT_TRUE(overlay.ok());
  Pump(200);
  PNVBitmap shot = TakeScreenShot(true, false);
  ASSERT_TRUE(shot);  // an opaque window there leaves nothing to capture
  EXPECT_EQ(shot->GetWidth(), 200);
  EXPECT_NE(PixelAt(*shot, 160, 10), RGB(255, 255, 255));  // not cut out
}

HWND BarOf(IProgressAlert& alert) {
  return FindWindowExW(kelvane::ToHwnd(alert.WindowHandle()), nullptr, PROGRESS_CLASSW, nullptr);
}

TEST_F(Desktop, ProgressBarFollowsUpdatesFromAnotherThread) {
  PProgressAlert alert = CreateProgressAlert(u"Sending bug report", {}, u"");
  alert->AddArea(u"Connecting to server...", 500);
  alert->AddArea(u"Sending attachments...", 5000);
  alert->AddArea(u"", 1000);
  ASSERT_TRUE(alert->Show(kelvane::FromHwnd(window_), true));
  EXPECT_FALSE(alert->Show(kelvane::FromHwnd(window_), true));  // once
  EXPECT_FALSE(IsWindowEnabled(window_));
  HWND bar = BarOf(*alert);
  ASSERT_TRUE(bar);
  std::thread([&] {
    alert->AreaDone();
    alert->SetPosition(500);
  }).join();
  EXPECT_TRUE(PumpUntil([&] { return SendMessageW(bar, PBM_GETPOS, 0, 0) == 461; }));
  std::thread([&] { alert->SetCurrentArea(3); }).join();
  EXPECT_TRUE(PumpUntil([&] { return SendMessageW(bar, PBM_GETPOS, 0, 0) == 1000; }));
  wchar_t label[64] = {};
  GetWindowTextW(FindWindowExW(kelvane::ToHwnd(alert->WindowHandle()), nullptr, L"Static", nullptr), label, 64);
  EXPECT_STREQ(label, L"Sending attachments...");
  std::thread([&] { alert->SetTitle(u"Sending bug report (2)"); }).join();
  wchar_t title[64] = {};
  EXPECT_TRUE(PumpUntil([&] {
    GetWindowTextW(kelvane::ToHwnd(alert->WindowHandle()), title, 64);
    return std::wstring(title) == L"Sending bug report (2)";
  }));

  // Alt+F4 and the system menu's close do nothing.
  HWND hwnd = kelvane::ToHwnd(alert->WindowHandle());
  PostMessageW(hwnd, WM_SYSCOMMAND, SC_CLOSE, 0);
  PostMessageW(hwnd, WM_CLOSE, 0, 0);
  Pump(100);
  EXPECT_TRUE(IsWindow(hwnd));

  // A screenshot of the window for a look, then Close from a thread that
  // the window's thread is waiting for: it must not wait back.
  PNVBitmap shot = TakeScreenShot(true, false);
  ASSERT_TRUE(shot);
  EXPECT_TRUE(shot->SavePng(U16(Artefact(L"progress-window.png")), TPngFormat::pf256Colors));
  std::thread([&] { alert->Close(); }).join();
  EXPECT_TRUE(PumpUntil([&] { return !IsWindow(hwnd); }));
  EXPECT_TRUE(IsWindowEnabled(window_));
  EXPECT_FALSE(alert->WindowHandle());
}

TEST_F(Desktop, ProgressWindowGivesBackTheParentsState) {
  EnableWindow(window_, FALSE);
  PProgressAlert alert = CreateProgressAlert(u"t", {}, u"");
  ASSERT_TRUE(alert->Show(kelvane::FromHwnd(window_), true));
  wchar_t label[64] = {};
  GetWindowTextW(FindWindowExW(kelvane::ToHwnd(alert->WindowHandle()), nullptr, L"Static", nullptr), label, 64);
  EXPECT_STREQ(label, L"Please wait...");  // no area was added
  alert->Close();
  Pump(50);
  EXPECT_FALSE(IsWindowEnabled(window_));  // it was disabled before
  EnableWindow(window_, TRUE);
  ASSERT_TRUE(alert->Show(kelvane::FromHwnd(window_), false));  // a new window after Close
  alert->Close();
  EXPECT_TRUE(IsWindowEnabled(window_));
}

TEST_F(Desktop, LastReferenceReleasedOnAnotherThreadGivesTheParentBack) {
  for (const bool enabledBefore : {true, false}) {
    SCOPED_TRACE(enabledBefore ? "parent enabled before" : "parent disabled before");
    EnableWindow(window_, enabledBefore);
    PProgressAlert alert = CreateProgressAlert(u"t", {}, u"");
    ASSERT_TRUE(alert->Show(kelvane::FromHwnd(window_), true));
    HWND hwnd = kelvane::ToHwnd(alert->WindowHandle());
    EXPECT_FALSE(IsWindowEnabled(window_));
    std::thread([held = std::move(alert)]() mutable { held.reset(); }).join();
    EXPECT_TRUE(PumpUntil([&] { return !IsWindow(hwnd); }));
    EXPECT_EQ(IsWindowEnabled(window_) != FALSE, enabledBefore);
  }
  EnableWindow(window_, TRUE);
}

// The icon from this program's resources, alpha-blended over the button
// face: opaque red above, half-transparent blue and clear below.
TEST_F(Desktop, ProgressWindowShowsItsIcon) {
  PProgressAlert alert = CreateProgressAlert(u"Icon", kelvane::FromHmodule(GetModuleHandleW(nullptr)), u"REISEND32");
  alert->AddArea(u"One line", 1);
  ASSERT_TRUE(alert->Show({}, true));
  Pump(200);
  HWND hwnd = kelvane::ToHwnd(alert->WindowHandle());
  HWND icon = FindWindowExW(hwnd, nullptr, L"Button", nullptr);
  ASSERT_TRUE(icon);
  RECT r;
  GetWindowRect(icon, &r);
  EXPECT_EQ(r.right - r.left, 32);
  POINT at{0, 0};
  ClientToScreen(hwnd, &at);
  EXPECT_EQ(r.left - at.x, 9);
  EXPECT_EQ(r.top - at.y, 9);
  HWND label = FindWindowExW(hwnd, nullptr, L"Static", nullptr);
  RECT l;
  GetWindowRect(label, &l);
  EXPECT_EQ(l.left - at.x, 51);
  EXPECT_EQ(l.bottom - l.top, 26);
  PNVBitmap screen = TakeScreenShot(false, false);
  ASSERT_TRUE(screen);
  const COLORREF face = GetSysColor(COLOR_BTNFACE);
  EXPECT_EQ(PixelAt(*screen, r.left + 5, r.top + 5), RGB(255, 0, 0));
  EXPECT_EQ(PixelAt(*screen, r.left + 25, r.top + 25), face);
  EXPECT_EQ(PixelAt(*screen, r.left + 5, r.top + 25),
            RGB(GetRValue(face) * 127 / 255, GetGValue(face) * 127 / 255, (255 * 128 + GetBValue(face) * 127) / 255));
  screen->SavePng(U16(Artefact(L"progress-icon.png")), TPngFormat::pf256Colors);
  alert->Close();
}

RECT RectOf(IProgressAlert& a) {
  RECT r{};
  GetWindowRect(kelvane::ToHwnd(a.WindowHandle()), &r);
  return r;
}

TEST_F(Desktop, BackgroundWindowsStackOneHeightApart) {
  std::vector<PProgressAlert> alerts;
  for (int i = 0; i < 9; ++i) {
    alerts.push_back(CreateProgressAlert(u"Background", {}, u""));
    alerts.back()->AddArea(u"Sending in the background...", 1);
    ASSERT_TRUE(alerts.back()->Show({}, false));
  }
  Pump(100);
  RECT work;
  SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
  const RECT first = RectOf(*alerts[0]), second = RectOf(*alerts[1]);
  const int height = first.bottom - first.top;
  EXPECT_EQ(first.right, work.right - 2);
  EXPECT_EQ(first.bottom, work.bottom - 2);
  EXPECT_EQ(second.left, first.left);
  EXPECT_EQ(second.top, first.top - height);
  EXPECT_EQ(RectOf(*alerts[7]).top, first.top - 7 * height);
  EXPECT_EQ(RectOf(*alerts[8]).top, first.top);  // no slot left: the bottom place
  // The background windows do not take the focus from ours.
  EXPECT_NE(GetForegroundWindow(), kelvane::ToHwnd(alerts[0]->WindowHandle()));
  PNVBitmap shot = TakeScreenShot(false, false);
  if (shot) shot->SavePng(U16(Artefact(L"stacked-windows.png")), TPngFormat::pf256Colors);
  alerts.clear();  // freeing closes them and gives the slots back
  Pump(50);
  PProgressAlert again = CreateProgressAlert(u"Background", {}, u"");
  ASSERT_TRUE(again->Show({}, false));
  EXPECT_EQ(RectOf(*again).top, first.top);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc >= 6 && std::string(argv[1]) == "--cover") return RunCover(argv);
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
