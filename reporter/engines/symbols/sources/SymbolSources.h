#pragma once
// Finding and loading the symbol information of one module from the seven
// sources, in order: the embedded compact data (resource "RUVEX"/"EXCEPT"),
// external debug-symbol data inside the image, the sibling program database
// (".pdb"), text map (".map"), compact file (".ruvex"), debug file (".jdbg")
// and external debug-symbol file (".tds"). The first source that parses
// wins; one that exists but fails is passed over for the next.
#include <string>

#include "reporter/engines/symbols/mapfile/MapFile.h"
#include "reporter/engines/memory/MemoryReader.h"
#include "reporter/engines/symbols/sources/SymbolFiles.h"

namespace ruvex {

class IDebugHelp;

struct TSymbolSourceOptions {
  // Only compact symbol data (the resource and ".ruvex" files).
  bool onlyCompactFiles = false;
  // The settings' fingerprint of separately kept symbol data: where the
  // embedded data is minimal, the ".ruvex" file that matches it supplies
  // the names.
  std::string minDebugInfo;
};

struct TSymbolEnvironment {
  const IMemoryReader& memory;  // the module as loaded
  IFileSystem& files;
  IDebugHelp* debugHelp = nullptr;  // none: program databases are not read
};

// Fills `map` for the module loaded at `module` from file `moduleFileName`;
// returns map.IsValid().
bool LoadModuleSymbols(TMapFile& map, const TSymbolEnvironment& env, Address module,
                       const std::u16string& moduleFileName, const TSymbolSourceOptions& options = {});

}  // namespace ruvex
