// The exception box as a real window under wine on a private X display:
// the controls stand where the pure layout puts them, real key input runs
// the box's operations, the clipboard gets the text, the countdown acts.
#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <thread>

#include "common/win/NativeHandles_win.h"
#include "reporter/imaging/ScreenCapture.h"
#include "reporter/ui/box/BoxTestException.h"
#include "reporter/ui/box/BoxWindow_win.h"
#include "reporter/ui/box/ExceptionBox.h"

using namespace ruvex;

namespace {

constexpr char16_t kSampleReport[] =
    u"date/time          : 2024-03-07, 09:05:02, 42ms\r\n"
    u"computer name      : BUILDBOX\r\n"
    u"exception class    : EAccessViolation\r\n"
    u"exception message  : Access violation at address 0040A1B2 in module 'Kelvane.exe'.\r\n"
    u"\r\n"
    u"main thread ($1f4):\r\n"
    u"0040a1b2 +012 Kelvane.exe KV.Work  88 +3 RunTarget\r\n"
    u"0040b3c4 +004 Kelvane.exe KV.Work 120 +1 Main\r\n";

std::wstring Artefact(const wchar_t* name) {
  const char* dir = std::getenv("KELVANE_ARTEFACT_DIR");
  std::wstring path = dir ? std::wstring(dir, dir + std::strlen(dir)) : L".";
  return path + L"\\" + name;
}

void Key(WORD key, bool up) {
  INPUT in{};
  in.type = INPUT_KEYBOARD;
  in.ki.wVk = key;
  in.ki.dwFlags = up ? KEYEVENTF_KEYUP : 0;
  SendInput(1, &in, sizeof in);
}

// Real key input: modifiers down, the key, all up again.
void Press(WORD key, std::initializer_list<WORD> modifiers = {}) {
  for (WORD m : modifiers) Key(m, false);
  Key(key, false);
  Key(key, true);
  for (WORD m : modifiers) Key(m, true);
}

TBoxRect ChildRect(HWND parent, HWND child) {
  RECT r;
  GetWindowRect(child, &r);
  MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&r), 2);
  return {r.left, r.top, r.right - r.left, r.bottom - r.top};
}

std::u16string ClipboardText() {
  std::u16string text;
  for (int i = 0; i < 20 && !OpenClipboard(nullptr); ++i) Sleep(50);
  if (HANDLE data = GetClipboardData(CF_UNICODETEXT)) {
    if (auto* p = static_cast<const char16_t*>(GlobalLock(data))) {
      text = p;
      GlobalUnlock(data);
    }
  }
  CloseClipboard();
  return text;
}

// Shows the box for `t` on this thread while `drive` acts on it from another.
class BoxRun {
 public:
  explicit BoxRun(TBoxTestException& t) : t_(t) {
    // The close and restart actions wait for the complete report.
    t_.exception->MarkComplete();
    t_->SetBugReport(kSampleReport);
    hooks.beep = false;
    hooks.boxCreated = [this](kelvane::TWindowHandle box, bool) {
      CheckLayout(kelvane::ToHwnd(box));
      box_ = kelvane::ToHwnd(box);
    };
  }

  // Runs the box; `drive` gets the window once it is shown and in front.
  void Run(const std::function<void(HWND)>& drive) {
    std::thread driver([&] {
      for (int i = 0; i < 200 && !(box_ && IsWindowVisible(box_)); ++i) Sleep(20);
      ASSERT_TRUE(box_) << "no box appeared";
      for (int i = 0; i < 50 && GetForegroundWindow() != box_; ++i) Sleep(20);
      Sleep(300);
      drive(box_);
    });
    DWORD start = GetTickCount();
    ShowExceptionUi(*t_, hooks);
    seconds = (GetTickCount() - start) / 1000.0;
    driver.join();
  }

  TBoxHooks hooks;
  double seconds = 0;
  TBoxLayout expected;

