#include "reporter/engines/x86/FunctionListing.h"

#include <gtest/gtest.h>

#include <algorithm>
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
  // The marker of an exception that starts a numbered line keeps the number.
  lines = Lines(FunctionListing(code, kBase, kBase + 3, options));
  ASSERT_EQ(lines.size(), 5u);
  EXPECT_EQ(lines[3], "00401003 42 > pop     ebp");
  lines = Lines(FunctionListing(code, kBase, kBase + 1, options));
  EXPECT_EQ(lines[2], "00401001    > mov     ebp, esp");

  TBufferMemory invalid(kBase, {0x0F, 0x0A});
  TFunctionInfo info;
  EXPECT_TRUE(FunctionListing(invalid, kBase, 0, {}, &info).empty());
  EXPECT_FALSE(info.IsValid);
}

TEST(FunctionListing, HandlerAreasAreLabelledAndUd2IsAnExit) {
  // An exception frame whose handler jumps to the typed-except routine;
  // its table names the handler at $401040.
  std::vector<std::uint8_t> bytes(0x200, 0xCC);
  auto put = [&](unsigned at, std::vector<std::uint8_t> piece) { std::copy(piece.begin(), piece.end(), bytes.begin() + at); };
  put(0x00, {0x33, 0xC0});                    // xor eax, eax
  put(0x02, {0x68, 0x20, 0x10, 0x40, 0x00});  // push $401020
  put(0x07, {0x64, 0xFF, 0x30});              // push dword ptr fs:[eax]
  put(0x0A, {0x85, 0xC0, 0x75, 0x02});        // test eax, eax; jnz $401010
  put(0x0E, {0x0F, 0x0B});                    // ud2
  put(0x10, {0xC3});
  put(0x20, {0xE9, 0x5B, 0x01, 0x00, 0x00});  // jmp $401180 (typed handler)
  put(0x25, {0x01, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x40, 0x10, 0x40, 0x00});
  put(0x40, {0xC3});
  put(0x180, {0xC3});
  TBufferMemory code(kBase, bytes);
  TListingOptions options;
  options.parse.runtime.handleOnException = 0x401180;
  const std::vector<std::string> lines = Lines(FunctionListing(code, kBase, 0, options));
  auto has = [&](const std::string& line) { return std::find(lines.begin(), lines.end(), line) != lines.end(); };
  EXPECT_TRUE(has("00401020 loc_401020:"));
  EXPECT_TRUE(has("00401029  else   loc_401040"));
  EXPECT_TRUE(has("00401040 loc_401040:"));
  const auto ud2 = std::find(lines.begin(), lines.end(), "0040100e   ud2");
  ASSERT_NE(ud2, lines.end());
  ASSERT_LT(ud2 + 2, lines.end());
  EXPECT_EQ(*(ud2 + 2), "0040100e ; ---------------------------------------------------------");
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
