// Waits for the top-level window titled as its first argument, writes the
// texts of its static controls (UTF-8, one per line) to the file named by its
// second argument, and presses the box's OK button. Exit code 0 when a box
// was found and closed, 1 when none appeared within the wait.
#include <windows.h>

#include <string>

#include "common/text/Utf.h"
#include "common/win/WinText_win.h"

namespace {

std::string Utf8(const std::wstring& text) {
  return kelvane::Utf16ToUtf8(kelvane::FromWide(text.data(), text.size()));
}

struct Found {
  std::string texts;
  HWND okButton = nullptr;
};

BOOL CALLBACK CollectChild(HWND child, LPARAM param) {
  auto& found = *reinterpret_cast<Found*>(param);
  wchar_t className[64] = {};
  GetClassNameW(child, className, 64);
  wchar_t text[4096] = {};
  GetWindowTextW(child, text, 4096);
  if (lstrcmpiW(className, L"Static") == 0 && text[0] != 0) found.texts += Utf8(text) + "\n";
  if (lstrcmpiW(className, L"Button") == 0 && GetDlgCtrlID(child) == IDOK) found.okButton = child;
  return TRUE;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc != 4) return 2;
  const std::wstring title = argv[1];
  const std::wstring output = argv[2];
  const DWORD waitMs = static_cast<DWORD>(_wtoi(argv[3]));

  // The window may be found before its controls have their texts: wait for
  // the text and the button as well.
  HWND box = nullptr;
  Found found;
  for (DWORD waited = 0; waited < waitMs; waited += 50) {
    box = FindWindowW(nullptr, title.c_str());
    if (box) {
      found = Found{};
      EnumChildWindows(box, CollectChild, reinterpret_cast<LPARAM>(&found));
      if (!found.texts.empty() && found.okButton) break;
    }
    Sleep(50);
  }
  if (!box) return 1;
  HANDLE file = CreateFileW(output.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file != INVALID_HANDLE_VALUE) {
    DWORD written = 0;
    WriteFile(file, found.texts.data(), static_cast<DWORD>(found.texts.size()), &written, nullptr);
    CloseHandle(file);
  }
  if (found.okButton) {
    SendMessageW(found.okButton, BM_CLICK, 0, 0);
  } else {
    PostMessageW(box, WM_COMMAND, IDOK, 0);
  }
  return 0;
}
