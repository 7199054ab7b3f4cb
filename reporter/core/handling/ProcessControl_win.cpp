#include "reporter/core/handling/ProcessControl_win.h"

#include "reporter/core/startup/RestartHandover_win.h"

namespace ruvex {

std::u16string TWin32ProcessControl::CommandLine() const {
  const wchar_t* line = GetCommandLineW();
  return std::u16string(line, line + wcslen(line));
}

bool TWin32ProcessControl::StartSuccessor(std::u16string_view commandLine, const TExceptionHistory& history) {
  std::wstring line(commandLine.begin(), commandLine.end());
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION started{};
  if (!CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, CREATE_SUSPENDED, nullptr, nullptr, &startup,
                      &started))
    return false;
  kelvane::TWinHandle process(started.hProcess), thread(started.hThread);
  handover_ = OfferRestartHandover(process.Get(), started.dwProcessId, history.Times());
  if (!handover_) {
    // Without its block the successor would not wait for this process.
    TerminateProcess(process.Get(), 1);
    return false;
  }
  if (ResumeThread(thread.Get()) != static_cast<DWORD>(-1)) return true;
  TerminateProcess(process.Get(), 1);
  return false;
}

void TWin32ProcessControl::Terminate(std::uint32_t exitCode) { TerminateProcess(GetCurrentProcess(), exitCode); }

}  // namespace ruvex
