// The thunk bytes, read back by objdump as the instructions they must be.
#include "reporter/engines/system/messages/MethodThunk.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <regex>

#include "reporter/engines/testing/TestImages.h"

namespace ruvex {
namespace {

// objdump's instruction texts for raw code, one per line, blanks squeezed.
std::vector<std::string> Disassemble(const std::vector<std::uint8_t>& code, const char* machine, std::uint64_t vma) {
  const std::string path = ::testing::TempDir() + "/thunk.bin";
  std::FILE* f = std::fopen(path.c_str(), "wb");
  std::fwrite(code.data(), 1, code.size(), f);
  std::fclose(f);
  char command[512];
  std::snprintf(command, sizeof command,
                "x86_64-w64-mingw32-objdump -D -b binary -m %s -M intel --adjust-vma=0x%llx '%s'", machine,
                static_cast<unsigned long long>(vma), path.c_str());
  const std::string listing = testing::CommandOutput(command);
  std::remove(path.c_str());
  std::vector<std::string> out;
  const std::regex line(R"(^\s*[0-9a-f]+:\t(?:[0-9a-f]{2} )+\s*\t(.*)$)");
  std::smatch m;
  std::size_t start = 0;
  while (start < listing.size()) {
    std::size_t end = listing.find('\n', start);
    if (end == std::string::npos) end = listing.size();
    const std::string text = listing.substr(start, end - start);
    if (std::regex_match(text, m, line)) out.push_back(std::regex_replace(std::string(m[1]), std::regex(R"(\s+)"), " "));
    start = end + 1;
  }
  return out;
}

TEST(MethodThunk, X86CodeIsPopPushPushJumpThroughItsSlot) {
  const auto code = MethodThunkCodeX86(0x00401000, 0x12345678, 0xCAFEBABE);
  ASSERT_EQ(code.size(), kMethodThunkSizeX86);
  const auto text = Disassemble(std::vector<std::uint8_t>(code.begin(), code.begin() + 13), "i386", 0x401000);
  const std::vector<std::string> expected = {"pop eax", "push 0x12345678", "push eax",
                                             "jmp DWORD PTR ds:0x40100d"};
  EXPECT_EQ(text, expected);
  // The slot the jump reads holds the method.
  EXPECT_EQ(code[13] | code[14] << 8 | code[15] << 16 | static_cast<std::uint32_t>(code[16]) << 24, 0xCAFEBABEu);
}

TEST(MethodThunk, X64CodeShiftsTheArgumentsAndJumps) {
  const auto code = MethodThunkCodeX64(0x1122334455667788ull, 0x0000000140001000ull);
  const auto text = Disassemble(code, "i386:x86-64", 0);
  const std::vector<std::string> expected = {"mov r9,r8", "mov r8,rdx", "mov rdx,rcx",
                                             "movabs rcx,0x1122334455667788", "movabs rax,0x140001000", "jmp rax"};
  EXPECT_EQ(text, expected);
}

}  // namespace
}  // namespace ruvex
