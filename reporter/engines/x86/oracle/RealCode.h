#pragma once
// Real 32-bit and 64-bit code for the oracle tests: the .text section of a
// PE file as objdump sees it (address, file offset, size), and objdump's own
// linear disassembly of it.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

namespace ruvex::oracle {

inline std::string SourceDir() {
  const char* dir = std::getenv("KELVANE_SOURCE_DIR");
  return dir ? dir : ".";
}
inline std::string BinaryDir() {
  const char* dir = std::getenv("KELVANE_BINARY_DIR");
  return dir ? dir : ".";
}
inline bool Exists(const std::string& path) { return std::ifstream(path, std::ios::binary).good(); }

// The real images the tests read: the project's own 32-bit program and a
// few of the i386 DLLs that scripts/fetch-test-images.sh unpacks.
inline std::vector<std::string> RealImages() {
  std::vector<std::string> paths;
  std::string own = SourceDir() + "/build/win32/bin/Kelvane.exe";
  if (Exists(own)) paths.push_back(own);
  for (const char* dll : {"msvcrt.dll", "ntdll.dll", "user32.dll", "gdi32.dll"})
    paths.push_back(SourceDir() + "/build/test-images/i386-windows/" + dll);
  return paths;
}

// The x86-64 DLLs of the wine package: real 64-bit code.
inline std::vector<std::string> RealImages64() {
  std::vector<std::string> paths;
  for (const char* dll : {"ntdll.dll", "kernelbase.dll", "msvcrt.dll", "user32.dll"})
    paths.push_back(std::string("/usr/lib/x86_64-linux-gnu/wine/x86_64-windows/") + dll);
  return paths;
}

constexpr const char* kObjdump32 = "i686-w64-mingw32-objdump";
constexpr const char* kObjdump64 = "x86_64-w64-mingw32-objdump";

inline std::string RunToText(const std::string& command) {
  std::string out;
  if (FILE* pipe = popen(command.c_str(), "r")) {
    char buffer[65536];
    std::size_t n;
    while ((n = fread(buffer, 1, sizeof buffer, pipe)) > 0) out.append(buffer, n);
    pclose(pipe);
  }
  return out;
}

struct TSection {
  std::uint64_t address = 0;
  std::vector<std::uint8_t> bytes;
};

// The .text section, located by `objdump -h` and read from the file.
inline bool ReadTextSection(const std::string& path, TSection& section, const std::string& objdump = kObjdump32) {
  std::istringstream headers(RunToText(objdump + " -h '" + path + "' 2>/dev/null"));
  std::string line;
  while (std::getline(headers, line)) {
    std::istringstream fields(line);
    std::string index, name, size, vma, lma, offset;
    if (!(fields >> index >> name >> size >> vma >> lma >> offset) || name != ".text") continue;
    section.address = std::stoull(vma, nullptr, 16);
    std::ifstream file(path, std::ios::binary);
    file.seekg(static_cast<std::streamoff>(std::stoull(offset, nullptr, 16)));
    section.bytes.resize(std::stoull(size, nullptr, 16));
    file.read(reinterpret_cast<char*>(section.bytes.data()), static_cast<std::streamsize>(section.bytes.size()));
    return file.gcount() == static_cast<std::streamsize>(section.bytes.size());
  }
  return false;
}

struct TObjdumpInstr {
  std::uint64_t address = 0;
  unsigned length = 0;
  std::string text;  // "call   401000 <_foo>" in Intel syntax
};

inline std::vector<TObjdumpInstr> ObjdumpText(const std::string& path, const std::string& objdump = kObjdump32) {
  std::vector<TObjdumpInstr> list;
  std::istringstream lines(RunToText(objdump + " -d -M intel --insn-width=16 -j .text '" + path + "' 2>/dev/null"));
  std::string line;
  while (std::getline(lines, line)) {
    std::size_t colon = line.find(":\t");
    if (colon == std::string::npos || colon == 0) continue;
    char* end = nullptr;
    std::uint64_t address = std::strtoull(line.c_str(), &end, 16);
    if (end != line.c_str() + colon) continue;
    std::size_t tab = line.find('\t', colon + 2);
    std::string bytes = line.substr(colon + 2, tab == std::string::npos ? std::string::npos : tab - colon - 2);
    TObjdumpInstr instr;
    instr.address = address;
    std::istringstream hex(bytes);
    std::string b;
    while (hex >> b) ++instr.length;
    if (tab != std::string::npos) instr.text = line.substr(tab + 1);
    if (instr.length) list.push_back(instr);
  }
  return list;
}

// objdump's mnemonic after its prefix words (and REX prefixes it names),
// and optionally the operand text behind it.
inline std::string ObjdumpMnemonic(const std::string& text, std::string* operands) {
  static const std::set<std::string> kPrefixes = {"rep", "repz", "repnz", "repe", "repne", "lock", "data16",
                                                  "addr16", "addr32", "bnd", "notrack", "cs", "ds", "es", "ss",
                                                  "fs", "gs"};
  std::istringstream words(text);
  std::string word;
  while (words >> word && (kPrefixes.count(word) || word.rfind("rex", 0) == 0)) {}
  if (operands) {
    std::getline(words, *operands);
    operands->erase(0, operands->find_first_not_of(' '));
  }
  return word;
}

inline bool ObjdumpBranch(const std::string& m, bool& call) {
  call = m == "call" || m == "lcall";
  return call || m == "jmp" || m == "ljmp" || m[0] == 'j' || m.rfind("loop", 0) == 0;
}

// Spellings of the same operation in the three decoders, mapped to one.
inline std::string CanonicalMnemonic(std::string m) {
  static const std::map<std::string, std::string> kSame = {
      {"pushad", "pusha"}, {"popad", "popa"}, {"pushfd", "pushf"}, {"popfd", "popf"}, {"iretd", "iret"},
      {"xlatb", "xlat"},   {"fwait", "wait"}, {"retf", "ret"},     {"lret", "ret"},   {"int     3", "int3"},
      {"int01", "int1"},   {"fnstsw  ax", "fnstsw"}, {"cwd", "cwd"}, {"loopz", "loope"}, {"loopnz", "loopne"},
      {"fstp1", "fstp"},   {"fstp8", "fstp"}, {"fstp9", "fstp"},   {"fxch4", "fxch"}, {"fxch7", "fxch"},
      {"fcom2", "fcom"},   {"fcomp3", "fcomp"}, {"fcomp5", "fcomp"}, {"ud2a", "ud2"}, {"movabs", "mov"},
      {"jcxz", "jecxz"},   {"jrcxz", "jecxz"},   {"cmpxchg8b", "cmpxchg8b"}, {"fnclex", "fnclex"}, {"fninit", "fninit"},
      {"cvtpi2ps", "cvtpi2ps"}, {"movsxd", "movsx"},
      // F3 90 and F3 0F BC run as nop and bsf on the processors this code targets.
      {"pause", "nop"}, {"tzcnt", "bsf"},
  };
  static const std::map<std::string, std::string> kConditions = {
      {"a", "nbe"}, {"ae", "nb"}, {"nae", "b"}, {"c", "b"}, {"nc", "nb"}, {"e", "z"}, {"ne", "nz"},
      {"g", "nle"}, {"ge", "nl"}, {"nge", "l"}, {"ng", "le"}, {"na", "be"}, {"pe", "p"}, {"po", "np"}};
  if (auto it = kSame.find(m); it != kSame.end()) m = it->second;
  for (const char* stem : {"j", "set", "cmov", "fcmov"}) {
    std::string s = stem;
    if (m.rfind(s, 0) == 0 && m != "jmp" && m != "jecxz") {
      std::string cc = m.substr(s.size());
      if (auto it = kConditions.find(cc); it != kConditions.end()) return s + it->second;
      return m;
    }
  }
  return m;
}

inline bool IsStringOperation(std::uint16_t op) {
  return (op >= 0xA4 && op <= 0xA7) || (op >= 0xAA && op <= 0xAF) || (op >= 0x6C && op <= 0x6F);
}

// String operations: objdump writes "movs" with operands, the others "movsd".
inline std::string StringStem(const std::string& m) {
  if (!m.empty() && (m.back() == 'b' || m.back() == 'w' || m.back() == 'd')) return m.substr(0, m.size() - 1);
  return m;
}

}  // namespace ruvex::oracle
