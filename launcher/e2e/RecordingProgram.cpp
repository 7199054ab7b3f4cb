// A stand-in for the programs the launcher starts (browsers, the debug
// manager, npm): it records how it was started and ends at once. Each start
// writes one file into the folder named by KELVANE_E2E_RECORDS, holding its
// own path, its full command line, its start-up flags and show state, and
// its current folder, one "name=value" line each, in UTF-8.
#include <windows.h>

#include <string>

#include "common/text/Utf.h"
#include "common/win/WinText_win.h"

namespace {

std::string Utf8(const std::wstring& text) {
  return kelvane::Utf16ToUtf8(kelvane::FromWide(text.data(), text.size()));
}

std::wstring Environment(const wchar_t* name) {
  wchar_t buffer[4096];
  const DWORD n = GetEnvironmentVariableW(name, buffer, 4096);
  return n > 0 && n < 4096 ? std::wstring(buffer, n) : std::wstring();
}

}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
  const std::wstring folder = Environment(L"KELVANE_E2E_RECORDS");
  if (folder.empty()) return 2;

  wchar_t self[MAX_PATH];
  GetModuleFileNameW(nullptr, self, MAX_PATH);
  wchar_t current[MAX_PATH];
  GetCurrentDirectoryW(MAX_PATH, current);
  STARTUPINFOW startup{};
  startup.cb = sizeof(startup);
  GetStartupInfoW(&startup);

  const std::string record = "exe=" + Utf8(self) + "\ncommandline=" + Utf8(GetCommandLineW()) +
                             "\nflags=" + std::to_string(startup.dwFlags) +
                             "\nshow=" + std::to_string(startup.wShowWindow) + "\ncwd=" + Utf8(current) + "\n";

  // Written under a temporary name and renamed, so a reader never sees half a record.
  const std::wstring name = folder + L"\\" + std::to_wstring(GetCurrentProcessId()) + L"-" +
                            std::to_wstring(GetTickCount64());
  const std::wstring partial = name + L".part";
  HANDLE file = CreateFileW(partial.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return 3;
  DWORD written = 0;
  const BOOL ok = WriteFile(file, record.data(), static_cast<DWORD>(record.size()), &written, nullptr);
  CloseHandle(file);
  if (!ok || !MoveFileW(partial.c_str(), (name + L".rec").c_str())) return 4;
  return 0;
}
