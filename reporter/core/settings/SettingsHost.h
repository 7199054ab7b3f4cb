#pragma once
// What the settings need from the process and the system: module resources
// and names, version texts, folders, time, a message box. The Windows half
// asks the real API; tests use TFakeSettingsHost.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "common/files/LocalTime.h"
#include "common/win/NativeHandles.h"

namespace ruvex {

using ModuleHandle = kelvane::TModuleHandle;

using kelvane::TLocalTime;

enum class TShellFolder { desktop, userAppData, commonAppData, localAppData };

class ISettingsHost {
 public:
  virtual ~ISettingsHost() = default;
  virtual ModuleHandle ExecutableModule() const = 0;
  // The module that carries the reporter's code.
  virtual ModuleHandle LibraryModule() const = 0;
  // True when the reporter's code lives in a shared package serving others.
  virtual bool PackageMode() const = 0;
  virtual std::uint32_t ProcessId() const = 0;
  // The module's "TRUVEXEXCEPT" RCDATA resource, nullopt when it has none.
  virtual std::optional<std::string> SettingsBlock(ModuleHandle module) const = 0;
  // Full path of the module's file; empty when unknown.
  virtual std::u16string ModuleFileName(ModuleHandle module) const = 0;
  // File version from the module's version resource.
  virtual std::optional<std::u16string> FileVersion(ModuleHandle module) const = 0;
  // Follows the pointer at module base + offset to a zero-terminated ANSI
  // text; nullopt when anything on the way cannot be read.
  virtual std::optional<std::string> ReadVersionText(ModuleHandle module, std::int32_t offset) const = 0;
  // Loaded modules in ascending address order.
  virtual std::vector<ModuleHandle> ModulesByAddress() const = 0;
  // A loaded module by file name (without folder, case-insensitive); 0 if none.
  virtual ModuleHandle FindModule(std::u16string_view fileName) const = 0;
  virtual ModuleHandle ModuleOfAddress(std::uintptr_t address) const = 0;
  virtual void ShowMessage(std::u16string_view caption, std::u16string_view text) const = 0;
  virtual std::u16string ComputerName() const = 0;
  virtual std::u16string OsDescription() const = 0;
  virtual std::optional<std::u16string> ShellFolder(TShellFolder folder) const = 0;
  virtual TLocalTime LocalTime() const = 0;
};

}  // namespace ruvex
