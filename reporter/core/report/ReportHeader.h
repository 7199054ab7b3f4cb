#pragma once
// The header of a new bug report: system, program and exception fields in
// their fixed order. Every system value comes from IHeaderSource (Windows in
// the program, a fake in tests); a source call that throws only drops its
// field.
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "reporter/core/fields/Fields.h"
#include "reporter/core/report/ReportFormat.h"

namespace ruvex {

struct TMemoryAmounts {
  std::uint64_t freeBytes = 0, totalBytes = 0;
};
struct TDriveSpace {
  char16_t drive = u'C';
  std::uint64_t freeBytes = 0;
};
struct TDisplayMode {
  int width = 0, height = 0, bitsPerPixel = 0, planes = 1;
};
struct TResourcePercent {
  int gdi = 0, user = 0;
};

class IHeaderSource {
 public:
  virtual ~IHeaderSource() = default;
  virtual std::u16string ComputerName() = 0;
  // Empty unless the process runs in a remote session or another session
  // than the console's.
  virtual std::u16string WtsClientName() = 0;
  virtual std::u16string UserName() = 0;
  virtual bool UserIsAdministrator() = 0;
  virtual std::u16string RegisteredOwner() = 0;
  virtual std::u16string RegisteredOrganization() = 0;
  virtual std::u16string OperatingSystem() = 0;
  virtual std::uint32_t BuildNumber() = 0;
  virtual std::u16string SystemLanguage() = 0;
  virtual std::int64_t SystemUpTimeMilliseconds() = 0;
  virtual std::int64_t ProgramUpTimeMilliseconds() = 0;
  // The registry's processor name, as stored.
  virtual std::u16string ProcessorName() = 0;
  // Whether the registry has a key for processor `number`.
  virtual bool HasProcessorKey(int number) = 0;
  virtual std::optional<TMemoryAmounts> PhysicalMemory() = 0;
  // Only on old systems.
  virtual std::optional<TResourcePercent> SystemResources() = 0;
  virtual std::optional<TDriveSpace> SystemDriveSpace() = 0;
  // Only when the program runs from another drive than the system's.
  virtual std::optional<TDriveSpace> ProgramDriveSpace() = 0;
  virtual std::optional<TDisplayMode> DisplayMode() = 0;
  virtual std::uint32_t ProcessId() = 0;
  virtual std::uint64_t AllocatedMemory() = 0;
  virtual std::uint64_t LargestFreeBlock() = 0;
  // Empty when the program was started without parameters.
  virtual std::u16string CommandLineWithParameters() = 0;
  virtual std::u16string ExecutableFile() = 0;
  virtual std::u16string ModuleFile() = 0;  // the library module
  virtual std::optional<TReportTime> LastWriteTime(const std::u16string& file) = 0;
  virtual std::u16string FileVersion(const std::u16string& file) = 0;
  // The file version of a loaded module; empty when it is not loaded.
  virtual std::u16string LoadedModuleVersion(std::u16string_view moduleName) = 0;
  virtual int LinkerMajorVersion(const std::u16string& file) = 0;
};

// The exception's side of the header.
struct THeaderFacts {
  TReportTime created;
  std::uint32_t exceptionNumber = 1;
  bool frozen = false;
  std::u16string exceptionClass, exceptionMessage;
  std::u16string frozenMessage;  // FrozenMsg
  bool showCommandLine = false;
  bool packageMode = false;
  std::u16string versionVar;
  // Plug-ins without an own section, in Plugins order: name and text.
  std::vector<std::pair<std::u16string, std::function<std::u16string()>>> pluginFields;
};

// The process-wide count of built headers, from 1.
std::uint32_t NextExceptionNumber();

// The message as reports show it: trailing "." and "!" become one ".".
std::u16string ReportMessage(std::u16string_view message);

// The first missing processor key number, probing in steps of 16 first.
int CountProcessors(const std::function<bool(int)>& hasKey);

// The header with its add index in front of "callstack crc", so that fields
// added later go in there, each behind the previous one.
std::shared_ptr<TIREFields> BuildReportHeader(IHeaderSource& source, const THeaderFacts& facts);

inline constexpr std::u16string_view kReporterVersion = u"5.0.99";

}  // namespace ruvex
