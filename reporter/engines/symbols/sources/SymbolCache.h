#pragma once
// The symbol information of the modules of a process, loaded once per
// module and kept while the module's file and base stay the same; and the
// lookups the stack tracer and the disassembler make through it.
//
// Lookups come from several threads at once (the completion thread, user
// interface threads, the exception-handling thread): one mutex guards the
// cache, and the maps handed out are shared, so a map dropped from the
// cache stays alive for whoever still holds it.
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "reporter/engines/symbols/mapfile/MapFile.h"
#include "reporter/engines/symbols/sources/SymbolSources.h"

namespace ruvex {

// What the cache asks of the process.
class ISymbolHost {
 public:
  virtual ~ISymbolHost() = default;
  virtual const IMemoryReader& Memory() const = 0;
  virtual IFileSystem& Files() = 0;
  virtual IDebugHelp* DebugHelp() = 0;
  // The module of the reporter itself.
  virtual Address OwnModule() const = 0;
  // The module's full file name (up to 260 characters); empty when there
  // is no module at that base.
  virtual std::u16string ModuleFileName(Address module) const = 0;
  // The settings' fingerprint of separately kept symbol data of a module.
  virtual std::string MinDebugInfo(Address module) const { return {}; }
};

struct TAddressSymbolInfo {
  std::u16string moduleFileName, unit, publicName;
  Address publicAddress = 0;
  std::int32_t line = 0;
};

class TSymbolCache {
 public:
  explicit TSymbolCache(ISymbolHost& host) : host_(host) {}

  // The map of the module containing `address` (the own module for 0):
  // cached ones are valid; an invalid one is fresh and not kept.
  std::shared_ptr<const TMapFile> LookupModuleSymbols(Address address);

  // Unit, public and line of an address (0: of the caller's own place);
  // none without valid symbols.
  std::optional<TAddressSymbolInfo> AddressSymbolInfo(Address address);
  // "unit.name" for the exact start of a public ("name" when the unit is
  // empty), followed by " (module file name)" for minimal-form names.
  std::u16string ProcNameAt(Address address);
  // Keeps `line` when the address lies in [rangeStart, rangeEnd) and line
  // is not 0; otherwise looks it up and sets the range to reach the next
  // line entry.
  void LineNumberAt(Address address, std::int32_t& line, Address& rangeStart, Address& rangeEnd);

  // A new stack trace begins: each module file's write time is checked
  // again at its next lookup, and then not again within the trace (a trace
  // looks up every module hundreds of times).
  void BeginTrace();

  std::size_t Size() const;
  void Clear();

 private:
  std::int64_t WriteTime(const std::u16string& path);
  struct TEntry {
    std::int64_t time;  // last write of the module file
    Address imageBase;
    std::shared_ptr<const TMapFile> map;
    std::uint64_t checkedInTrace;
  };

  ISymbolHost& host_;
  mutable std::mutex mutex_;
  std::vector<TEntry> entries_;
  std::uint64_t trace_ = 0;
};

// The host of the running process (Windows only; null elsewhere).
std::unique_ptr<ISymbolHost> CreateProcessSymbolHost();

// Where the process host finds a module's fingerprint of separately kept
// symbol data: the reporter's settings, which the start-up registers (the
// engines know nothing of settings), before the first lookup.
using TMinDebugInfoSource = std::function<std::string(Address module)>;
void SetProcessMinDebugInfoSource(TMinDebugInfoSource source);
// The registered source's answer; empty without a source.
std::string ProcessMinDebugInfo(Address module);

// The process-wide cache over that host, created on first use and cleared
// when the process ends; null where there is no process host.
TSymbolCache* ProcessSymbolCache();

// The lookups through the process-wide cache, in the forms the stack
// tracer and the disassembler's name and line callbacks take.
std::shared_ptr<const TMapFile> LookupModuleSymbols(Address address);
std::u16string ProcNameAt(Address address);
void LineNumberAt(Address address, std::int32_t& line, Address& rangeStart, Address& rangeEnd);

}  // namespace ruvex
