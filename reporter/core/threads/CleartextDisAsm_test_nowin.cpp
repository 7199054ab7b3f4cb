// The disassembly of real library functions, each instruction line checked
// against objdump's own decoding of the same bytes.
#include "reporter/core/threads/CleartextDisAsm.h"

#include <gtest/gtest.h>

#include <regex>
#include <set>
#include <sstream>

#include "common/text/Utf.h"
#include "reporter/engines/pe/exports/Exports.h"
#include "reporter/engines/pe/headers/ImageMemory.h"
#include "reporter/engines/testing/TestImages.h"

namespace ruvex {
namespace {

// The instruction starts objdump finds from `from` up to `to`.
std::set<Address> ObjdumpStarts(const std::string& objdump, const std::string& path, Address from, Address to) {
  std::ostringstream command;
  command << objdump << " -d --start-address=0x" << std::hex << from << " --stop-address=0x" << to << " '" << path
          << "'";
  std::set<Address> starts;
  std::istringstream lines(testing::CommandOutput(command.str()));
  const std::regex instruction(R"(^\s*([0-9a-f]+):\t)");
  for (std::string line; std::getline(lines, line);) {
    std::smatch m;
    if (std::regex_search(line, m, instruction)) starts.insert(std::stoull(m[1], nullptr, 16));
  }
  return starts;
}

struct TListedLine {
  Address address;
  bool marked;
};

// The instruction lines of a listing: the address, then a blank or the marker.
std::vector<TListedLine> InstructionLines(const std::u16string& listing) {
  std::vector<TListedLine> out;
  std::istringstream lines(kelvane::Utf16ToUtf8(listing));
  const std::regex instruction(R"(^([0-9a-f]{8,16}) ([ >]) +[a-z])");
  for (std::string line; std::getline(lines, line);) {
    std::smatch m;
    if (std::regex_search(line, m, instruction)) out.push_back({std::stoull(m[1], nullptr, 16), m[2] == ">"});
  }
  return out;
}

void CheckAgainstObjdump(const std::string& path, const std::string& objdump, unsigned pointerSize) {
  TImageMemory image;
  std::string error;
  ASSERT_TRUE(image.AddImageFile(path, &error)) << error;
  const Address base = image.Modules().front().base;
  const auto entry = ExportEntryByName(image, base, "strlen");
  ASSERT_TRUE(entry);
  TDisAsmRequest request;
  request.function = base + *entry;
  request.address = request.function;
  request.pointerSize = pointerSize;
  request.limit = 0;
  request.parse.modules = &image;
  const std::vector<TListedLine> whole = InstructionLines(GetCleartextDisAsm(image, request));
  ASSERT_GT(whole.size(), 6u);
  const std::set<Address> starts = ObjdumpStarts(objdump, path, request.function, whole.back().address + 1);
  for (const TListedLine& line : whole) EXPECT_TRUE(starts.count(line.address)) << std::hex << line.address;

  // The marker on an instruction inside, the lines around it limited.
  request.address = whole[5].address;
  request.limit = 2;
  const std::u16string limited = GetCleartextDisAsm(image, request);
  const std::vector<TListedLine> around = InstructionLines(limited);
  std::vector<Address> marked;
  for (const TListedLine& line : around)
    if (line.marked) marked.push_back(line.address);
  EXPECT_EQ(marked, std::vector<Address>{whole[5].address}) << kelvane::Utf16ToUtf8(limited);
  EXPECT_NE(limited.find(u"[...]"), std::u16string::npos);
}

TEST(CleartextDisAsmOnImages, ThirtyTwoBitListingAgreesWithObjdump) {
  std::string path;
  ASSERT_TRUE(testing::FindTestImage("msvcrt.dll", path));
  CheckAgainstObjdump(path, "i686-w64-mingw32-objdump", 4);
}

TEST(CleartextDisAsmOnImages, SixtyFourBitListingAgreesWithObjdump) {
  std::string path;
  ASSERT_TRUE(testing::FindTestImage64("msvcrt.dll", path));
  CheckAgainstObjdump(path, "x86_64-w64-mingw32-objdump", 8);
}

}  // namespace
}  // namespace ruvex
