#pragma once
// Program databases (".pdb") read through the system's debug-help library.
// The library sits behind IDebugHelp: the Windows half loads it in a
// private session; tests replay the records a real database holds.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "reporter/engines/symbols/mapfile/MapFile.h"
#include "reporter/engines/symbols/sources/SymbolFiles.h"

namespace ruvex {

// The module is loaded into the session at this base, whatever its own.
constexpr std::uint64_t kDbgLoadBase = 0x80000000;
constexpr std::uint32_t kSymTagFunction = 5;
constexpr std::uint32_t kSymTagPublicSymbol = 10;

struct TDbgLineRecord {
  std::u16string fileName;
  std::uint32_t line = 0;
  std::uint64_t address = 0;  // at kDbgLoadBase
};

struct TDbgSymbolRecord {
  std::u16string name;
  std::uint32_t tag = 0;
  std::uint64_t address = 0;  // at kDbgLoadBase
};

class IDebugHelp {
 public:
  virtual ~IDebugHelp() = default;
  // The line and symbol records of the module's database, in the order the
  // library enumerates them. False when the library or one of its
  // functions is missing, or the module cannot be loaded or described.
  virtual bool Enumerate(const std::u16string& moduleFileName, std::uint32_t imageSize,
                         std::vector<TDbgLineRecord>& lines, std::vector<TDbgSymbolRecord>& symbols) = 0;
};

// Records given up front: the test double.
class TReplayDebugHelp : public IDebugHelp {
 public:
  std::vector<TDbgLineRecord> lines;
  std::vector<TDbgSymbolRecord> symbols;
  bool available = true;
  int calls = 0;

  bool Enumerate(const std::u16string&, std::uint32_t, std::vector<TDbgLineRecord>& l,
                 std::vector<TDbgSymbolRecord>& s) override {
    ++calls;
    if (!available) return false;
    l = lines;
    s = symbols;
    return true;
  }
};

// Lines make the segments (a new one where the file changes or address or
// line goes back), functions and publics the publics; addresses lose
// kDbgLoadBase and map.CorrectBase() and are placed at map.BaseOfCode().
bool ReadProgramDatabase(IDebugHelp& help, IFileSystem& files, const std::u16string& moduleFileName, TMapFile& map);

// The library of the platform: dbghelp.dll in a private session (Windows),
// none elsewhere.
std::unique_ptr<IDebugHelp> SystemDebugHelp();

}  // namespace ruvex
