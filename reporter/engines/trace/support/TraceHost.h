#pragma once
// What the stack tracer asks of the process it traces: memory, the modules'
// file names and symbol information, and the defaults of a trace of the
// calling thread. The Windows half serves the running process; tests and
// fuzz targets serve images and stacks laid out in memory.
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "reporter/engines/symbols/mapfile/MapFile.h"
#include "reporter/engines/memory/MemoryReader.h"
#include "reporter/engines/x86/ParseFunction.h"

namespace ruvex {

class ITraceHost {
 public:
  virtual ~ITraceHost() = default;

  // 4 for a 32-bit process, 8 for a 64-bit one.
  virtual unsigned PointerSize() const = 0;
  // Reads that never fault; RegionAt answers the memory queries.
  virtual const IMemoryReader& Memory() const = 0;
  // Every committed region of the user address space, ascending.
  virtual std::vector<MemoryRegion> CommittedRegions() const = 0;
  // The module's full file name; empty when no module file is loaded there.
  virtual std::u16string ModuleFileName(Address module) const = 0;
  // The module's symbol information; null or invalid when there is none.
  virtual std::shared_ptr<const TMapFile> ModuleSymbols(Address module) = 0;
  // A trace begins: symbol sources whose freshness is checked once per
  // trace are checked again.
  virtual void BeginSymbolTrace() {}
  // The module that holds the reporter, and the program's executable.
  virtual Address OwnModule() const = 0;
  virtual Address MainModule() const = 0;
  // The reporter's own runtime routines, which its module carries no
  // symbols for.
  virtual TRuntimeRoutines OwnRuntimeRoutines() const { return {}; }
  // The runtime routine that runs a finally block on a normal exit; 0 when
  // there is none.
  virtual Address FinallyRoutine() const { return 0; }
  // An ANSI message dispatcher whose calls re-enter the program from the
  // system; 0 when it needs no special treatment.
  virtual Address AnsiDispatchMessage() const { return 0; }

  // Defaults of a trace of the calling thread; 0 when unknown.
  virtual Address CurrentStackPointer() const { return 0; }
  virtual Address CurrentStackBase() const { return 0; }
  virtual Address CallerAddress() const { return 0; }
};

// The unit, public, and line of an address from its module's symbols; none
// without valid symbols.
struct TSymbolAt {
  std::u16string moduleName;  // without path
  std::u16string unit, publicName;
  Address publicAddress = 0;
  std::int32_t line = 0;
  std::int32_t publicLine = 0;  // line of the public's start, 0 when unknown
};
std::optional<TSymbolAt> SymbolAt(ITraceHost& host, Address address);


}  // namespace ruvex
