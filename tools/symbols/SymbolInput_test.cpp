// Text maps and compact data written from the symbol and line tables of
// real 32-bit images, read back by the reporter's readers and checked
// against addr2line and nm on sampled addresses.
#include "tools/symbols/SymbolInput.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <random>
#include <sstream>
#include <unistd.h>

#include "common/text/Utf.h"
#include "reporter/engines/symbols/readers/CompactSymbols.h"
#include "reporter/engines/pe/headers/ImageMemory.h"
#include "reporter/engines/symbols/sources/SymbolSources.h"
#include "reporter/engines/testing/TestImages.h"
#include "reporter/engines/symbols/readers/TextMap.h"
#include "tools/symbols/TextMapWriter.h"
#include "common/files/MemoryFileSystem.h"

namespace ruvex::symbols {
namespace {

using ruvex::testing::CommandOutput;

std::string ReadAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

struct TOracleRow {
  Address address;
  std::string function;  // addr2line -f
  int line;              // addr2line, 0 when unknown
  std::vector<std::string> nmNames;  // nm: the nearest function symbols at or below (aliases)

  bool NmNames(const std::string& name) const {
    return std::find(nmNames.begin(), nmNames.end(), name) != nmNames.end();
  }
};

std::vector<std::string> SplitLines(const std::string& text) {
  std::vector<std::string> out;
  std::istringstream in(text);
  for (std::string l; std::getline(in, l);) out.push_back(l);
  return out;
}

// nm -n: function symbols (text) by address, undecorated as the tool does.
std::map<Address, std::vector<std::string>> NmFunctions(const std::string& image, const TImageLayout& layout,
                                           const TMapFile& map) {
  std::map<Address, std::vector<std::string>> out;
  for (const std::string& l : SplitLines(CommandOutput("i686-w64-mingw32-nm -n '" + image + "'"))) {
    if (l.size() < 12 || (l[9] != 't' && l[9] != 'T')) continue;
    const Address a = std::strtoull(l.substr(0, 8).c_str(), nullptr, 16);
    if (map.FindPublic(a).Address == a) out[a].push_back(ReadableName(l.substr(11), layout.i386));
  }
  return out;
}

// GCC's clones of a function ("f.constprop.0", "f.isra.0", "f.part.0")
// keep the function's name in the debug information.
std::string WithoutCloneSuffix(std::string name) {
  for (const char* mark : {".constprop.", ".isra.", ".part.", ".cold"}) {
    const std::size_t at = name.find(mark);
    if (at != std::string::npos) name.resize(at);
  }
  return name;
}

// Debug information keeps the "@8" of stdcall names.
std::string WithoutArgumentBytes(std::string name) {
  const std::size_t at = name.rfind('@');
  if (at != std::string::npos && at > 0 && name.find_first_not_of("0123456789", at + 1) == std::string::npos)
    name.resize(at);
  return name;
}

// addr2line -a -f -i: per address the inlined frames, innermost first.
// The innermost frame's line is the line-table row; the outermost frame is
// the function the code lies in.
std::vector<TOracleRow> Oracle(const std::string& image, const std::vector<Address>& addresses,
                               const std::map<Address, std::vector<std::string>>& nm) {
  std::string command = "i686-w64-mingw32-addr2line -a -f -i -e '" + image + "'";
  char hex[32];
  for (Address a : addresses) {
    std::snprintf(hex, sizeof hex, " 0x%llx", static_cast<unsigned long long>(a));
    command += hex;
  }
  std::vector<TOracleRow> rows;
  const std::vector<std::string> out = SplitLines(CommandOutput(command));
  for (std::size_t i = 0; i < out.size();) {
    TOracleRow r{std::strtoull(out[i].c_str(), nullptr, 16), "", 0, {}};
    bool innermost = true;
    for (++i; i + 1 < out.size() && out[i].compare(0, 2, "0x") != 0; i += 2) {
      r.function = out[i];
      const std::size_t colon = out[i + 1].rfind(':');
      if (innermost && colon != std::string::npos) r.line = std::atoi(out[i + 1].c_str() + colon + 1);
      innermost = false;
    }
    auto it = nm.upper_bound(r.address);
    if (it != nm.begin()) r.nmNames = std::prev(it)->second;
    rows.push_back(r);
  }
  return rows;
}

TMapFile MapOfImage(const std::string& image, TImageLayout& layout) {
  const std::string file = ReadAll(image);
  auto l = ReadImageLayout(file);
  EXPECT_TRUE(l) << image;
  if (!l) return TMapFile();
  layout = *l;
  TMapFile map;
  map.SetCodeRange(layout.ranges.baseOfCode, layout.ranges.topOfCode);
  map.SetDataRange(layout.ranges.baseOfData, layout.ranges.topOfData);
  const std::string lines = CommandOutput("i686-w64-mingw32-objdump --dwarf=decodedline '" + image + "'");
  AddObjdumpSymbols(CommandOutput("i686-w64-mingw32-objdump -t '" + image + "'"), layout, map, LineUnits(lines));
  AddDecodedLines(lines, layout, map);
  return map;
}

// Addresses inside functions: starts, middles and last bytes.
std::vector<Address> Sample(const TMapFile& map, int count) {
  std::mt19937 rng(11);
  std::vector<Address> out;
  const auto& p = map.Publics();
  for (int i = 0; i < count && p.size() > 1; ++i) {
    const std::size_t k = rng() % (p.size() - 1);
    const Address size = p[k + 1].Address - p[k].Address;
    out.push_back(p[k].Address + (i % 3 == 0 ? 0 : i % 3 == 1 ? size - 1 : rng() % size));
  }
  return out;
}

class RealImage : public ::testing::TestWithParam<const char*> {};

TEST_P(RealImage, TextMapAndCompactDataAgreeWithAddr2lineAndNm) {
  std::string image;
  ASSERT_TRUE(ruvex::testing::FindTestImage(GetParam(), image));
  TImageLayout layout;
  const TMapFile source = MapOfImage(image, layout);
  ASSERT_GT(source.PublicCount(), 50);
  ASSERT_GT(source.LineCount(), 1000);

  TMapFile fromText;
  fromText.SetCodeRange(source.BaseOfCode(), source.TopOfCode());
  ASSERT_TRUE(ParseTextMap(WriteTextMap(source), fromText));
  fromText.SortLines();
  TMapFile fromCompact;
  fromCompact.SetCodeRange(source.BaseOfCode(), source.TopOfCode());
  ASSERT_TRUE(ParseCompactSymbols(WriteCompactSymbols(source), fromCompact));
  EXPECT_EQ(source.PublicCount(), fromText.PublicCount());
  EXPECT_EQ(source.LineCount(), fromText.LineCount());
  EXPECT_EQ(source.PublicCount(), fromCompact.PublicCount());
  EXPECT_EQ(source.LineCount(), fromCompact.LineCount());

  const std::vector<Address> sample = Sample(source, 300);
  const std::vector<TOracleRow> rows = Oracle(image, sample, NmFunctions(image, layout, source));
  ASSERT_EQ(sample.size(), rows.size());
  int sameName = 0, sameLine = 0, noRow = 0, noFunction = 0;
  for (const TOracleRow& r : rows) {
    const int expectedLine = r.line;
    for (const TMapFile* m : {&fromText, &fromCompact}) {
      EXPECT_TRUE(r.NmNames(kelvane::Utf16ToUtf8(m->FindPublic(r.address).Name))) << std::hex << r.address;
      const int line = m->FindLine(r.address);
      // Where the line table has no row (padding behind a sequence's end),
      // addr2line falls back to the function's declaration line; we say 0.
      if (line != 0) EXPECT_EQ(expectedLine, line) << std::hex << r.address << " " << r.function;
    }
    const int line = fromCompact.FindLine(r.address);
    if (r.function == "??")
      ++noFunction;
    else
      sameName += std::any_of(r.nmNames.begin(), r.nmNames.end(), [&](const std::string& n) {
        return WithoutCloneSuffix(WithoutArgumentBytes(r.function)) == WithoutCloneSuffix(n);
      });
    sameLine += line == expectedLine;
    noRow += line == 0 && expectedLine != 0;
  }
  // A third of the samples are last bytes, often alignment padding behind
  // the function, where addr2line knows no function. Elsewhere its names
  // agree, but for code without debug information (assembler routines,
  // import thunks) where it guesses from the nearest function it knows.
  EXPECT_LT(noRow * 10, static_cast<int>(rows.size()));
  EXPECT_GT(sameName * 100, (static_cast<int>(rows.size()) - noFunction) * 93);
  EXPECT_LT(noFunction * 5, static_cast<int>(rows.size()) * 2);
  std::printf("%s: %d publics, %d lines; %zu samples: names as nm %zu, as addr2line %d; lines as addr2line %d, "
              "padding %d, without a function for addr2line %d\n",
              GetParam(), source.PublicCount(), source.LineCount(), rows.size(), rows.size(), sameName, sameLine,
              noRow, noFunction);
}

// Every function of an image, found through the whole source search of a
// module laid out in memory: names as nm gives them, lines as addr2line.
void ExpectModuleResolves(const std::string& image, kelvane::TMemoryFileSystem& files, int minFunctions) {
  TImageMemory memory;
  ASSERT_TRUE(memory.AddImageFile(image));
  const ModuleEntry module = memory.Modules().at(0);
  TMapFile map;
  ASSERT_TRUE(LoadModuleSymbols(map, {memory, files, nullptr}, module.base, kelvane::U16("C:\\app\\" + std::filesystem::path(image).filename().string())));
  TImageLayout layout;
  const TMapFile reference = MapOfImage(image, layout);
  ASSERT_GE(map.PublicCount(), minFunctions);
  std::vector<Address> sample;
  for (const TMfPublic& p : reference.Publics()) sample.push_back(p.Address + 1);
  const std::vector<TOracleRow> rows = Oracle(image, sample, NmFunctions(image, layout, reference));
  ASSERT_EQ(sample.size(), rows.size());
  for (const TOracleRow& r : rows) {
    const std::string name = kelvane::Utf16ToUtf8(map.FindPublic(r.address).Name);
    EXPECT_TRUE(r.NmNames(name)) << std::hex << r.address << ": " << name << " where nm has "
                                 << (r.nmNames.empty() ? std::string("nothing") : r.nmNames.front());
    const int line = map.FindLine(r.address);
    if (line != 0 || r.function != "??") EXPECT_EQ(r.line, line) << std::hex << r.address << " " << r.function;
  }
  EXPECT_FALSE(map.FindSegment(true, sample[0]).Unit_.empty());
  std::printf("%s: %zu functions named as nm\n", image.c_str(), rows.size());
}

// A CI run builds the win32 preset before any test (scripts/test), so there
// a missing program is lost coverage; elsewhere the developer may simply not
// have built it.
bool InCiRun() {
  const char* ci = std::getenv("CI");
  return ci && std::string(ci) == "true";
}

// The project's own 32-bit program with the ".ruvex" file the tool makes.
TEST(OwnProgram, Win32BuildResolvesThroughItsCompactFile) {
  const std::string image = ruvex::testing::OwnWin32Program();
  if (image.empty()) {
    if (InCiRun()) FAIL() << "build/win32/bin/Kelvane.exe is missing: scripts/test builds the win32 preset first";
    GTEST_SKIP() << "build/win32/bin/Kelvane.exe is not built yet";
  }
  TImageLayout layout;
  TMapFile map = MapOfImage(image, layout);
  kelvane::TMemoryFileSystem files;
  files.Add(u"C:\\app\\Kelvane.ruvex", WriteCompactSymbols(map));
  ExpectModuleResolves(image, files, 20);
}

// The tool's resource script, compiled by windres into a small program
// that is then linked again with it: the embedded data describes the
// program it sits in, and nothing else is needed beside it.
TEST(OwnProgram, EmbeddedResourceThroughWindres) {
  const char* binary = std::getenv("KELVANE_BINARY_DIR");
  ASSERT_TRUE(binary);
  const std::filesystem::path dir = std::filesystem::temp_directory_path() / ("ruvex-rc-" + std::to_string(getpid()));
  std::filesystem::create_directories(dir);
  std::ofstream(dir / "tiny.c") << "__attribute__((noinline)) int twice(int x) { return 2 * x; }\n"
                                   "int main(int argc, char** argv) {\n  return twice(argc);\n}\n";
  const std::string d = dir.string(), tool = std::string(binary) + "/bin/ruvex-symbols";
  const std::string build = "cd '" + d + "' && i686-w64-mingw32-gcc -g -O1 tiny.c -o tiny.exe && '" + tool +
                            "' --image tiny.exe --objdump i686-w64-mingw32-objdump --rc tiny.rc >/dev/null &&"
                            " i686-w64-mingw32-windres tiny.rc -O coff -o tiny.res.o &&"
                            " i686-w64-mingw32-gcc -g -O1 tiny.c tiny.res.o -o tiny.exe";
  ASSERT_EQ(0, std::system(build.c_str()));
  kelvane::TMemoryFileSystem none;
  ExpectModuleResolves(d + "/tiny.exe", none, 3);
  std::filesystem::remove_all(dir);
}

// The toolchain cuts ".file" records short; the line table's compilation
// unit titles ("path:" above the column titles) keep the whole name. The
// title of an included file inside a unit's table names no unit.
TEST(UnitNames, LineTableCompletesShortenedFileRecords) {
  const std::string symbols =
      "[  0](sec -2)(fl 0x00)(ty    0)(scl 103) (nx 1) 0x00000000 fake\n"
      "File \n"
      "[  2](sec  1)(fl 0x00)(ty   20)(scl   2) (nx 1) 0x00000000 ___wine_stub_f\n"
      "[  4](sec -2)(fl 0x00)(ty    0)(scl 103) (nx 1) 0x00000000 netconnection.\n"
      "File \n"
      "[  6](sec  1)(fl 0x00)(ty   20)(scl   3) (nx 1) 0x000000f0 _no_lines\n"
      "[  7](sec  1)(fl 0x00)(ty   20)(scl   2) (nx 1) 0x00000180 _NETCON_send\n"
      "[  8](sec -2)(fl 0x00)(ty    0)(scl 103) (nx 1) 0x00000000 util.c\n"
      "File \n"
      "[ 10](sec  1)(fl 0x00)(ty   20)(scl   2) (nx 1) 0x00000200 _helper\n"
      "[ 11](sec -2)(fl 0x00)(ty    0)(scl 103) (nx 1) 0x00000000 cookie.c\n"
      "File \n"
      "[ 13](sec  1)(fl 0x00)(ty   20)(scl   2) (nx 1) 0x00000300 _find_cookie\n";
  const std::string lines =
      "\nContents of the .debug_line section:\n\n"
      "dlls/wininet/netconnection.c:\n"
      "File name                            Line number    Starting address    View    Stmt\n"
      "netconnection.c                               10          0x6c101100               x\n"
      "netconnection.c                                -          0x6c101140\n\n"
      "include/winbase.h:\n"
      "winbase.h                                   2898          0x6c101180               x\n\n"
      "dlls/wininet/netconnection.c:\n"
      "netconnection.c                               12          0x6c101190\n"
      "netconnection.c                                -          0x6c1011c0\n\n"
      "CU: dlls/wininet/utility.c:\n"
      "File name                            Line number    Starting address    View    Stmt\n"
      "utility.c                                     5          0x6c101200               x\n"
      "utility.c                                     -          0x6c101280\n\n"
      "cookie.c:\n"
      "File name                            Line number    Starting address    View    Stmt\n"
      "cookie.c                                    268          0x6c101300               x\n"
      "cookie.c                                      -          0x6c101340\n";
  const std::vector<TLineUnit> units = LineUnits(lines);
  ASSERT_EQ(4u, units.size());
  EXPECT_EQ(0x6c101180u, units[1].start);
  EXPECT_EQ(0x6c1011c0u, units[1].end);
  EXPECT_EQ("netconnection.c", units[1].name);
  EXPECT_EQ("utility.c", units[2].name);

  TImageLayout layout;
  layout.i386 = true;
  layout.imageBase = 0x6c100000;
  layout.sections = {0x6c101000};
  layout.codeSections = {true};
  layout.ranges.baseOfCode = 0x6c101000;
  layout.ranges.topOfCode = 0x6c101400;
  TMapFile map;
  map.SetCodeRange(layout.ranges.baseOfCode, layout.ranges.topOfCode);
  ASSERT_EQ(5, AddObjdumpSymbols(symbols, layout, map, units));
  const struct {
    Address address;
    const char16_t* unit;
  } cases[] = {
      {0x6c101000, u"fake"},             // no line information: the record
      {0x6c1010f0, u"netconnection.c"},  // the whole record, lines or not
      {0x6c101180, u"netconnection.c"},
      {0x6c101200, u"util.c"},           // the line table names another file
      {0x6c101300, u"cookie.c"},         // record and line table agree
  };
  for (const auto& c : cases) EXPECT_EQ(c.unit, map.FindSegment(true, c.address).Unit_) << std::hex << c.address;
}

// A real image against addr2line: a function that lies in a ".c" file has
// that file as its unit, also where the file record is cut short
// ("netconnection."). A few functions without line information are
// attributed to a neighbour by addr2line.
TEST(UnitNames, RealImageUnitsAgreeWithAddr2line) {
  std::string image;
  ASSERT_TRUE(ruvex::testing::FindTestImage("wininet.dll", image));
  TImageLayout layout;
  const TMapFile map = MapOfImage(image, layout);
  std::string command = "i686-w64-mingw32-addr2line -a -i -e '" + image + "'";
  char hex[32];
  for (const TMfPublic& p : map.Publics()) {
    std::snprintf(hex, sizeof hex, " 0x%llx", static_cast<unsigned long long>(p.Address));
    command += hex;
  }
  std::map<Address, std::string> outermostFile;  // the function's own file
  Address address = 0;
  for (const std::string& l : SplitLines(CommandOutput(command))) {
    if (l.compare(0, 2, "0x") == 0)
      address = std::strtoull(l.c_str(), nullptr, 16);
    else
      outermostFile[address] = std::filesystem::path(l.substr(0, l.rfind(':'))).filename().string();
  }
  int same = 0, other = 0, inNetconnection = 0;
  for (const auto& [a, file] : outermostFile) {
    if (file.size() < 2 || file.compare(file.size() - 2, 2, ".c") != 0) continue;  // inline header functions
    const std::string unit = kelvane::Utf16ToUtf8(map.FindSegment(true, a).Unit_);
    same += unit == file;
    other += unit != file;
    inNetconnection += unit == "netconnection.c";
  }
  EXPECT_GT(inNetconnection, 10);
  EXPECT_GT(same, 400);
  EXPECT_LT(other * 50, same) << other << " of " << same + other;
  std::printf("wininet.dll: units as addr2line %d, other %d, in netconnection.c %d\n", same, other, inNetconnection);
}

INSTANTIATE_TEST_SUITE_P(Wine, RealImage, ::testing::Values("comctl32.dll", "msvcrt.dll", "riched20.dll"));

}  // namespace
}  // namespace ruvex::symbols
