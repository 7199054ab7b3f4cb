#include "reporter/engines/x86/FunctionListing.h"

#include <gtest/gtest.h>

#include <sstream>

#include "common/text/Utf.h"

namespace ruvex {
namespace {

constexpr Address kBase = 0x401000;

std::vector<std::string> Lines(const std::u16string& text) {
  std::vector<std::string> lines;
  std::string s = kelvane::Utf16ToUtf8(text);
  std::size_t start = 0;
  for (;;) {
    std::size_t at = s.find("\r\n", start);
    lines.push_back(s.substr(start, at == std::string::npos ? std::string::npos : at - start));
    if (at == std::string::npos) return lines;
    start = at + 2;
  }
}

TEST(FunctionListing, LabelsSeparatorsAndMarker) {
  // test eax, eax; jz skip; inc eax; ret; skip: xor eax, eax; ret
  TBufferMemory code(kBase, {0x85, 0xC0, 0x74, 0x02, 0x40, 0xC3, 0x31, 0xC0, 0xC3});
  TListingOptions options;
  std::u16string text = FunctionListing(code, kBase, 0x401004, options);
  const std::vector<std::string> expected = {
      "00401000 public sub_401000:               ; function entry point",
      "00401000   test    eax, eax",
      "00401002   jz      loc_401006",
      "00401004 > inc     eax",
      "00401005   ret",
      "00401005",
      "00401005 ; ---------------------------------------------------------",
      "00401005",
      "00401006 loc_401006:",
      "00401006   xor     eax, eax",
      "00401008   ret",
  };
  EXPECT_EQ(Lines(text), expected);

  options.format = false;
  std::vector<std::string> plain = Lines(FunctionListing(code, kBase, 0x401004, options));
  ASSERT_EQ(plain.size(), 7u);
  EXPECT_EQ(plain[3], "00401004 > inc     eax");  // marked without formatting too
}

TEST(FunctionListing, NamesLineNumbersAndUndecodableFunctions) {
  TBufferMemory code(kBase, {0x55, 0x8B, 0xEC, 0x5D, 0xC3});
  TListingOptions options;
  options.names.nameAt = [](Address a) { return a == kBase ? std::u16string(u"Unit1.Run") : std::u16string(); };
  options.names.lineAt = [](Address a) -> unsigned { return a < kBase + 3 ? 41 : 42; };
  std::vector<std::string> lines = Lines(FunctionListing(code, kBase, 0, options));
  ASSERT_EQ(lines.size(), 5u);
  EXPECT_EQ(lines[0], "00401000 41 public Unit1.Run:                ; function entry point");
  EXPECT_EQ(lines[1], "00401000      push    ebp");
  EXPECT_EQ(lines[3], "00401003 42   pop     ebp");

  TBufferMemory invalid(kBase, {0x0F, 0x0A});
  TFunctionInfo info;
  EXPECT_TRUE(FunctionListing(invalid, kBase, 0, {}, &info).empty());
  EXPECT_FALSE(info.IsValid);
}

TEST(FunctionListing, LineLimitAroundTheExceptionLine) {
  struct TCase {
    unsigned before;  // lines before the exception line
    bool cutBefore;
  };
  // nop ... nop ret: one line per nop after the entry label.
  for (TCase c : {TCase{20, true}, TCase{6, false}}) {
    std::vector<std::uint8_t> bytes(40, 0x90);
    bytes.push_back(0xC3);
    TBufferMemory code(kBase, bytes);
    TListingOptions options;
    options.lineLimit = 5;
    // The label line and c.before - 1 nops come before the exception line.
    const Address exception = kBase + c.before - 1;
    std::vector<std::string> lines = Lines(FunctionListing(code, kBase, exception, options));
    if (c.cutBefore) {
      ASSERT_EQ(lines.size(), 1 + 5 + 1 + 5 + 1u);
      EXPECT_EQ(lines.front(), "[...]");
      EXPECT_EQ(lines[6].substr(0, 11), "00401013 > ");
    } else {
      ASSERT_EQ(lines.size(), 6 + 1 + 5 + 1u);
      EXPECT_EQ(lines.front().substr(0, 15), "00401000 public");
      EXPECT_EQ(lines[6].substr(0, 11), "00401005 > ");
    }
    EXPECT_EQ(lines.back(), "[...]");
  }
}

}  // namespace
}  // namespace ruvex
