#pragma once
// The loaded modules of the own process, found by walking its address
// space: one line per module with base, name, version and folder.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "reporter/engines/memory/MemoryReader.h"

namespace ruvex {

// The width of an address in this build: 8 digits for 32 bits, 16 for 64.
inline constexpr unsigned kAddressDigits = unsigned(sizeof(void*) * 2);

// One region of the address space as the memory manager reports it.
struct TAddressRegion {
  Address base = 0;
  std::uint64_t size = 0;
  Address allocationBase = 0;
  bool committed = false;
};

// What the list asks of the system.
class IModuleListSystem {
 public:
  virtual ~IModuleListSystem() = default;
  // The region holding `address`; none past the end of the address space.
  virtual std::optional<TAddressRegion> Query(Address address) const = 0;
  // The file name of the module loaded at `base` (room for 260
  // characters); none when no module is there.
  virtual std::optional<std::u16string> ModuleFileName(Address base) const = 0;
  // The long name the file system reports for the last component of `path`.
  virtual std::optional<std::u16string> LongComponentName(std::u16string_view path) const = 0;
  virtual std::u16string FileVersion(std::u16string_view path) const = 0;
};

// Bases of committed regions that begin their own allocation, each
// allocation once, in address order.
std::vector<Address> CandidateModuleBases(const IModuleListSystem& system);

// `path` with every component that holds "~" and no wildcard replaced by
// its long name.
std::u16string LongPathForm(std::u16string_view path, const IModuleListSystem& system);

struct TModuleRow {
  Address base = 0;
  std::u16string name;
  std::u16string version;
  std::u16string directory;
};

std::vector<TModuleRow> GatherModules(const IModuleListSystem& system);
std::u16string FormatModuleList(const std::vector<TModuleRow>& rows, unsigned addressDigits = kAddressDigits);

// The plug-in "modules": the list of the running process; empty off Windows.
std::u16string ModuleListPlugin();

}  // namespace ruvex
