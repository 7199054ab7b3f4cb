#pragma once
// The names a report's disassembly gives code addresses: the export name of
// the module that holds the address, else its symbol name ("Unit.Name"),
// and the source lines, all from the symbol cache. The module list is the
// report's snapshot, held by the caller for the whole report.
#include "reporter/engines/memory/MemoryReader.h"
#include "reporter/engines/symbols/sources/SymbolCache.h"
#include "reporter/engines/x86/InstrText.h"

namespace ruvex {

// `memory`, `modules` and `symbols` must outlive the names.
TCodeNames ReportCodeNames(const IMemoryReader& memory, const IModuleList& modules, TSymbolCache& symbols,
                           Address ownModule);

}  // namespace ruvex
