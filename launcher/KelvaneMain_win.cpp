// The program's entry point: the launcher's main routine on the real Windows
// API, under the crash reporter's start-up.
#include <windows.h>

#include "launcher/KV.Work.h"
#include "launcher/platform/Win32Platform_win.h"
#include "reporter/core/interception/Interception_win.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
  // Crash reporter start-up here, its shut-down when `reporter` goes. Only
  // an embedded block that enables it lets it intercept anything.
  const ruvex::TReporterStartup reporter(&ruvex::StartInterception);
  const std::unique_ptr<kelvane::ILauncherPlatform> platform = kelvane::MakeWin32Platform();

  // An enabled reporter takes the error that leaves the main routine: it
  // travels on uncaught, and the reporter ends the program as its settings say.
  if (ruvex::TInterception::Active()) {
    int exitCode = kelvane::kExitDone;
    kelvane::Main(*platform, exitCode);
    return exitCode;
  }
  // Otherwise it is shown in the "Application Error" box (the executable's
  // file name as the module, the main routine's entry as the code address)
  // and ends the program with exit code 1.
  return kelvane::RunMainWithErrorBox(*platform);
}
