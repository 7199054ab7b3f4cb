// ruvex-symbols: writes the symbol information of a mingw-built module in
// the compact symbol format (a sibling ".ruvex" file, or a resource script
// for windres), or as a detailed text map, from what the GNU tools print
// about the module. It is the build step that lets bug reports of a
// program show unit, function and line names.
//
//   ruvex-symbols --image M.exe [--objdump TOOL | --symbols F --lines F]
//                 [--ruvex OUT] [--rc OUT.rc] [--map OUT.map] [--minimal]
//   ruvex-symbols --dump FILE.ruvex
#include <cstdio>
#include <cstring>
#include <ctime>
#include <fstream>
#include <iostream>
#include <optional>
#include <sstream>
#include <string>

#include "common/text/Utf.h"
#include "reporter/engines/symbols/readers/CompactSymbols.h"
#include "tools/symbols/SymbolInput.h"
#include "tools/symbols/TextMapWriter.h"


using namespace ruvex;

namespace {

std::optional<std::string> ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return std::nullopt;
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

bool WriteFile(const std::string& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  return static_cast<bool>(out.flush());
}

std::optional<std::string> CommandOutput(const std::string& command) {
  FILE* pipe = popen(command.c_str(), "r");
  if (!pipe) return std::nullopt;
  std::string out;
  char buffer[65536];
  std::size_t n;
  while ((n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) out.append(buffer, n);
  return pclose(pipe) == 0 ? std::optional<std::string>(out) : std::nullopt;
}

int Fail(const std::string& message) {
  std::cerr << "ruvex-symbols: " << message << "\n";
  return 1;
}

int Dump(const std::string& path) {
  const std::optional<std::string> data = ReadFile(path);
  if (!data) return Fail("cannot read " + path);
  TMapFile map;
  TCompactHeader header;
  if (!ParseCompactSymbols(*data, map, {}, &header)) return Fail(path + " is not sound compact symbol data");
  std::printf("version %u flags %u fingerprint %s\n", header.version, header.flags, CompactFingerprint(*data).c_str());
  for (const TMfSegment& s : map.Segments())
    std::printf("segment %08llx %08x %s\n", static_cast<unsigned long long>(s.StartAddress), s.Length,
                kelvane::Utf16ToUtf8(s.Unit_).c_str());
  for (const TMfPublic& p : map.Publics())
    std::printf("public %08llx %s\n", static_cast<unsigned long long>(p.Address), kelvane::Utf16ToUtf8(p.Name).c_str());
  for (const TMfLine& l : map.Lines())
    std::printf("line %08llx %d\n", static_cast<unsigned long long>(l.Address), l.Line);
  if (map.EntryPoint()) std::printf("entry %08llx\n", static_cast<unsigned long long>(map.EntryPoint()));
  return 0;
}

std::string Quoted(const std::string& path) { return "\"" + path + "\""; }

}  // namespace

int main(int argc, char** argv) {
  std::string image, objdump = "objdump", symbolsFile, linesFile, ruvexOut, rcOut, mapOut;
  bool minimal = false;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    auto value = [&]() -> std::string { return i + 1 < argc ? argv[++i] : std::string(); };
    if (arg == "--dump") return Dump(value());
    if (arg == "--image") image = value();
    else if (arg == "--objdump") objdump = value();
    else if (arg == "--symbols") symbolsFile = value();
    else if (arg == "--lines") linesFile = value();
    else if (arg == "--ruvex") ruvexOut = value();
    else if (arg == "--rc") rcOut = value();
    else if (arg == "--map") mapOut = value();
    else if (arg == "--minimal") minimal = true;
    else return Fail("unknown argument " + arg);
  }
  if (image.empty() || (ruvexOut.empty() && rcOut.empty() && mapOut.empty()))
    return Fail("usage: --image FILE [--objdump TOOL | --symbols FILE --lines FILE] "
                "[--ruvex OUT] [--rc OUT] [--map OUT] [--minimal] | --dump FILE");

  const std::optional<std::string> file = ReadFile(image);
  if (!file) return Fail("cannot read " + image);
  const std::optional<symbols::TImageLayout> layout = symbols::ReadImageLayout(*file);
  if (!layout) return Fail(image + " is not a PE image");

  const std::optional<std::string> symbolText =
      symbolsFile.empty() ? CommandOutput(objdump + " -t " + Quoted(image)) : ReadFile(symbolsFile);
  const std::optional<std::string> lineText =
      linesFile.empty() ? CommandOutput(objdump + " --dwarf=decodedline " + Quoted(image)) : ReadFile(linesFile);
  if (!symbolText) return Fail("no symbol table for " + image);
  if (!lineText) return Fail("no line table for " + image);

  TMapFile map;
  map.SetCodeRange(layout->ranges.baseOfCode, layout->ranges.topOfCode);
  map.SetDataRange(layout->ranges.baseOfData, layout->ranges.topOfData);
  map.SetEntryPoint(layout->ranges.entryPoint);
  const int publics = symbols::AddObjdumpSymbols(*symbolText, *layout, map, symbols::LineUnits(*lineText));
  const int lines = symbols::AddDecodedLines(*lineText, *layout, map);
  if (publics == 0) return Fail(image + " has no function symbols (stripped?)");

  // The file is always complete; --minimal applies to the embedded data,
  // whose names the complete file then supplies.
  TCompactWriteOptions options;
  const std::time_t now = std::time(nullptr);
  if (const std::tm* t = std::localtime(&now)) {
    options.dosDate = static_cast<std::uint16_t>(((t->tm_year - 80) << 9) | ((t->tm_mon + 1) << 5) | t->tm_mday);
    options.dosTime = static_cast<std::uint16_t>((t->tm_hour << 11) | (t->tm_min << 5) | (t->tm_sec / 2));
  }
  const std::string compact = WriteCompactSymbols(map, options);
  options.minimal = minimal;
  const std::string embedded = minimal ? WriteCompactSymbols(map, options) : compact;
  if (!ruvexOut.empty() && !WriteFile(ruvexOut, compact)) return Fail("cannot write " + ruvexOut);
  if (!rcOut.empty()) {
    const std::string data = rcOut + ".bin";
    std::string name = data.substr(data.find_last_of("/\\") + 1);
    if (!WriteFile(data, embedded) || !WriteFile(rcOut, "EXCEPT RUVEX \"" + name + "\"\n"))
      return Fail("cannot write " + rcOut);
  }
  if (!mapOut.empty() && !WriteFile(mapOut, symbols::WriteTextMap(map))) return Fail("cannot write " + mapOut);
  std::printf("%s: %d units, %d functions, %d lines\n", image.c_str(), map.SegmentCount(), publics, lines);
  // The settings of a program that embeds the minimal form name the full
  // file by this fingerprint.
  if (!ruvexOut.empty()) std::printf("fingerprint of %s: %s\n", ruvexOut.c_str(), CompactFingerprint(compact).c_str());
  return 0;
}
