#include "reporter/core/startup/Startup_win.h"

#include <atomic>

#include "reporter/core/settings/MinDebugInfo.h"
#include "reporter/core/startup/RestartHandover_win.h"
#include "reporter/engines/symbols/sources/SymbolCache.h"
#include "reporter/core/startup/TempFolder_win.h"

namespace ruvex {
namespace {

std::atomic<TReporterStartup*> gCurrent{nullptr};

double PerformanceCounterMs() {
  LARGE_INTEGER frequency, now;
  if (!QueryPerformanceFrequency(&frequency) || !QueryPerformanceCounter(&now) || frequency.QuadPart == 0) return 0;
  return static_cast<double>(now.QuadPart) * 1000.0 / static_cast<double>(frequency.QuadPart);
}

}  // namespace

void ExitAfterInternalError(const wchar_t* text) {
  MessageBoxW(nullptr, text, L"RuvexExcept", MB_OK | MB_ICONERROR | MB_TASKMODAL);
  ExitProcess(kInternalErrorExitCode);
}

TReporterStartup* TReporterStartup::Current() { return gCurrent.load(); }

// The order follows what each step needs: the hand-over first (the
// predecessor may still use the temporary folder), then the folder, then
// the settings and what they switch on.
TReporterStartup::TReporterStartup(TEnabledServicesStarter startEnabled) {
  CheckRestartHandover();
  CleanTemporaryFolder();
  startTimeMs_ = PerformanceCounterMs();
  ResolveThreadFunctions();
  ResolveMainSettings();
  // Symbol lookups learn from each module's own block which separately kept
  // symbol file names its minimal embedded data.
  SetProcessMinDebugInfoSource(
      [this](Address module) { return ModuleMinDebugInfo(host_, ModuleHandle(static_cast<std::uintptr_t>(module))); });
  auto main = environment_.MainSettings();
  if (main) {
    OpenThreadRegistry();
    if (main->Enabled()) StartEnabledServices(startEnabled);
  } else {
    mainThreadId_ = FirstThreadOfProcess();
    if (!mainThreadId_) mainThreadId_ = GetCurrentThreadId();
  }
  if (registry_) registry_->SuspendPurging(false);
  gCurrent.store(this);
}

// The shut-down, in reverse order; nothing in it may escape.
TReporterStartup::~TReporterStartup() {
  enabledServices_.reset();
  gCurrent.store(nullptr);
  SetProcessMinDebugInfoSource(nullptr);
  registry_.reset();
  environment_.SetMainSettings(nullptr);
  faultRepModule_.Reset();
  tempFolderGuard_.Reset();
}

void TReporterStartup::CheckRestartHandover() {
  if (auto handover = TakeOverRestart()) {
    restarted_ = true;
    exceptionTimes_ = handover->exceptionTimes;
  }
}

void TReporterStartup::CleanTemporaryFolder() {
  std::u16string folder = ReporterTempFolder();
  if (folder.empty()) return;
  tempFolder_ = reinterpret_cast<const wchar_t*>(folder.c_str());
  TNamedObjectSecurity security;
  SetLastError(ERROR_SUCCESS);
  tempFolderGuard_ = TWinHandle(CreateMutexW(security.Get(), FALSE, TempFolderGuardName(folder).c_str()));
  // Another instance of this program is running and owns what is there.
  if (!tempFolderGuard_ || GetLastError() == ERROR_ALREADY_EXISTS) return;
  ownsTempFolder_ = true;
  CleanOwnTemporaryFolder();
}

void TReporterStartup::CleanOwnTemporaryFolder() {
  if (!ownsTempFolder_) return;
  TWin32TempFileSystem fileSystem;
  CleanTempFolder(fileSystem, std::u16string(tempFolder_.begin(), tempFolder_.end()));
}

void TReporterStartup::ResolveThreadFunctions() {
  if (HMODULE kernel = GetModuleHandleW(L"kernel32.dll")) openThread_ = GetProcAddress(kernel, "OpenThread");
  if (HMODULE ntdll = GetModuleHandleW(L"ntdll.dll")) ntOpenThread_ = GetProcAddress(ntdll, "NtOpenThread");
}

void TReporterStartup::ResolveMainSettings() {
  auto main = RESettings(environment_, host_.LibraryModule());
  // Invalid settings are dropped: every later read falls back to the defaults.
  environment_.SetMainSettings(main->IsValid() ? main : nullptr);
}

void TReporterStartup::OpenThreadRegistry() {
  auto registry = std::make_unique<TThreadRegistry>(GetCurrentThreadId());
  if (!registry->Valid()) ExitAfterInternalError(L"internal error (opening global buffer)");
  registry->SuspendPurging(true);
  mainThreadId_ = registry->OldestThreadId();
  if (!mainThreadId_) mainThreadId_ = GetCurrentThreadId();
  registry_ = std::move(registry);
}

// The interception machinery and the handling thread come from the starter,
// which lives above the start-up.
void TReporterStartup::StartEnabledServices(TEnabledServicesStarter startEnabled) {
  wchar_t system[MAX_PATH];
  UINT n = GetSystemDirectoryW(system, MAX_PATH);
  if (n > 0 && n < MAX_PATH - 16) {
    std::wstring path = std::wstring(system, n) + L"\\FaultRep.dll";
    faultRepModule_ = kelvane::TLibrary(LoadLibraryExW(path.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH));
    if (faultRepModule_) reportFault_ = GetProcAddress(faultRepModule_.Get(), "ReportFault");
  }
  if (startEnabled) enabledServices_ = startEnabled(*this);
}

}  // namespace ruvex
