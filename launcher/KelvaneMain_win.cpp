// The program's entry point: the launcher's main routine on the real Windows
// API, with the top-level error handling of a passive crash reporter.
#include <windows.h>

#include "launcher/KV.Work.h"
#include "launcher/platform/Win32Platform_win.h"
#include "reporter/core/startup/Startup_win.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
  // Crash reporter start-up here, its shut-down when `reporter` goes.
  const ruvex::TReporterStartup reporter;

  // An error that leaves the main routine is shown in the "Application
  // Error" box (the executable's file name as the module, the main routine's
  // entry as the code address) and ends the program with exit code 1.
  const std::unique_ptr<kelvane::ILauncherPlatform> platform = kelvane::MakeWin32Platform();
  return kelvane::RunMainWithErrorBox(*platform);
}
