// A real program database, made here by clang and lld, dumped by
// llvm-pdbutil and replayed through the debug-help interface as the
// library delivers it; the tables must hold what the dump says after the
// address conversion. The tools are Linux programs, so the Windows build
// leaves this out.
#include "reporter/engines/symbols/sources/DebugHelp.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>
#include <unistd.h>

#include "common/text/Utf.h"
#include "reporter/engines/pe/headers/ImageMemory.h"
#include "reporter/engines/symbols/sources/SymbolSources.h"
#include "reporter/engines/testing/TestImages.h"
#include "common/files/MemoryFileSystem.h"

namespace ruvex {
namespace {

using testing::CommandOutput;

constexpr const char* kSource = R"(static int helper(int x) {
  int y = x * 3;
  return y + 1;
}

int compute(int a) {
  int b = helper(a);
  return b * 2;
}

int mainCRTStartup(void) {
  return compute(4);
}
)";

struct TPdbDump {
  std::vector<TDbgLineRecord> lines;
  std::vector<TDbgSymbolRecord> symbols;
};

// Records in the order the library enumerates them, at kDbgLoadBase +
// section start + offset.
TPdbDump ParseDump(const std::string& lines, const std::string& symbols, const std::vector<std::uint32_t>& sections) {
  TPdbDump d;
  auto rva = [&](unsigned section, std::uint32_t offset) -> std::uint64_t {
    return kDbgLoadBase + (section >= 1 && section <= sections.size() ? sections[section - 1] : 0) + offset;
  };
  std::u16string file;
  unsigned section = 0;
  std::istringstream in(lines);
  const std::regex fileLine(R"(^(/\S+) \(MD5)"), block(R"(^\s+(\d{4}):[0-9A-F]{8}-[0-9A-F]{8}, line/addr)"),
      entry(R"((\d+) ([0-9A-F]{8}) !)");
  for (std::string l; std::getline(in, l);) {
    std::smatch m;
    if (std::regex_search(l, m, fileLine)) {
      file = kelvane::U16(m[1].str());
    } else if (std::regex_search(l, m, block)) {
      section = static_cast<unsigned>(std::stoul(m[1].str()));
    } else {
      for (auto it = std::sregex_iterator(l.begin(), l.end(), entry); it != std::sregex_iterator(); ++it)
        d.lines.push_back({file, static_cast<std::uint32_t>(std::stoul((*it)[1].str())),
                           rva(section, static_cast<std::uint32_t>(std::stoul((*it)[2].str(), nullptr, 16)))});
    }
  }
  std::istringstream sin(symbols);
  const std::regex record(R"(\| (S_GPROC32|S_LPROC32|S_PUB32) \[size = \d+\] `([^`]+)`)"),
      address(R"(addr = (\d{4}):(\d+))");
  std::string kind, name;
  for (std::string l; std::getline(sin, l);) {
    std::smatch m;
    if (std::regex_search(l, m, record)) {
      kind = m[1].str(), name = m[2].str();
    } else if (!kind.empty() && std::regex_search(l, m, address)) {
      // pdbutil prints these offsets in decimal.
      d.symbols.push_back({kelvane::U16(name), kind == "S_PUB32" ? kSymTagPublicSymbol : kSymTagFunction,
                           rva(static_cast<unsigned>(std::stoul(m[1].str())),
                               static_cast<std::uint32_t>(std::stoul(m[2].str())))});
      kind.clear();
    }
  }
  return d;
}

TEST(ProgramDatabase, RealPdbThroughTheDebugHelpInterface) {
  const std::filesystem::path dir = std::filesystem::temp_directory_path() / ("ruvex-pdb-" + std::to_string(getpid()));
  std::filesystem::create_directories(dir);
  std::ofstream(dir / "prog.c") << kSource;
  const std::string d = dir.string();
  ASSERT_EQ(0, std::system(("cd '" + d + "' && clang --target=i686-pc-windows-msvc -g -gcodeview -O0 -c prog.c -o prog.obj"
                            " && lld-link /nologo /debug /pdb:prog.pdb /entry:mainCRTStartup /subsystem:console"
                            " /nodefaultlib /out:prog.exe prog.obj")
                               .c_str()))
      << "clang and lld-link are needed (scripts/ensure-deps.sh installs them)";

  TImageMemory memory;
  ASSERT_TRUE(memory.AddImageFile(d + "/prog.exe"));
  const ModuleEntry module = memory.Modules().at(0);
  std::vector<std::uint32_t> sections;
  for (const TSectionHeader& s : memory.HeadersAt(module.base)->sections) sections.push_back(s.virtualAddress);
  const TPdbDump dump = ParseDump(CommandOutput("llvm-pdbutil dump -l '" + d + "/prog.pdb'"),
                                  CommandOutput("llvm-pdbutil dump --symbols --publics '" + d + "/prog.pdb'"), sections);
  std::filesystem::remove_all(dir);
  ASSERT_EQ(8u, dump.lines.size());
  ASSERT_GE(dump.symbols.size(), 5u);  // three functions, two publics

  TReplayDebugHelp help;
  help.lines = dump.lines;
  help.symbols = dump.symbols;
  kelvane::TMemoryFileSystem files;
  files.Add(u"C:\\build\\prog.pdb", "the library reads it, not we");
  TMapFile map;
  ASSERT_TRUE(LoadModuleSymbols(map, {memory, files, &help}, module.base, u"C:\\build\\prog.exe"));
  EXPECT_EQ(1, help.calls);

  const Address code = module.base + sections[0];
  EXPECT_EQ(code, map.BaseOfCode());
  for (const TDbgLineRecord& l : dump.lines) {
    const Address a = code + (l.address - kDbgLoadBase - sections[0]);
    EXPECT_EQ(static_cast<int>(l.line), map.FindLine(a)) << std::hex << a;
    EXPECT_EQ(u"prog.c", map.FindSegment(true, a).Unit_);
  }
  struct Case {
    std::uint32_t offset;
    const char16_t* name;
    int line;
  };
  for (const Case& c : {Case{0x00, u"compute", 6}, Case{0x20, u"compute", 8}, Case{0x37, u"helper", 2},
                        Case{0x50, u"mainCRTStartup", 11}, Case{0x58, u"mainCRTStartup", 12}}) {
    EXPECT_EQ(c.name, map.FindPublic(code + c.offset).Name) << c.offset;
    EXPECT_EQ(c.line, map.FindLine(code + c.offset)) << c.offset;
  }
  // Without the library the database is passed over.
  help.available = false;
  TMapFile none;
  EXPECT_FALSE(LoadModuleSymbols(none, {memory, files, &help}, module.base, u"C:\\build\\prog.exe"));
}

}  // namespace
}  // namespace ruvex
