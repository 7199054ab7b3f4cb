#pragma once
// The header values of the running process and system.
#include <windows.h>

#include "reporter/core/report/ReportHeader.h"

namespace ruvex {

class TWinHeaderSource final : public IHeaderSource {
 public:
  // startTick: GetTickCount64 when the reporter started; module: the library
  // module whose report this is (the executable when null).
  TWinHeaderSource(ULONGLONG startTick, HMODULE module);

  std::u16string ComputerName() override;
  std::u16string WtsClientName() override;
  std::u16string UserName() override;
  bool UserIsAdministrator() override;
  std::u16string RegisteredOwner() override;
  std::u16string RegisteredOrganization() override;
  std::u16string OperatingSystem() override;
  std::uint32_t BuildNumber() override;
  std::u16string SystemLanguage() override;
  std::int64_t SystemUpTimeMilliseconds() override;
  std::int64_t ProgramUpTimeMilliseconds() override;
  std::u16string ProcessorName() override;
  bool HasProcessorKey(int number) override;
  std::optional<TMemoryAmounts> PhysicalMemory() override;
  std::optional<TResourcePercent> SystemResources() override { return std::nullopt; }
  std::optional<TDriveSpace> SystemDriveSpace() override;
  std::optional<TDriveSpace> ProgramDriveSpace() override;
  std::optional<TDisplayMode> DisplayMode() override;
  std::uint32_t ProcessId() override;
  std::uint64_t AllocatedMemory() override;
  std::uint64_t LargestFreeBlock() override;
  std::u16string CommandLineWithParameters() override;
  std::u16string ExecutableFile() override;
  std::u16string ModuleFile() override;
  std::optional<TReportTime> LastWriteTime(const std::u16string& file) override;
  std::u16string FileVersion(const std::u16string& file) override;
  std::u16string LoadedModuleVersion(std::u16string_view moduleName) override;
  int LinkerMajorVersion(const std::u16string& file) override;

 private:
  ULONGLONG startTick_;
  HMODULE module_;
};

}  // namespace ruvex
