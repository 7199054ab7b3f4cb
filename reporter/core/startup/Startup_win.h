#pragma once
// The reporter's start-up and shut-down around the program's main routine.
// Without a settings block (as shipped) it stays passive: it cleans its
// temporary folder, checks for a restart hand-over, records the start time,
// resolves and drops the main settings and learns the main thread; it
// installs no hook and starts no thread.
#include <windows.h>

#include <array>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>

#include "reporter/core/settings/SettingsAnchor_win.h"
#include "reporter/core/settings/SettingsHost_win.h"
#include "reporter/core/settings/Settings.h"
#include "reporter/core/startup/ThreadRegistry_win.h"
#include "reporter/engines/system/os/NamedObjects_win.h"

namespace ruvex {

class TReporterStartup;

// What `Enabled` switches on beyond the start-up itself (interception, the
// handling thread). The start-up owns it and stops it first at shut-down.
class IEnabledServices {
 public:
  virtual ~IEnabledServices() = default;
};
using TEnabledServicesStarter = std::unique_ptr<IEnabledServices> (*)(TReporterStartup& startup);

class TReporterStartup {
 public:
  // `startEnabled` is called once when the main settings are valid and
  // enabled; without it an enabled reporter still intercepts nothing.
  explicit TReporterStartup(TEnabledServicesStarter startEnabled = nullptr);
  ~TReporterStartup();
  TReporterStartup(const TReporterStartup&) = delete;
  TReporterStartup& operator=(const TReporterStartup&) = delete;

  // The running reporter, or nullptr outside the start-up object's life.
  static TReporterStartup* Current();

  TSettingsEnvironment& Settings() { return environment_; }
  std::shared_ptr<TIRESettings> MainSettings() const { return environment_.MainSettings(); }
  // Thread registry; only with valid main settings.
  TThreadRegistry* Registry() const { return registry_.get(); }
  DWORD MainThreadId() const { return mainThreadId_; }
  // Performance counter at start, in milliseconds.
  double StartTimeMs() const { return startTimeMs_; }
  bool IsRestartedInstance() const { return restarted_; }
  const std::array<std::uint64_t, 10>& ExceptionTimes() const { return exceptionTimes_; }
  const std::wstring& TempFolder() const { return tempFolder_; }
  // Empties and removes the temporary folder again (at the start of every
  // exception handling), only when no other instance shares it.
  void CleanOwnTemporaryFolder();

  // "ReportFault" of the system folder's "FaultRep.dll", only when enabled.
  FARPROC ReportFault() const { return reportFault_; }

  std::mutex& ReserveLock() { return reserveLock_; }
  std::mutex& PatchListLock() { return patchListLock_; }

 private:
  void CheckRestartHandover();
  void CleanTemporaryFolder();
  void ResolveThreadFunctions();
  void ResolveMainSettings();
  void OpenThreadRegistry();
  void StartEnabledServices(TEnabledServicesStarter startEnabled);

  TWin32SettingsHost host_;
  TNamedSettingsAnchor anchor_;
  TSettingsEnvironment environment_{host_, anchor_};
  std::unique_ptr<TThreadRegistry> registry_;
  std::mutex reserveLock_;
  std::mutex patchListLock_;
  TWinHandle tempFolderGuard_;  // held while this instance may use its folder
  bool ownsTempFolder_ = false;  // no other instance held it at start
  std::wstring tempFolder_;
  DWORD mainThreadId_ = 0;
  double startTimeMs_ = 0;
  bool restarted_ = false;
  std::array<std::uint64_t, 10> exceptionTimes_{};
  kelvane::TLibrary faultRepModule_;
  FARPROC reportFault_ = nullptr;
  FARPROC openThread_ = nullptr;
  FARPROC ntOpenThread_ = nullptr;
  // Last member: stopped before everything it uses.
  std::unique_ptr<IEnabledServices> enabledServices_;
};

// Ends the process after an internal error; never with exit code 0.
[[noreturn]] void ExitAfterInternalError(const wchar_t* text);
inline constexpr UINT kInternalErrorExitCode = 1;

}  // namespace ruvex
