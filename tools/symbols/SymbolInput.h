#pragma once
// Symbol and line information as the GNU tools print it for a mingw build,
// turned into the tables of a TMapFile at the image's addresses:
//   objdump -t IMAGE               the COFF symbol table (".file" entries
//                                  open a unit, function symbols follow it)
//   objdump --dwarf=decodedline    the DWARF line table
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "reporter/engines/symbols/mapfile/MapFile.h"
#include "reporter/engines/pe/headers/ModuleRanges.h"

namespace ruvex::symbols {

struct TImageLayout {
  bool i386 = false;             // names carry the C decoration ("_f", "_f@8")
  Address imageBase = 0;
  std::vector<Address> sections;  // start of each section, numbered from 1
  std::vector<bool> codeSections;
  TModuleRanges ranges;
};

// The layout of a PE file on disk; none when it is not one.
std::optional<TImageLayout> ReadImageLayout(std::string_view file);

// A code range of the DWARF line table and the source file its compilation
// unit was compiled from, without path.
struct TLineUnit {
  Address start = 0, end = 0;
  std::string name;
};

// The line table's sequences with their compilation units, by address.
std::vector<TLineUnit> LineUnits(std::string_view decodedLines);

// Functions of the symbol table: one segment per run of functions of the
// same source file, one public per function (names undecorated and
// demangled). The toolchain cuts the file records short ("netconnection."
// for netconnection.c); where `lineUnits` name a file that the record begins
// with, the unit takes that full name. Returns the number of publics.
int AddObjdumpSymbols(std::string_view text, const TImageLayout& layout, TMapFile& map,
                      const std::vector<TLineUnit>& lineUnits = {});

// Line records of the DWARF line table inside the code range; of several
// rows at one address the last holds. Returns the number of lines.
int AddDecodedLines(std::string_view text, const TImageLayout& layout, TMapFile& map);

// A readable C or C++ name for a symbol-table name.
std::string ReadableName(std::string name, bool i386);

}  // namespace ruvex::symbols
