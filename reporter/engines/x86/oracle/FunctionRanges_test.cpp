// ParseFunction over real images against the function symbols of their
// COFF symbol tables (objdump -t): each analysed function starts at its
// symbol and stays below the next function; its far calls include every
// direct call objdump finds in the analysed code.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <set>
#include <sstream>

#include "reporter/engines/pe/headers/ImageMemory.h"
#include "reporter/engines/x86/ParseFunction.h"
#include "reporter/engines/x86/oracle/RealCode.h"

namespace ruvex {
namespace {

// Function symbols (type 0x20) of section 1, as addresses.
std::vector<Address> FunctionStarts(const std::string& path, Address sectionStart) {
  std::istringstream lines(oracle::RunToText("i686-w64-mingw32-objdump -t '" + path + "' 2>/dev/null"));
  std::vector<Address> starts;
  std::string line;
  while (std::getline(lines, line)) {
    if (line.find("(sec  1)") == std::string::npos || line.find("(ty   20)") == std::string::npos) continue;
    std::size_t at = line.rfind(" 0x");
    if (at != std::string::npos) starts.push_back(sectionStart + std::stoull(line.substr(at + 1), nullptr, 16));
  }
  std::sort(starts.begin(), starts.end());
  starts.erase(std::unique(starts.begin(), starts.end()), starts.end());
  return starts;
}

TEST(FunctionRanges, AgreeWithSymbolTablesAndObjdumpCalls) {
  unsigned functions = 0, valid = 0, within = 0, calls = 0, callsFound = 0;
  for (const char* dll : {"msvcrt.dll", "gdi32.dll"}) {
    const std::string path = oracle::SourceDir() + "/build/test-images/i386-windows/" + dll;
    TImageMemory image;
    std::string error;
    ASSERT_TRUE(image.AddImageFile(path, &error)) << path << ": " << error << " (run scripts/fetch-test-images.sh)";
    oracle::TSection text;
    ASSERT_TRUE(oracle::ReadTextSection(path, text));
    std::vector<Address> starts = FunctionStarts(path, text.address);
    ASSERT_GT(starts.size(), 100u) << dll;
    std::set<std::uint64_t> directCalls;
    for (const oracle::TObjdumpInstr& o : oracle::ObjdumpText(path))
      if (o.text.rfind("call ", 0) == 0 && o.length == 5) directCalls.insert(o.address);
    TParseOptions options;
    options.modules = &image;
    for (std::size_t i = 0; i + 1 < starts.size(); ++i) {
      ++functions;
      TFunctionInfo f = ParseFunction(image, starts[i], options);
      if (!f.IsValid) continue;
      ++valid;
      const bool inside = f.CodeBegin == starts[i] && f.CodeBegin + f.CodeLen <= starts[i + 1];
      within += inside;
      if (!inside) continue;
      std::set<Address> far;
      for (const TFarCall& c : f.FarCalls) far.insert(c.CodeAddr1);
      for (const TCodeArea& a : f.CodeAreas) {
        if (a.CaseBlock || a.OnExceptBlock) continue;
        for (auto it = directCalls.lower_bound(a.AreaBegin); it != directCalls.end() && *it <= a.AreaEnd; ++it) {
          ++calls;
          callsFound += far.count(*it);
        }
      }
    }
  }
  std::printf("functions %u: analysed %u (%.2f%%), within their symbol range %u (%.2f%% of analysed); "
              "direct calls %u, found as far calls %u (%.2f%%)\n",
              functions, valid, 100.0 * valid / functions, within, 100.0 * within / valid, calls, callsFound,
              100.0 * callsFound / calls);
  EXPECT_GE(valid, functions * 0.98);
  // The analyser knows no "does not return" callees: a function whose last
  // instruction calls one (abort, a raise helper) runs on into its neighbour.
  EXPECT_GE(within, valid * 0.90);
  EXPECT_EQ(callsFound, calls);
}

}  // namespace
}  // namespace ruvex
