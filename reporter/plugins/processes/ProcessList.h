#pragma once
// The list of running processes: id, name, session, GDI and USER objects,
// priority and folder.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "reporter/plugins/processes/ProcessInformation.h"

namespace ruvex {

inline constexpr std::uint32_t kProcessQueryInformation = 0x400;
inline constexpr std::uint32_t kProcessQueryAndRead = 0x410;

struct TProcessCounters {
  std::int32_t priorityClass = -1;
  std::uint32_t gdiObjects = 0;
  std::uint32_t userObjects = 0;
};

// What the list asks of the system; each call opens the process with the
// rights it is given and fails quietly.
class IProcessSystem {
 public:
  virtual ~IProcessSystem() = default;
  virtual bool IsWindows9x() const = 0;
  // NT family: the records of the system's process information.
  virtual std::vector<TProcessRecord> SystemProcesses() = 0;
  // Windows 9x: the snapshot's entries (session 0, the executable file name).
  virtual std::vector<TProcessRecord> SnapshotProcesses() = 0;
  // The full path of the process's main module; none when the lookup
  // function is missing or the process does not open with `access`.
  virtual std::optional<std::u16string> ProcessImagePath(std::uint32_t processId, std::uint32_t access) = 0;
  virtual std::optional<TProcessCounters> ProcessCounters(std::uint32_t processId, std::uint32_t access) = 0;
  virtual std::u16string SystemDirectory() = 0;
};

struct TProcessRow {
  std::uint32_t processId = 0;
  std::uint32_t sessionId = 0;
  std::u16string name;
  std::u16string directory;
  TProcessCounters counters;
};

// "\SystemRoot\System32\..." onto the system directory, "\??\" dropped.
std::u16string NativePathToWin32(std::u16string path, std::u16string_view systemDirectory);

std::vector<TProcessRow> GatherProcesses(IProcessSystem& system);
std::u16string FormatProcessList(const std::vector<TProcessRow>& rows);

// The plug-in "processes": the list of the running system; empty off Windows.
std::u16string ProcessListPlugin();

}  // namespace ruvex
