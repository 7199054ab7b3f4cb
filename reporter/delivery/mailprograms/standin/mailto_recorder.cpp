// A stand-in for the mail program registered for mailto: writes its whole
// command line, UTF-8, into the file named by KELVANE_MAILTO_RECORD.
#include <windows.h>

#include <fstream>
#include <string>

int wmain() {
  const wchar_t* line = GetCommandLineW();
  const int n = WideCharToMultiByte(CP_UTF8, 0, line, -1, nullptr, 0, nullptr, nullptr);
  std::string utf8(static_cast<std::size_t>(n > 0 ? n - 1 : 0), '\0');
  if (n > 1) WideCharToMultiByte(CP_UTF8, 0, line, -1, utf8.data(), n, nullptr, nullptr);
  wchar_t recordPath[MAX_PATH] = {};
  GetEnvironmentVariableW(L"KELVANE_MAILTO_RECORD", recordPath, MAX_PATH);
  std::ofstream(recordPath, std::ios::binary) << utf8;
  return 0;
}