 private:
  // What the real window shows equals the pure layout over the same font.
  void CheckLayout(HWND box) {
    TBoxKind kind = t_->GetShowSetting() == ssDetailBox   ? TBoxKind::detail
                    : t_->GetShowSetting() == ssSimpleBox ? TBoxKind::simple
                                                          : TBoxKind::full;
    if (box_) kind = TBoxKind::full;  // a box after the details request
    TBoxPlan plan = PlanBox(*t_, kind, hooks.options);
    TBoxFonts fonts;
    TGdiTextExtents extents(fonts.Dialog());
    TBoxLayoutInput input;
    input.plan = &plan;
    input.screen = BoxScreen();
    input.hasIcon = kind == TBoxKind::full && LoadGlyph(GetModuleHandleW(nullptr), L"REIBIG", 32);
    expected = LayOutBox(input, extents);
    RECT client;
    GetClientRect(box, &client);
    EXPECT_EQ((TBoxSize{client.right, client.bottom}), expected.client);
    for (int b = 0; b < kButtonCount; ++b) {
      HWND button = GetDlgItem(box, kFirstButtonId + b);
      EXPECT_EQ(button != nullptr, !expected.buttons[b].Empty()) << "button " << b;
      if (button) {
        EXPECT_EQ(ChildRect(box, button), expected.buttons[b]) << "button " << b;
      }
    }
    HWND text = FindWindowExW(box, nullptr, L"STATIC", nullptr);
    ASSERT_TRUE(text);
    EXPECT_EQ(ChildRect(box, text), expected.text);
  }

  TBoxTestException& t_;
  HWND box_ = nullptr;
};

bool Has(const std::vector<TExceptAction>& actions, TExceptAction a) {
  return std::find(actions.begin(), actions.end(), a) != actions.end();
}

}  // namespace

TEST(ExceptionBoxDesktop, FullBoxEscapeContinues) {
  TBoxTestException t;
  BoxRun run(t);
  COLORREF glyph = 0, icon = 0;
  run.Run([&](HWND box) {
    HDC screen = GetDC(nullptr);
    POINT inSend{3 + 8, 3 + 8}, inIcon{9 + 16, 10 + 16};
    ClientToScreen(GetDlgItem(box, kFirstButtonId + bSendBugReport), &inSend);
    ClientToScreen(box, &inIcon);
    glyph = GetPixel(screen, inSend.x, inSend.y);
    icon = GetPixel(screen, inIcon.x, inIcon.y);
    ReleaseDC(nullptr, screen);
    PNVBitmap shot = TakeScreenShot(false, false);
    ASSERT_TRUE(shot);
    RECT r;
    GetWindowRect(box, &r);
    std::wstring path = Artefact(L"box.png");
    EXPECT_TRUE(shot->SavePng(std::u16string(path.begin(), path.end()), TPngFormat::pf300kb));
    Press(VK_ESCAPE);
  });
  EXPECT_EQ(glyph, RGB(0xE0, 0x40, 0x20)) << "the send glyph at offset 3";
  EXPECT_EQ(icon, RGB(0x10, 0x60, 0xC0)) << "the big icon at 9, 10";
  EXPECT_EQ(run.expected.text.x, 51);
  EXPECT_TRUE(run.expected.stacked);
  EXPECT_EQ(run.expected.rows, 3);
  EXPECT_TRUE(Has(t.fake.firing.Actions(), eaContinueApplication));
  EXPECT_TRUE(t.fake.process.exitCodes.empty());
}

TEST(ExceptionBoxDesktop, EnterOnTheFocusedCloseButtonCloses) {
  TBoxTestException t;
  t->SetFocusedButton(bCloseApplication);
  BoxRun run(t);
  run.Run([](HWND) { Press(VK_RETURN); });
  EXPECT_EQ(t.fake.process.exitCodes, std::vector<std::uint32_t>{1});
}

TEST(ExceptionBoxDesktop, AltF4OnTheDetailBoxFollowsTheContinueRule) {
  TBoxTestException t;
  t->SetShowSetting(ssDetailBox);
  t->SetCanContinue(false);
  BoxRun run(t);
  run.Run([](HWND) { Press(VK_F4, {VK_MENU}); });
  EXPECT_EQ(t.fake.process.exitCodes, std::vector<std::uint32_t>{1}) << "cannot continue: close";
}

