#include "reporter/engines/symbols/sources/DebugHelp.h"
#include "common/text/Windows1252.h"
#include "common/text/FileNames.h"

#include <algorithm>

namespace ruvex {

using kelvane::FileNameOf;

using kelvane::EqualsIgnoreCase;

namespace {
}  // namespace

bool ReadProgramDatabase(IDebugHelp& help, IFileSystem&, const std::u16string& moduleFileName, TMapFile& map) {
  std::vector<TDbgLineRecord> lines;
  std::vector<TDbgSymbolRecord> symbols;
  const Address size = map.TopOfCode() > map.HInstance() ? map.TopOfCode() - map.HInstance() : 0;
  if (!help.Enumerate(moduleFileName, static_cast<std::uint32_t>(size), lines, symbols)) return false;

  const std::uint64_t shift = kDbgLoadBase + map.CorrectBase();
  auto place = [&](std::uint64_t address, Address& out) {
    if (address < shift) return false;
    out = map.BaseOfCode() + (address - shift);
    return true;
  };
  TMapFile m(map.CodeOnly());
  m.SetCodeRange(map.BaseOfCode(), map.TopOfCode());
  const TDbgLineRecord* previous = nullptr;
  for (const TDbgLineRecord& l : lines) {
    Address a = 0;
    if (!place(l.address, a)) continue;
    if (!previous || l.address < previous->address || l.line < previous->line ||
        !EqualsIgnoreCase(l.fileName, previous->fileName))
      m.AddSegment(true, a, 1, FileNameOf(l.fileName));
    m.AddLine(static_cast<std::int32_t>(l.line), a);
    previous = &l;
  }
  m.SortSegments();
  m.OptimiseSegments();
  m.ExtendLastSegmentTo(map.TopOfCode());
  // A public symbol repeats a function under its decorated linker name;
  // the function's own name is kept.
  std::vector<std::uint64_t> functions;
  for (const TDbgSymbolRecord& s : symbols)
    if (s.tag == kSymTagFunction) functions.push_back(s.address);
  std::sort(functions.begin(), functions.end());
  for (const TDbgSymbolRecord& s : symbols) {
    Address a = 0;
    if (s.tag != kSymTagFunction && s.tag != kSymTagPublicSymbol) continue;
    if (s.tag == kSymTagPublicSymbol && std::binary_search(functions.begin(), functions.end(), s.address)) continue;
    if (place(s.address, a)) m.AddPublic(true, s.name, a);
  }
  m.SortPublics();
  if (m.PublicCount() == 0 && m.LineCount() == 0) return false;
  map.AdoptTables(std::move(m));
  return true;
}

}  // namespace ruvex
