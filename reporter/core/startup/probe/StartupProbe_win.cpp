// ruvex_startup_probe report <file> | sleep <ms>
#include <windows.h>
#include <shellapi.h>

#include <cwchar>
#include <fstream>
#include <string>

#include "common/text/Utf.h"
#include "reporter/core/startup/Startup_win.h"

namespace {

std::string Utf8(const std::u16string& s) { return kelvane::Utf16ToUtf8(s); }

std::uint64_t NowFileTime() {
  FILETIME t;
  GetSystemTimeAsFileTime(&t);
  return (std::uint64_t(t.dwHighDateTime) << 32) | t.dwLowDateTime;
}

void Report(const wchar_t* path) {
  ruvex::TReporterStartup reporter;
  auto main = reporter.MainSettings();
  ruvex::TIRESettings plain(reporter.Settings(), ruvex::ModuleHandle());
  std::ofstream out(path, std::ios::binary);
  out << "valid=" << (main ? 1 : 0) << "\n";
  out << "enabled=" << plain.Enabled() << "\n";
  out << "autodelay=" << plain.GetAutoDelay() << "\n";
  out << "bugrepfilesize=" << plain.GetBugReportFileSize() << "\n";
  out << "titlebar=" << Utf8(plain.GetTitleBar()) << "\n";
  out << "exceptmsg=" << Utf8(plain.GetExceptMsg()) << "\n";
  out << "smtppassword=" << Utf8(plain.GetSmtpPassword()) << "\n";
  out << "registry=" << (reporter.Registry() ? 1 : 0) << "\n";
  out << "mainthread=" << (reporter.MainThreadId() == GetCurrentThreadId()) << "\n";
  if (reporter.Registry())
    out << "describe=" << Utf8(reporter.Registry()->Describe(GetCurrentThreadId(), false).text) << "\n";
  out << "restarted=" << reporter.IsRestartedInstance() << "\n";
  out << "times=";
  for (auto t : reporter.ExceptionTimes()) out << t << ",";
  out << "\n";
  out << "finished=" << NowFileTime() << "\n";
}

}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
  int argc = 0;
  wchar_t** argv = CommandLineToArgvW(GetCommandLineW(), &argc);
  if (argc == 3 && std::wcscmp(argv[1], L"report") == 0) {
    Report(argv[2]);
    return 0;
  }
  if (argc == 3 && std::wcscmp(argv[1], L"sleep") == 0) {
    Sleep(static_cast<DWORD>(std::wcstoul(argv[2], nullptr, 10)));
    return 0;
  }
  return 2;
}