TEST(ExceptionBoxDesktop, CtrlCCopiesTheMessageOrTheReport) {
  TBoxTestException simple;
  simple->SetShowSetting(ssSimpleBox);
  std::u16string copied;
  BoxRun run(simple);
  run.Run([&](HWND) {
    Press('C', {VK_CONTROL});
    Sleep(200);
    copied = ClipboardText();
    Press(VK_ESCAPE);
  });
  EXPECT_EQ(copied, simple->GetExceptMessage());

  TBoxTestException details;
  details->SetAutoShowBugReport(true);
  auto header = details->GetBugReportHeader();
  header->SetContent(u"date/time", u"2024-03-07, 09:05:02, 42ms");
  header->SetContent(u"exception class", u"EAccessViolation");
  auto sections = details->GetBugReportSections();
  sections->SetContent(u"main thread ($1f4)", u"0040a1b2 +012 Kelvane.exe KV.Work  88 +3 RunTarget\r\n"
                                             u"0040b3c4 +004 Kelvane.exe KV.Work 120 +1 Main");
  sections->SetContent(u"modules", u"00400000 Kelvane.exe  1.0.0.0  C:\\Apps\\Kelvane.exe\r\n"
                                   u"77000000 ntdll.dll    10.0.1   C:\\Windows\\System32\\ntdll.dll\r\n"
                                   u"76000000 kernel32.dll 10.0.1   C:\\Windows\\System32\\kernel32.dll");
  BoxRun shown(details);
  int tabs = 0, rows = 0;
  shown.Run([&](HWND box) {
    HWND tabControl = FindWindowExW(box, nullptr, L"SysTabControl32", nullptr);
    tabs = static_cast<int>(SendMessageW(tabControl, TCM_GETITEMCOUNT, 0, 0));
    HWND list = FindWindowExW(box, nullptr, L"SysListView32", nullptr);
    rows = static_cast<int>(SendMessageW(list, LVM_GETITEMCOUNT, 0, 0));
    Press('C', {VK_CONTROL});
    Sleep(200);
    copied = ClipboardText();
    PNVBitmap shot = TakeScreenShot(false, false);
    std::wstring path = Artefact(L"box-details.png");
    if (shot) shot->SavePng(std::u16string(path.begin(), path.end()), TPngFormat::pf300kb);
    Press(VK_ESCAPE);
  });
  EXPECT_EQ(copied, kSampleReport);
  EXPECT_EQ(tabs, 3) << "general, call stack, modules";
  EXPECT_EQ(rows, 2) << "the header fields as rows";
}

TEST(ExceptionBoxDesktop, CountdownActsUnlessAKeyComesFirst) {
  TBoxTestException t;
  t->SetAutoClose(1);
  t->SetAutoDelay(2);
  BoxRun run(t);
  run.Run([](HWND) {});
  EXPECT_EQ(t.fake.process.exitCodes, std::vector<std::uint32_t>{1});
  EXPECT_GT(run.seconds, 1.5);
  EXPECT_LT(run.seconds, 4.0);

  TBoxTestException held;
  held->SetAutoClose(1);
  held->SetAutoDelay(2);
  BoxRun stopped(held);
  bool stillOpen = false;
  stopped.Run([&](HWND box) {
    Press(VK_SHIFT);
    Sleep(3'000);
    stillOpen = IsWindow(box) != FALSE;
    Press(VK_ESCAPE);
  });
  EXPECT_TRUE(stillOpen) << "the key stopped the countdown";
  EXPECT_EQ(held.fake.process.exitCodes, std::vector<std::uint32_t>{1}) << "Esc: the focused close button";
}

TEST(ExceptionBoxDesktop, DetailsButtonReopensAsFullBox) {
  TBoxTestException t;
  t->SetShowSetting(ssDetailBox);
  BoxRun run(t);
  int boxes = 0;
  auto created = run.hooks.boxCreated;
  run.hooks.boxCreated = [&](kelvane::TWindowHandle box, bool small) {
    ++boxes;
    created(box, small);
    if (boxes == 2) {
      EXPECT_FALSE(small);
      EXPECT_TRUE(FindWindowExW(kelvane::ToHwnd(box), nullptr, L"SysTabControl32", nullptr));
      PostMessageW(kelvane::ToHwnd(box), WM_KEYDOWN, VK_ESCAPE, 0);
    }
  };
  run.Run([](HWND box) {
    HWND details = GetDlgItem(box, kFirstButtonId + bShowBugReport);
    ASSERT_TRUE(details);
    SendMessageW(details, BM_CLICK, 0, 0);
  });
  EXPECT_EQ(boxes, 2);
  EXPECT_TRUE(Has(t.fake.firing.Actions(), eaShowBugReport));
  EXPECT_TRUE(Has(t.fake.firing.Actions(), eaContinueApplication));
}

TEST(ExceptionBoxDesktop, NothingShowsNoWindow) {
  TBoxTestException t;
  t->SetShowSetting(ssNothing);
  EXPECT_EQ(ShowExceptionUi(*t), TActionResult::done);
  EXPECT_FALSE(FindWindowW(kBoxWindowClass, nullptr));
}
