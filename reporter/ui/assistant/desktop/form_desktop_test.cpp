// An assistant form in a real window under a real window system: the
// controls where the layout model puts them (measured with the same fonts),
// real key input into a mandatory edit enabling "Next >", and the keys and
// commands that end a form.
#include <windows.h>

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <string>
#include <thread>

#include "reporter/imaging/ScreenCapture.h"
#include "reporter/ui/assistant/FormFonts_win.h"
#include "reporter/ui/assistant/FormLayout.h"
#include "reporter/ui/assistant/FormWindow.h"

namespace {

using namespace ruvex;

HWND WaitForForm(int milliseconds = 10000) {
  const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(milliseconds);
  while (std::chrono::steady_clock::now() < end) {
    if (HWND window = FindWindowW(reinterpret_cast<const wchar_t*>(kFormWindowClass), nullptr);
        window && IsWindowVisible(window))
      return window;
    Sleep(20);
  }
  return nullptr;
}

HWND Control(HWND form, int index) { return GetDlgItem(form, kFormControlIdBase + index); }

TNVRect ClientRect(HWND control) {
  RECT r;
  GetWindowRect(control, &r);
  MapWindowPoints(nullptr, GetParent(control), reinterpret_cast<POINT*>(&r), 2);
  return {int(r.left), int(r.top), int(r.right - r.left), int(r.bottom - r.top)};
}

void Key(WORD key, bool up) {
  INPUT input{};
  input.type = INPUT_KEYBOARD;
  input.ki.wVk = key;
  input.ki.dwFlags = up ? KEYEVENTF_KEYUP : 0;
  SendInput(1, &input, sizeof input);
}
void Press(WORD key) {
  Key(key, false);
  Key(key, true);
  Sleep(100);
}

// A picture of the application's windows for a look, in the artefact folder.
void SaveScreenShot(const char* name) {
  const char* dir = std::getenv("KELVANE_ARTEFACT_DIR");
  std::string path = std::string(dir ? dir : ".") + "\\" + name;
  if (PNVBitmap shot = TakeScreenShot(true, false)) shot->SavePng(std::u16string(path.begin(), path.end()),
                                                                  TPngFormat::pf256Colors);
}

// Shows the form on this thread while `user` acts on its window from another.
TNVModalResult ShowWhile(TNVForm& form, const std::function<void(HWND)>& user) {
  const auto windows = CreateFormWindows();
  std::thread other([&] {
    HWND window = WaitForForm();
    if (!window) return;
    Sleep(200);  // let the window settle before input arrives
    user(window);
  });
  const TNVModalResult result = windows->ShowModal(form, {});
  other.join();
  return result;
}

void ContactForm(TNVForm& form) {
  form.FTitle = u"Report this error";
  form.FMessage = u"How can we reach you?";
  form.FStep = 2;
  form.FSteps = 3;
  form.Add<TNVLabel>(u"MailLabel").FCaption = u"Your e-mail address:";
  form.Add<TNVEdit>(u"Mail").FOutputName = u"contact e-mail";
  form.Add<TNVLabel>(u"DoingLabel").FCaption = u"What were you doing when the error happened?";
  TNVEdit& doing = form.Add<TNVEdit>(u"Doing");
  doing.FLines = 3;
  doing.FOptional = true;
  form.Add<TNVCheckBox>(u"Shot").FCaption = u"Attach a screenshot";
}

TEST(FormWindow, ControlsSitWhereTheLayoutPutsThemAndTypingEnablesNext) {
  TNVForm form;
  ContactForm(form);
  TGdiTextMeasure measure;
  ASSERT_TRUE(measure.Ready());
  const TFormLayout expected = LayoutForm(form, measure);
  bool nextWasDisabled = false, nextGotEnabled = false;
  RECT client{};
  std::vector<TNVRect> seen(std::size_t(form.ItemCount()));
  const TNVModalResult result = ShowWhile(form, [&](HWND window) {
    GetClientRect(window, &client);
    for (int i = 0; i < form.ItemCount(); ++i) seen[std::size_t(i)] = ClientRect(Control(window, i));
    nextWasDisabled = !IsWindowEnabled(Control(window, kContinueButtonIndex));
    SaveScreenShot("assistant-form.png");
    // The mandatory edit has the focus first: real key strokes go to it.
    Press('K');
    for (int i = 0; i < 50 && !IsWindowEnabled(Control(window, kContinueButtonIndex)); ++i) Sleep(20);
    nextGotEnabled = IsWindowEnabled(Control(window, kContinueButtonIndex));
    PostMessageW(Control(window, kContinueButtonIndex), BM_CLICK, 0, 0);
  });
  EXPECT_EQ(client.right, expected.width);
  EXPECT_EQ(client.bottom, expected.height);
  for (int i = 0; i < form.ItemCount(); ++i) EXPECT_EQ(seen[std::size_t(i)], expected.items[std::size_t(i)]) << i;
  EXPECT_TRUE(nextWasDisabled);
  EXPECT_TRUE(nextGotEnabled);
  EXPECT_EQ(result, nvmOk);
  EXPECT_EQ(static_cast<TNVEdit*>(form.ItemByName(u"Mail"))->FText, u"k");
}

TEST(FormWindow, EscapeCancelsOnlyWhileCancelIsEnabledAndClosingCancels) {
  {
    TNVForm form;
    ContactForm(form);
    EXPECT_EQ(ShowWhile(form, [](HWND) { Press(VK_ESCAPE); }), nvmCancel);
  }
  TNVForm form;
  ContactForm(form);
  form.CancelButton().FEnabled = false;
  int closes = 0;
  form.FOnAction = [&](TNVAction action, TNVForm&, TNVItem*, IREException*) { closes += action == nvaFormClose; };
  bool stayedOpen = false;
  const TNVModalResult result = ShowWhile(form, [&](HWND window) {
    Press(VK_ESCAPE);
    stayedOpen = IsWindow(window);
    PostMessageW(window, WM_CLOSE, 0, 0);
  });
  EXPECT_TRUE(stayedOpen);
  EXPECT_EQ(result, nvmCancel);
  EXPECT_EQ(closes, 1);
}

TEST(FormWindow, CheckBoxClicksAndTimerTicksReachTheHandler) {
  TNVForm form;
  ContactForm(form);
  form.FTimer = 50;
  int ticks = 0, boxEvents = 0;
  form.FOnAction = [&](TNVAction action, TNVForm&, TNVItem* item, IREException*) {
    if (action != nvaItemEvent) return;
    if (!item) ++ticks;
    else if (item->Kind() == TNVItemKind::checkBox) ++boxEvents;
  };
  static_cast<TNVEdit*>(form.ItemByName(u"Mail"))->FText = u"rita@example.org";
  const TNVModalResult result = ShowWhile(form, [&](HWND window) {
    const int box = form.ItemByName(u"Shot")->FIndex;
    PostMessageW(Control(window, box), BM_CLICK, 0, 0);
    Sleep(400);
    PostMessageW(Control(window, kContinueButtonIndex), BM_CLICK, 0, 0);
  });
  EXPECT_EQ(result, nvmOk);
  EXPECT_EQ(boxEvents, 1);
  EXPECT_TRUE(static_cast<TNVCheckBox*>(form.ItemByName(u"Shot"))->FChecked);
  EXPECT_GE(ticks, 2);
}

}  // namespace

int main(int argc, char** argv) {
  testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
