#pragma once
// An in-memory ISettingsHost for tests: modules, blocks and system values
// are plain fields; message boxes are recorded instead of shown.
#include <map>
#include <mutex>

#include "reporter/core/settings/SettingsHost.h"

namespace ruvex {

struct TFakeModule {
  std::u16string path;
  std::optional<std::string> block;
  std::optional<std::u16string> fileVersion;
  std::map<std::int32_t, std::string> versionTexts;  // by VersionVar offset
};

class TFakeSettingsHost : public ISettingsHost {
 public:
  ModuleHandle executable{0x400000};
  ModuleHandle library{0x400000};
  bool packageMode = false;
  std::uint32_t processId = 0x1234;
  std::map<ModuleHandle, TFakeModule> modules;  // ordered by address
  std::u16string computerName = u"BUILDBOX";
  std::u16string osDescription = u"Windows 10 x64 build 19045";
  std::map<TShellFolder, std::u16string> folders;
  TLocalTime now{2024, 3, 7, 9, 5, 2, 42};

  struct TMessage { std::u16string caption, text; };
  std::vector<TMessage> Messages() const;

  ModuleHandle ExecutableModule() const override { return executable; }
  ModuleHandle LibraryModule() const override { return library; }
  bool PackageMode() const override { return packageMode; }
  std::uint32_t ProcessId() const override { return processId; }
  std::optional<std::string> SettingsBlock(ModuleHandle module) const override;
  std::u16string ModuleFileName(ModuleHandle module) const override;
  std::optional<std::u16string> FileVersion(ModuleHandle module) const override;
  std::optional<std::string> ReadVersionText(ModuleHandle module, std::int32_t offset) const override;
  std::vector<ModuleHandle> ModulesByAddress() const override;
  ModuleHandle FindModule(std::u16string_view fileName) const override;
  ModuleHandle ModuleOfAddress(std::uintptr_t address) const override;
  void ShowMessage(std::u16string_view caption, std::u16string_view text) const override;
  std::u16string ComputerName() const override { return computerName; }
  std::u16string OsDescription() const override { return osDescription; }
  std::optional<std::u16string> ShellFolder(TShellFolder folder) const override;
  TLocalTime LocalTime() const override { return now; }

 private:
  mutable std::mutex messagesLock_;
  mutable std::vector<TMessage> messages_;
};

}  // namespace ruvex
