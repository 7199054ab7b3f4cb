// ruvex_minimal_symbols_probe <out file>: runs the reporter's start-up and
// writes what the process's symbol lookups give for one of its own
// functions. Its embedded symbol data is the minimal form; the names are in
// the ".ruvex" file beside it, which its settings block names.
#include <windows.h>

#include <fstream>

#include "common/text/Utf.h"
#include "reporter/core/startup/Startup_win.h"
#include "reporter/engines/symbols/sources/SymbolCache.h"

__attribute__((noinline)) int MinimalProbeFunction(int x) {
  volatile int y = x + 7;
  return y * 2;
}

int main(int argc, char** argv) {
  if (argc != 2) return 2;
  ruvex::TReporterStartup reporter;
  const auto function = reinterpret_cast<ruvex::Address>(&MinimalProbeFunction);
  const std::shared_ptr<const ruvex::TMapFile> map = ruvex::LookupModuleSymbols(function);
  std::ofstream out(argv[1], std::ios::binary);
  out << "valid=" << map->IsValid() << "\n";
  out << "name=" << kelvane::Utf16ToUtf8(ruvex::ProcNameAt(function)) << "\n";
  out << "fingerprint=" << map->MinDebugInfo() << "\n";
  out << "result=" << MinimalProbeFunction(1) << "\n";
  return 0;
}
