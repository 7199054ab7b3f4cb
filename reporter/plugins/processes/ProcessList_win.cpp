#include <windows.h>
#include <tlhelp32.h>

#include "common/win/WinHandle_win.h"
#include "common/win/WinText_win.h"
#include "reporter/plugins/processes/ProcessList.h"

namespace ruvex {

namespace {

using TNtQuerySystemInformation = LONG(WINAPI*)(ULONG, PVOID, ULONG, PULONG);
using TGetModuleFileNameExW = DWORD(WINAPI*)(HANDLE, HMODULE, LPWSTR, DWORD);
using TGetGuiResources = DWORD(WINAPI*)(HANDLE, DWORD);

constexpr ULONG kSystemProcessInformation = 5;
constexpr DWORD kGdiObjects = 0, kUserObjects = 1;

template <class T>
T Lookup(HMODULE module, const char* name) {
  return module ? reinterpret_cast<T>(reinterpret_cast<void*>(GetProcAddress(module, name))) : nullptr;
}

// Looked up on first use and kept for the life of the process, as the
// libraries stay loaded.
struct TProcessFunctions {
  TNtQuerySystemInformation query = Lookup<TNtQuerySystemInformation>(GetModuleHandleW(L"ntdll.dll"),
                                                                       "NtQuerySystemInformation");
  TGetModuleFileNameExW moduleFileName =
      Lookup<TGetModuleFileNameExW>(LoadLibraryW(L"psapi.dll"), "GetModuleFileNameExW");
  TGetGuiResources guiResources = Lookup<TGetGuiResources>(GetModuleHandleW(L"user32.dll"), "GetGuiResources");

  static const TProcessFunctions& Get() {
    static const TProcessFunctions functions;
    return functions;
  }
};

class TWinProcessSystem final : public IProcessSystem {
 public:
  bool IsWindows9x() const override { return (GetVersion() & 0x80000000u) != 0; }

  std::vector<TProcessRecord> SystemProcesses() override {
    const auto query = TProcessFunctions::Get().query;
    if (!query) return {};
    const auto buffer = QueryProcessInformation([&](std::vector<std::uint8_t>& bytes) {
      ULONG needed = 0;
      const LONG status = query(kSystemProcessInformation, bytes.empty() ? nullptr : bytes.data(),
                                static_cast<ULONG>(bytes.size()), &needed);
      return TQueryAttempt{status >= 0 && !bytes.empty(), bytes.empty() ? needed : 0};
    });
    if (!buffer) return {};
    return ParseProcessRecords(*buffer, reinterpret_cast<std::uintptr_t>(buffer->data()), sizeof(void*));
  }

  std::vector<TProcessRecord> SnapshotProcesses() override {
    std::vector<TProcessRecord> records;
    kelvane::TWinHandle snapshot(CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
    if (!snapshot) return records;
    PROCESSENTRY32W entry{};
    entry.dwSize = sizeof entry;
    for (BOOL more = Process32FirstW(snapshot.Get(), &entry); more; more = Process32NextW(snapshot.Get(), &entry))
      records.push_back({entry.th32ProcessID, 0, kelvane::FromWide(entry.szExeFile)});
    return records;
  }

  std::optional<std::u16string> ProcessImagePath(std::uint32_t processId, std::uint32_t access) override {
    const auto moduleFileName = TProcessFunctions::Get().moduleFileName;
    if (!moduleFileName) return std::nullopt;
    kelvane::TWinHandle process(OpenProcess(access, FALSE, processId));
    if (!process) return std::nullopt;
    wchar_t path[MAX_PATH + 1] = {};
    const DWORD length = moduleFileName(process.Get(), nullptr, path, MAX_PATH);
    if (length == 0) return std::nullopt;
    return kelvane::FromWide(path, length);
  }

  std::optional<TProcessCounters> ProcessCounters(std::uint32_t processId, std::uint32_t access) override {
    kelvane::TWinHandle process(OpenProcess(access, FALSE, processId));
    if (!process) return std::nullopt;
    TProcessCounters counters;
    counters.priorityClass = static_cast<std::int32_t>(GetPriorityClass(process.Get()));
    if (const auto guiResources = TProcessFunctions::Get().guiResources) {
      counters.gdiObjects = guiResources(process.Get(), kGdiObjects);
      counters.userObjects = guiResources(process.Get(), kUserObjects);
    }
    return counters;
  }

  std::u16string SystemDirectory() override {
    wchar_t directory[MAX_PATH + 1] = {};
    const UINT length = GetSystemDirectoryW(directory, MAX_PATH);
    return length == 0 || length > MAX_PATH ? std::u16string() : kelvane::FromWide(directory, length);
  }
};

}  // namespace

std::u16string ProcessListPlugin() {
  try {
    TWinProcessSystem system;
    return FormatProcessList(GatherProcesses(system));
  } catch (...) {
    // A plug-in never raises: a failed list is an empty one.
    return {};
  }
}

}  // namespace ruvex
