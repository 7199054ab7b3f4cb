#include "common/text/HexText.h"

#include <gtest/gtest.h>

namespace kelvane {
namespace {

TEST(HexLower, DigitsAndZeroFill) {
  const struct {
    std::uint64_t value;
    unsigned minDigits;
    const char* text;
  } cases[] = {
      {0, 0, "0"},           {0, 8, "00000000"},  {0x1F, 0, "1f"},
      {0x1F, 8, "0000001f"}, {0xABCDEF12u, 4, "abcdef12"},
      {~std::uint64_t{0}, 0, "ffffffffffffffff"}, {0x1234, 20, "00000000000000001234"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(HexLower(c.value, c.minDigits), c.text);
    EXPECT_EQ(HexLower16(c.value, c.minDigits), std::u16string(c.text, c.text + std::char_traits<char>::length(c.text)));
  }
}

}  // namespace
}  // namespace kelvane
