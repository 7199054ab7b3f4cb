// Layout, headers and exports of real 32-bit images, checked against
// i686-w64-mingw32-objdump. Native only: the oracle is a Linux program.
#include "reporter/engines/pe/headers/ImageMemory.h"

#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <map>
#include <regex>
#include <sstream>

#include "common/text/Utf.h"
#include "reporter/engines/pe/exports/Exports.h"
#include "reporter/engines/testing/TestImages.h"

namespace ruvex {
namespace {

using testing::CommandOutput;
using testing::FindTestImage;

const char* const kImages[] = {"kernel32.dll", "ntdll.dll", "msvcrt.dll", "user32.dll",
                               "comctl32.dll", "ws2_32.dll", "dwmapi.dll", "dsquery.dll"};
const char* const kImages64[] = {"kernel32.dll", "ntdll.dll", "msvcrt.dll", "comctl32.dll"};
const char* const kObjdump32 = "i686-w64-mingw32-objdump";
const char* const kObjdump64 = "x86_64-w64-mingw32-objdump";

struct TRealImage {
  std::string path;
  bool pe32Plus;
  const char* objdump;
};

std::vector<std::uint8_t> FileBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary | std::ios::ate);
  std::vector<std::uint8_t> bytes(static_cast<std::size_t>(in.tellg()));
  in.seekg(0);
  in.read(reinterpret_cast<char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  return bytes;
}

struct TObjdumpSection {
  std::string name;
  std::uint64_t size, vma, fileOffset;
  bool contents;
};

std::vector<TObjdumpSection> ObjdumpSections(const TRealImage& image) {
  std::vector<TObjdumpSection> out;
  std::istringstream lines(CommandOutput(std::string(image.objdump) + " -h '" + image.path + "'"));
  const std::regex row(R"(^\s*\d+\s+(\S+)\s+([0-9a-f]+)\s+([0-9a-f]+)\s+[0-9a-f]+\s+([0-9a-f]+)\s+2\*\*\d+)");
  std::string line, flags;
  std::smatch m;
  while (std::getline(lines, line)) {
    if (!std::regex_search(line, m, row)) continue;
    std::getline(lines, flags);
    out.push_back({m[1], std::stoull(m[2], nullptr, 16), std::stoull(m[3], nullptr, 16),
                   std::stoull(m[4], nullptr, 16), flags.find("CONTENTS") != std::string::npos});
  }
  return out;
}

std::map<std::string, std::string> ObjdumpHeaderFields(const TRealImage& image) {
  std::map<std::string, std::string> out;
  std::istringstream lines(CommandOutput(std::string(image.objdump) + " -p '" + image.path + "'"));
  std::string line;
  while (std::getline(lines, line)) {
    std::istringstream words(line);
    std::string key, value;
    if (words >> key >> value) out.emplace(key, value);
  }
  return out;
}

struct TObjdumpExports {
  std::map<std::uint32_t, std::pair<std::uint32_t, std::string>> byOrdinal;  // rva, forwarder
  std::map<std::uint32_t, std::string> nameByIndex;
  std::uint32_t base = 0;
};

// Parsed with sscanf: std::regex over thousands of lines is slow in the
// sanitizer build.
TObjdumpExports ObjdumpExports(const TRealImage& image) {
  TObjdumpExports out;
  std::istringstream lines(CommandOutput(std::string(image.objdump) + " -p '" + image.path + "'"));
  std::string line;
  bool inNames = false;
  while (std::getline(lines, line)) {
    unsigned index = 0, ordinal = 0, rva = 0;
    char kind[16] = {};
    int consumed = 0;
    if (line.rfind("[Ordinal/Name Pointer] Table", 0) == 0) {
      inNames = true;
    } else if (inNames && std::sscanf(line.c_str(), " [%u] %n", &index, &consumed) == 1 && consumed > 0) {
      out.nameByIndex[index] = line.substr(static_cast<std::size_t>(consumed));
    } else if (inNames && !line.empty() && line[0] != '\t') {
      inNames = false;
    } else if (std::sscanf(line.c_str(), " [%u] +base[%u] %x %15s RVA%n", &index, &ordinal, &rva, kind, &consumed) == 4 &&
               consumed > 0) {
      const std::size_t arrow = line.find(" -- ", static_cast<std::size_t>(consumed));
      out.byOrdinal[ordinal] = {rva, arrow == std::string::npos ? std::string() : line.substr(arrow + 4)};
      out.base = ordinal - index;
    }
  }
  return out;
}

// The foreign images of both widths, and the project's own 32-bit program
// once it is built.
std::vector<TRealImage> RealImages() {
  std::vector<TRealImage> images;
  std::string path;
  for (const char* name : kImages) {
    EXPECT_TRUE(FindTestImage(name, path));
    images.push_back({path, false, kObjdump32});
  }
  for (const char* name : kImages64) {
    EXPECT_TRUE(testing::FindTestImage64(name, path));
    images.push_back({path, true, kObjdump64});
  }
  if (const std::string own = testing::OwnWin32Program(); !own.empty()) images.push_back({own, false, kObjdump32});
  return images;
}

TEST(ImageMemoryReal, SectionsHoldTheFileBytesAtTheirAddresses) {
  for (const TRealImage& image : RealImages()) {
    SCOPED_TRACE(image.path);
    std::string error;
    TImageMemory memory;
    ASSERT_TRUE(memory.AddImageFile(image.path, &error)) << error;
    const std::vector<std::uint8_t> file = FileBytes(image.path);
    const auto sections = ObjdumpSections(image);
    ASSERT_FALSE(sections.empty());
    for (const TObjdumpSection& s : sections) {
      SCOPED_TRACE(s.name);
      std::vector<std::uint8_t> laid(s.size);
      ASSERT_TRUE(memory.Read(s.vma, laid.data(), laid.size()));
      const auto region = memory.RegionAt(s.vma);
      ASSERT_TRUE(region);
      EXPECT_EQ(region->allocationBase, memory.Modules().front().base);
      if (!s.contents) {
        EXPECT_EQ(laid, std::vector<std::uint8_t>(laid.size(), 0));
        continue;
      }
      ASSERT_LE(s.fileOffset + s.size, file.size());
      EXPECT_EQ(std::memcmp(laid.data(), file.data() + s.fileOffset, laid.size()), 0);
    }
  }
}

TEST(ImageMemoryReal, HeadersAgreeWithObjdumpForOwnAndForeignImages) {
  for (const TRealImage& image : RealImages()) {
    SCOPED_TRACE(image.path);
    TImageMemory memory;
    ASSERT_TRUE(memory.AddImageFile(image.path));
    const auto fields = ObjdumpHeaderFields(image);
    const Address base = memory.Modules().front().base;
    const auto headers = ImageNtHeaders(memory, base);
    ASSERT_TRUE(headers);
    EXPECT_EQ(headers->pe32Plus, image.pe32Plus);
    EXPECT_EQ(headers->machine, image.pe32Plus ? kMachineAmd64 : kMachineI386);
    EXPECT_EQ(headers->imageBase, std::stoull(fields.at("ImageBase"), nullptr, 16));
    EXPECT_EQ(ImageSize(*headers), std::stoul(fields.at("SizeOfImage"), nullptr, 16));
    EXPECT_EQ(headers->addressOfEntryPoint, std::stoul(fields.at("AddressOfEntryPoint"), nullptr, 16));
    const auto sections = ObjdumpSections(image);
    EXPECT_EQ(headers->sections.size(), sections.size());
    // RvaToFileOffset maps every section start back to its raw data.
    for (const TObjdumpSection& s : sections) {
      if (!s.contents) continue;
      EXPECT_EQ(RvaToFileOffset(*headers, static_cast<std::uint32_t>(s.vma - base)), s.fileOffset) << s.name;
    }
  }
}

TEST(ImageMemoryReal, ExportTablesAgreeWithObjdump) {
  std::size_t compared = 0, nameless = 0, forwarders = 0;
  for (const TRealImage& image : RealImages()) {
    SCOPED_TRACE(image.path);
    TImageMemory memory;
    ASSERT_TRUE(memory.AddImageFile(image.path));
    const Address base = memory.Modules().front().base;
    const TObjdumpExports expected = ObjdumpExports(image);
    std::map<std::uint32_t, std::pair<std::uint32_t, std::string>> nonEmpty;
    for (const auto& [ordinal, entry] : expected.byOrdinal)
      if (entry.first != 0) nonEmpty[ordinal] = entry;

    const std::vector<TExport> exports = ListExports(memory, base);
    ASSERT_EQ(exports.size(), nonEmpty.size());
    for (const TExport& e : exports) {
      ASSERT_TRUE(nonEmpty.count(e.ordinal)) << e.ordinal;
      EXPECT_EQ(e.rva, nonEmpty[e.ordinal].first);
      EXPECT_EQ(e.forwarder, nonEmpty[e.ordinal].second);
      const auto it = expected.nameByIndex.find(e.ordinal - expected.base);
      EXPECT_EQ(e.name, it == expected.nameByIndex.end() ? std::string() : it->second);
      // The reverse lookups scan the whole table: a sample keeps this quick.
      if (e.forwarder.empty() && (e.name.empty() || compared % 8 == 0)) {
        // The reverse lookup names the first export with that entry.
        const std::u16string shown = ExportName(memory, base, base + e.rva, false);
        if (e.name.empty() && shown[0] == u'#') {
          ++nameless;
          EXPECT_EQ(shown, kelvane::U16("#" + std::to_string(e.ordinal)));
        }
        if (!e.name.empty()) {
          EXPECT_EQ(ImageProcAddress(memory, memory, base, e.name, false), base + e.rva);
        }
      }
      if (!e.forwarder.empty()) ++forwarders;
      ++compared;
    }
  }
  std::printf("exports compared with objdump: %zu (%zu shown by ordinal, %zu forwarders)\n", compared, nameless,
              forwarders);
  EXPECT_GT(nameless, 0u);
  EXPECT_GT(forwarders, 0u);
}

TEST(ImageMemoryReal, ForwardersResolveIntoTheLoadedTargetModule) {
  TImageMemory memory;
  for (const char* name : {"kernel32.dll", "kernelbase.dll", "ntdll.dll"}) {
    std::string path, error;
    ASSERT_TRUE(FindTestImage(name, path));
    ASSERT_TRUE(memory.AddImageFile(path, &error)) << error;
  }
  const Address kernel32 = memory.Modules()[0].base;
  std::size_t resolved = 0, unresolved = 0;
  for (const TExport& e : ListExports(memory, kernel32)) {
    if (e.forwarder.empty()) continue;
    const auto address = ResolveExport(memory, memory, kernel32, e.rva);
    const std::string target = e.forwarder.substr(0, e.forwarder.find('.'));
    const bool loaded = target == "kernelbase" || target == "ntdll" || target == "KERNELBASE" || target == "NTDLL";
    if (!loaded) {
      ++unresolved;
      continue;
    }
    ASSERT_TRUE(address) << e.forwarder;
    const auto module = ModuleOfAddress(memory, memory, *address);
    ASSERT_TRUE(module);
    EXPECT_NE(module->base, kernel32);
    // The chain ends at a plain export of the module it lands in.
    EXPECT_FALSE(ExportName(memory, module->base, *address, false).empty()) << e.forwarder;
    if (!e.name.empty()) {
      EXPECT_EQ(ImageProcAddress(memory, memory, kernel32, e.name, false), address);
    }
    ++resolved;
  }
  std::printf("kernel32 forwarders: %zu resolved into kernelbase/ntdll, %zu to modules not loaded\n", resolved,
              unresolved);
  EXPECT_GT(resolved, 100u);
}

}  // namespace
}  // namespace ruvex
