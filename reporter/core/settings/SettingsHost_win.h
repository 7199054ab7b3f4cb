#pragma once
// The settings' view of the running process, through the Windows API.
#include "reporter/core/settings/SettingsHost.h"

namespace ruvex {

class TWin32SettingsHost : public ISettingsHost {
 public:
  ModuleHandle ExecutableModule() const override;
  ModuleHandle LibraryModule() const override;
  bool PackageMode() const override;
  std::uint32_t ProcessId() const override;
  std::optional<std::string> SettingsBlock(ModuleHandle module) const override;
  std::u16string ModuleFileName(ModuleHandle module) const override;
  std::optional<std::u16string> FileVersion(ModuleHandle module) const override;
  std::optional<std::string> ReadVersionText(ModuleHandle module, std::int32_t offset) const override;
  std::vector<ModuleHandle> ModulesByAddress() const override;
  ModuleHandle FindModule(std::u16string_view fileName) const override;
  ModuleHandle ModuleOfAddress(std::uintptr_t address) const override;
  void ShowMessage(std::u16string_view caption, std::u16string_view text) const override;
  std::u16string ComputerName() const override;
  std::u16string OsDescription() const override;
  std::optional<std::u16string> ShellFolder(TShellFolder folder) const override;
  TLocalTime LocalTime() const override;
};

}  // namespace ruvex
