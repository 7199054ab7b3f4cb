#pragma once
// A PE image's export table: names and ordinals of entries, lookup by name
// with forwarders followed across loaded modules, and the module of an
// address. Reads are bounded; a hostile table yields no result, never a
// fault.
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "reporter/engines/memory/MemoryReader.h"
#include "reporter/engines/pe/headers/PeImage.h"

namespace ruvex {

// Forwarders lead from module to module; a longer chain is a loop.
constexpr int kMaxForwarderChain = 16;
// Ordinals are 16 bits wide, so no real table holds more entries.
constexpr std::uint32_t kMaxExportEntries = 0x10000;

struct TExportDirectory {
  Address module = 0;
  std::uint32_t rva = 0;   // of the directory
  std::uint32_t size = 0;  // of the directory, forwarder texts included
  std::uint32_t ordinalBase = 0;
  std::uint32_t numberOfFunctions = 0;  // capped
  std::uint32_t numberOfNames = 0;      // capped
  std::uint32_t addressOfFunctions = 0;
  std::uint32_t addressOfNames = 0;
  std::uint32_t addressOfNameOrdinals = 0;
  std::uint32_t sizeOfImage = 0;

  bool IsForwarder(std::uint32_t entry) const { return entry >= rva && entry - rva < size; }
};

struct TExport {
  std::uint32_t ordinal = 0;  // ordinal base + index
  std::uint32_t rva = 0;      // the function entry as stored
  std::string name;           // empty for an export by ordinal only
  std::string forwarder;      // "MODULE.Name" when the entry is a forwarder
};

std::optional<TExportDirectory> ReadExportDirectory(const IMemoryReader& memory, Address module);

// Every non-empty entry of the table, in ordinal order.
std::vector<TExport> ListExports(const IMemoryReader& memory, Address module);

// The name of the export whose entry is `address`: its name, or "#" and its
// ordinal when it has none; with `unmangle`, a decorated name becomes unit,
// ".", readable name. Empty when no export has that entry.
std::u16string ExportName(const IMemoryReader& memory, Address module, Address address, bool unmangle);

// The stored entry of the first export named exactly `name`, or of ordinal
// N for the name "#N".
std::optional<std::uint32_t> ExportEntryByName(const IMemoryReader& memory, Address module, const std::string& name);

// The address an export entry stands for. A forwarder ("MODULE.Name",
// split at its first ".") is resolved in that module when it is loaded and
// is not this module; chains end after kMaxForwarderChain steps.
std::optional<Address> ResolveExport(const IMemoryReader& memory, const IModuleList& modules, Address module,
                                     std::uint32_t rva);

// What ImageProcAddress may ask of its surroundings.
struct TProcAddressHooks {
  // Offered a doubtful entry first: returns the entry to use, or none to
  // let the check against the module's file decide.
  std::function<std::optional<std::uint32_t>(Address module, const std::string& name, std::uint32_t entry)> verify;
  // The module's file laid out at the module's base; unset or null when
  // mapping files is switched off.
  std::function<std::unique_ptr<IMemoryReader>(Address module)> mapFile;
  // The system's own lookup, used when the export table has no such name.
  std::function<std::optional<Address>(Address module, const std::string& name)> systemLookup;
};

// The address of the export `name`. With `doubleCheck`, or when the entry
// points beyond the image (a sign of a patch in memory), the entry is
// confirmed by `verify` or taken from the module's file when the file's
// export directory matches the one in memory.
std::optional<Address> ImageProcAddress(const IMemoryReader& memory, const IModuleList& modules, Address module,
                                        const std::string& name, bool doubleCheck,
                                        const TProcAddressHooks& hooks = {});

// The hooks of the running process (Windows): the module's file from disk
// laid out at the module's base, and the system's procedure lookup.
TProcAddressHooks SystemProcAddressHooks();

// The module whose image holds `address`, found through the allocation base
// of the committed region there; none outside any module.
std::optional<ModuleEntry> ModuleOfAddress(const IMemoryReader& memory, const IModuleList& modules, Address address);

}  // namespace ruvex
