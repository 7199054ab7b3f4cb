#include "reporter/engines/trace/support/CodeNames.h"

#include <memory>

#include "reporter/engines/pe/exports/Exports.h"

namespace ruvex {

TCodeNames ReportCodeNames(const IMemoryReader& memory, const IModuleList& modules, TSymbolCache& symbols,
                           Address ownModule) {
  TCodeNames names;
  names.modules = &modules;
  names.ownModuleBase = ownModule;
  names.nameAt = [&memory, &modules, &symbols](Address a) -> std::u16string {
    if (const std::optional<ModuleEntry> m = modules.ModuleAt(a)) {
      std::u16string name = ExportName(memory, m->base, a, true);
      if (!name.empty()) return name;
    }
    return symbols.ProcNameAt(a);
  };
  // A listing asks for every line in turn: the range of the last answer
  // spares most lookups.
  struct TLastLine {
    std::int32_t line = 0;
    Address start = 0, end = 0;
  };
  names.lineAt = [&symbols, last = std::make_shared<TLastLine>()](Address a) -> unsigned {
    symbols.LineNumberAt(a, last->line, last->start, last->end);
    return last->line > 0 ? static_cast<unsigned>(last->line) : 0;
  };
  return names;
}

}  // namespace ruvex
