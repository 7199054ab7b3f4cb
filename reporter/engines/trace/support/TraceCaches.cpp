#include "reporter/engines/trace/support/TraceCaches.h"

#include <algorithm>
#include <deque>

#include "common/text/FileNames.h"
#include "common/text/Format.h"
#include "common/text/Utf.h"
#include "reporter/engines/pe/exports/Exports.h"
#include "reporter/engines/pe/headers/ModuleRanges.h"
#include "reporter/engines/pe/headers/PeImage.h"

namespace ruvex {
namespace {

std::optional<std::uint32_t> ImageTimeStamp(const IMemoryReader& memory, const TNtHeaders& headers) {
  std::uint32_t stamp = 0;
  if (!memory.ReadValue(headers.address + 8, stamp)) return std::nullopt;
  return stamp;
}

// The exception-frame routines of the runtime unit, from the module's own
// symbols.
TRuntimeRoutines RuntimeRoutinesOf(const TMapFile& map) {
  TRuntimeRoutines r;
  r.handleOnException = map.FindPublic(true, u"System", u"@HandleOnException", true);
  r.handleAutoException = map.FindPublic(true, u"System", u"@HandleAutoException", true);
  r.handleFinally = map.FindPublic(true, u"System", u"@HandleFinally", true);
  r.halt0 = map.FindPublic(true, u"System", u"@Halt0", true);
  r.handleAnyException = map.FindPublic(true, u"System", u"@HandleAnyException", true);
  return r;
}

}  // namespace

void TTraceCaches::BeginTrace(ITraceHost& host, const ICodeModel& model, const IMemoryReader& memory) {
  host_ = &host;
  model_ = &model;
  memory_ = &memory;
  host.BeginSymbolTrace();
  for (int i = 0; i < ModuleCount(); ++i) {
    if (Revalidate(modules_[i])) continue;
    DropFunctionsOf(i);
    TTraceModule fresh;
    if (FillModule(fresh, modules_[i].handle)) {
      modules_[i] = std::move(fresh);
    } else {
      modules_[i] = TTraceModule{};  // nothing loaded there now; never matches an address
    }
  }
  // Code outside every module is generated and may have changed; the
  // per-trace rejection marks start afresh.
  DropFunctionsOf(-1);
  for (TTraceFunction& f : functions_) f.invalid = false;
}

bool TTraceCaches::Revalidate(const TTraceModule& m) const {
  if (m.handle == 0) return true;
  if (host_->ModuleFileName(m.handle) != m.path) return false;
  const std::optional<TNtHeaders> headers = ImageNtHeaders(*memory_, m.handle);
  if (!headers) return false;
  return ImageTimeStamp(*memory_, *headers) == m.timeStamp && headers->sizeOfImage == m.imageSize;
}

void TTraceCaches::DropFunctionsOf(int module) {
  // No links survive a trace, so indexes may change between traces.
  functions_.erase(std::remove_if(functions_.begin(), functions_.end(),
                                  [&](const TTraceFunction& f) { return f.module == module; }),
                   functions_.end());
  functionByEntry_.clear();
  for (int i = 0; i < FunctionCount(); ++i) functionByEntry_[functions_[i].fi.EntryPoint] = i;
}

bool TTraceCaches::FillModule(TTraceModule& m, Address base) {
  m.path = host_->ModuleFileName(base);
  if (m.path.empty()) return false;
  const std::optional<TNtHeaders> headers = ImageNtHeaders(*memory_, base);
  if (!headers) return false;
  m.handle = base;
  m.name = kelvane::FileNameOf(m.path);
  m.timeStamp = ImageTimeStamp(*memory_, *headers).value_or(0);
  m.imageSize = headers->sizeOfImage;
  const TModuleRanges r = ModuleRanges(*memory_, *headers);
  m.codeBegin = r.baseOfCode;
  m.codeEnd = r.topOfCode;
  m.dataBegin = r.baseOfData;
  m.dataEnd = r.topOfData;
  m.entryPoint = r.entryPoint;
  std::shared_ptr<const TMapFile> map = host_->ModuleSymbols(base);
  if (map && map->IsValid()) m.mapFile = std::move(map);
  for (const TExport& e : ListExports(*memory_, base)) {
    if (!e.forwarder.empty() || e.rva == 0) continue;
    m.exports.push_back({base + e.rva, e.name.empty() ? u"#" + kelvane::DecimalText(e.ordinal)
                                                      : kelvane::Utf8ToUtf16(e.name)});
  }
  std::stable_sort(m.exports.begin(), m.exports.end(),
                   [](const TTraceExport& a, const TTraceExport& b) { return a.address < b.address; });
  return true;
}

int TTraceCaches::RegisterModule(Address base) {
  if (base == 0) return -1;
  for (int i = 0; i < ModuleCount(); ++i)
    if (modules_[i].handle == base) return i;
  if (modules_.size() >= kMaxModules) return -1;
  TTraceModule m;
  if (!FillModule(m, base)) return -1;
  if (modules_.capacity() == modules_.size()) modules_.reserve(std::max<std::size_t>(16, 2 * modules_.size()));
  modules_.push_back(std::move(m));
  return ModuleCount() - 1;
}

int TTraceCaches::ModuleOf(Address address) {
  for (int i = 0; i < ModuleCount(); ++i)
    if (modules_[i].handle != 0 && (modules_[i].InCode(address) || modules_[i].InData(address))) return i;
  const std::optional<MemoryRegion> region = memory_->RegionAt(address);
  if (!region || region->allocationBase == 0) return -1;
  return RegisterModule(region->allocationBase);
}

int TTraceCaches::FindFunction(Address entry) const {
  const auto it = functionByEntry_.find(entry);
  return it == functionByEntry_.end() ? -1 : it->second;
}

std::u16string TTraceCaches::NameAt(int module, Address entry) const {
  if (module < 0) return {};
  const TTraceModule& m = modules_[module];
  if (m.mapFile) {
    const TMfPublic& p = m.mapFile->FindPublic(entry);
    if (p.IsValid && p.Address == entry) return p.Name;
  }
  const auto it = std::lower_bound(m.exports.begin(), m.exports.end(), entry,
                                   [](const TTraceExport& e, Address a) { return e.address < a; });
  return it != m.exports.end() && it->address == entry ? it->name : std::u16string();
}

bool TTraceCaches::AnalyseNew(Address entry, const std::u16string& name, bool approved, bool forced,
                              TTraceFunction& out) {
  out.module = ModuleOf(entry);
  TParseOptions options;
  const TRuntimeRoutines own = host_->OwnRuntimeRoutines();
  if (out.module >= 0) {
    const TTraceModule& m = modules_[out.module];
    if (m.handle == host_->OwnModule())
      options.runtime = own;
    else if (m.mapFile)
      options.runtime = RuntimeRoutinesOf(*m.mapFile);
  }
  // The C++ runtime's routines are the process's, whichever module calls them.
  options.runtime.cxxThrowException = own.cxxThrowException;
  options.runtime.cxxFrameHandler = own.cxxFrameHandler;
  // Calls into the ANSI dispatcher come back into the program from the
  // system: they count as calls to an unknown place.
  options.messageDispatch = host_->AnsiDispatchMessage();
  out.fi = model_->AnalyseFunction(*memory_, entry, options);
  if (!out.fi.IsValid) {
    // A model without analysis keeps every function by its entry alone.
    if (!forced && model_->AnalysesFunctions()) return false;
    out.fi = TFunctionInfo{};
    out.fi.EntryPoint = entry;  // no code: CodeLen stays 0
  }
  out.fi.EntryPoint = entry;
  out.name = name.empty() ? NameAt(out.module, entry) : name;
  out.approved = approved;
  return true;
}

int TTraceCaches::AddFunction(Address entry, const std::u16string& name, bool approved, bool forced) {
  // A work list, not recursion: chains of far jumps may be as long as the
  // code is hostile.
  struct TPending {
    Address entry;
    bool first;
  };
  std::deque<TPending> pending{{entry, true}};
  int result = -1;
  while (!pending.empty()) {
    const TPending p = pending.front();
    pending.pop_front();
    int index = FindFunction(p.entry);
    bool grew = false;
    if (index >= 0) {
      if (approved && !functions_[index].approved) {
        functions_[index].approved = true;
        grew = true;
      }
    } else if (functions_.size() < kMaxFunctions) {
      TTraceFunction f;
      if (AnalyseNew(p.entry, p.first ? name : std::u16string(), approved, p.first && forced, f)) {
        if (functions_.capacity() == functions_.size())
          functions_.reserve(std::max<std::size_t>(16, 2 * functions_.size()));
        functions_.push_back(std::move(f));
        index = FunctionCount() - 1;
        functionByEntry_[p.entry] = index;
        grew = true;
      }
    }
    if (p.first) result = index;
    if (!grew) continue;
    for (const TFarCall& c : functions_[index].fi.FarCalls)
      if (!c.Call && c.Target != 0) pending.push_back({c.Target, false});
  }
  return result;
}

}  // namespace ruvex
