#pragma once
// The modules and functions the tracer has met, kept from trace to trace
// because analysing them is the expensive part. Every trace starts by
// revalidating the modules: a library loaded again at a reused base gets a
// fresh entry instead of inheriting a stale name, ranges or symbols.
#include <cstdint>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "reporter/engines/symbols/mapfile/MapFile.h"
#include "reporter/engines/x86/ParseFunction.h"
#include "reporter/engines/trace/support/CodeModel.h"
#include "reporter/engines/trace/support/TraceHost.h"

namespace ruvex {

struct TTraceExport {
  Address address = 0;
  std::u16string name;
};

struct TTraceModule {
  Address handle = 0;  // the module's base
  std::u16string name; // file name without path
  Address codeBegin = 0, codeEnd = 0, dataBegin = 0, dataEnd = 0;
  Address entryPoint = 0;
  std::shared_ptr<const TMapFile> mapFile;  // valid, or null
  std::vector<TTraceExport> exports;        // ascending by address
  // What identifies the loaded file, checked at every trace.
  std::u16string path;
  std::uint32_t timeStamp = 0;
  std::uint32_t imageSize = 0;

  bool InCode(Address a) const { return codeBegin < a && a <= codeEnd; }
  bool InData(Address a) const { return dataBegin < a && a <= dataEnd; }
};

struct TTraceFunction {
  int module = -1;
  std::u16string name;
  TFunctionInfo fi;
  bool approved = false;  // a symbol or export names it, or an approved function jumps to it
  bool invalid = false;   // rejected in the current trace only
};

class TTraceCaches {
 public:
  // Bounds against hostile stacks and code: beyond them nothing is added.
  static constexpr std::size_t kMaxModules = 4096;
  static constexpr std::size_t kMaxFunctions = 1 << 16;

  // Binds the caches to one trace: `memory` is that trace's safe reader.
  void BeginTrace(ITraceHost& host, const ICodeModel& model, const IMemoryReader& memory);

  // The entry of the module loaded at `base`, registered on first use; -1
  // when there is no module file or no PE image there.
  int RegisterModule(Address base);
  // The module whose code or data range holds `address`, registering the
  // module of its allocation base when needed; -1 when none.
  int ModuleOf(Address address);
  const TTraceModule& Module(int index) const { return modules_[index]; }
  int ModuleCount() const { return static_cast<int>(modules_.size()); }

  // The function with this entry point, or -1.
  int FindFunction(Address entry) const;
  // Adds (or finds) the function at `entry`, and the targets of its far
  // jumps. Approving approves an existing entry and, in turn, what it jumps
  // to. `forced` keeps an undecodable entry as a function without code.
  int AddFunction(Address entry, const std::u16string& name, bool approved, bool forced = false);
  TTraceFunction& Function(int index) { return functions_[index]; }
  const TTraceFunction& Function(int index) const { return functions_[index]; }
  int FunctionCount() const { return static_cast<int>(functions_.size()); }

 private:
  bool Revalidate(const TTraceModule& m) const;
  void DropFunctionsOf(int module);
  bool FillModule(TTraceModule& m, Address base);
  bool AnalyseNew(Address entry, const std::u16string& name, bool approved, bool forced, TTraceFunction& out);
  std::u16string NameAt(int module, Address entry) const;

  ITraceHost* host_ = nullptr;
  const ICodeModel* model_ = nullptr;
  const IMemoryReader* memory_ = nullptr;
  std::vector<TTraceModule> modules_;
  std::vector<TTraceFunction> functions_;
  std::unordered_map<Address, int> functionByEntry_;
};

}  // namespace ruvex
