// The three inventory lists of this process next to what the system's own
// snapshot functions say, for a driver on the Linux side to compare:
//   inventory_sample.exe            the lists, two children of known priority,
//                                   and the handle count around 100 reports
//   inventory_sample.exe --wait     a child: sleeps until its parent ends it
#include <windows.h>
#include <tlhelp32.h>

#include <cstdint>
#include <cstdio>
#include <string>

#include "common/text/Utf.h"
#include "common/win/WinHandle_win.h"
#include "reporter/plugins/hardware/HardwareList.h"
#include "reporter/plugins/modules/ModuleList.h"
#include "reporter/plugins/processes/ProcessList.h"

namespace {

using kelvane::TWinHandle;

void Section(const char* name, const std::u16string& text) {
  std::printf("== %s\n%s\n", name, kelvane::Utf16ToUtf8(text).c_str());
}

void ToolhelpModules() {
  std::printf("== toolhelp modules\n");
  TWinHandle snapshot(CreateToolhelp32Snapshot(TH32CS_SNAPMODULE, 0));
  MODULEENTRY32W entry{sizeof entry};
  for (BOOL more = Module32FirstW(snapshot.Get(), &entry); more; more = Module32NextW(snapshot.Get(), &entry))
    std::printf("%p %s\n", static_cast<void*>(entry.modBaseAddr),
                kelvane::Utf16ToUtf8(reinterpret_cast<const char16_t*>(entry.szExePath)).c_str());
}

void ToolhelpProcesses() {
  std::printf("== toolhelp processes\n");
  TWinHandle snapshot(CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
  PROCESSENTRY32W entry{sizeof entry};
  for (BOOL more = Process32FirstW(snapshot.Get(), &entry); more; more = Process32NextW(snapshot.Get(), &entry))
    std::printf("%lu %s\n", static_cast<unsigned long>(entry.th32ProcessID),
                kelvane::Utf16ToUtf8(reinterpret_cast<const char16_t*>(entry.szExeFile)).c_str());
}

// A child of this program that waits, started with the given priority class.
PROCESS_INFORMATION StartChild(DWORD priorityClass) {
  wchar_t exe[MAX_PATH];
  GetModuleFileNameW(nullptr, exe, MAX_PATH);
  std::wstring command = L"\"" + std::wstring(exe) + L"\" --wait";
  STARTUPINFOW startup{sizeof startup};
  PROCESS_INFORMATION child{};
  CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, priorityClass, nullptr, nullptr, &startup, &child);
  // Some systems take the class only when it is set on the running process.
  SetPriorityClass(child.hProcess, priorityClass);
  return child;
}

void EndChild(PROCESS_INFORMATION& child) {
  if (!child.hProcess) return;
  TerminateProcess(child.hProcess, 0);
  WaitForSingleObject(child.hProcess, 5000);
  CloseHandle(child.hThread);
  CloseHandle(child.hProcess);
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc > 1 && std::wstring(argv[1]) == L"--wait") {
    Sleep(60000);
    return 0;
  }
  PROCESS_INFORMATION idle = StartChild(IDLE_PRIORITY_CLASS);
  PROCESS_INFORMATION below = StartChild(BELOW_NORMAL_PRIORITY_CLASS);
  Sleep(500);
  // The classes as the system reports them through the creator's handles.
  std::printf("== children\n%lu %lu %lx %lx\n", static_cast<unsigned long>(idle.dwProcessId),
              static_cast<unsigned long>(below.dwProcessId), GetPriorityClass(idle.hProcess),
              GetPriorityClass(below.hProcess));
  Section("modules", ruvex::ModuleListPlugin());
  ToolhelpModules();
  Section("processes", ruvex::ProcessListPlugin());
  ToolhelpProcesses();
  Section("hardware", ruvex::HardwareListPlugin());
  // A report lists all three: a hundred of them must not leak a handle.
  // The system hands out the lowest free handle value, so a leak shows as
  // a higher value for the same new object afterwards.
  const auto probeHandle = [] {
    HANDLE probe = CreateEventW(nullptr, FALSE, FALSE, nullptr);
    CloseHandle(probe);
    return reinterpret_cast<std::uintptr_t>(probe);
  };
  DWORD before = 0, after = 0;
  const std::uintptr_t probeBefore = probeHandle();
  GetProcessHandleCount(GetCurrentProcess(), &before);
  for (int i = 0; i < 100; ++i) {
    ruvex::ModuleListPlugin();
    ruvex::ProcessListPlugin();
    ruvex::HardwareListPlugin();
  }
  GetProcessHandleCount(GetCurrentProcess(), &after);
  const std::uintptr_t probeAfter = probeHandle();
  std::printf("== handles\n%lu %lu %llx %llx\n", static_cast<unsigned long>(before),
              static_cast<unsigned long>(after), static_cast<unsigned long long>(probeBefore),
              static_cast<unsigned long long>(probeAfter));
  EndChild(idle);
  EndChild(below);
  return 0;
}
