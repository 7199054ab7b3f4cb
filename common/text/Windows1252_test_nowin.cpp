// The case folding against an independent implementation of the code page:
// Python's cp1252 codec lower-cases every byte value.
#include <gtest/gtest.h>

#include <cstdio>
#include <memory>
#include <string>

#include "common/text/Windows1252.h"

namespace kelvane {
namespace {

// For each byte: decode as cp1252, lower-case, encode back (a byte that is
// no character of the code page, or whose lower case is none, stays).
constexpr char kPythonTable[] =
    "python3 -c \"import sys\n"
    "out = []\n"
    "for b in range(256):\n"
    "    try:\n"
    "        low = bytes([b]).decode('cp1252').lower().encode('cp1252')\n"
    "        out.append(low[0] if len(low) == 1 else b)\n"
    "    except UnicodeError:\n"
    "        out.append(b)\n"
    "print(' '.join(map(str, out)))\"";

TEST(Windows1252, FoldingAgreesWithPythonsCodecForEveryValue) {
  std::unique_ptr<FILE, int (*)(FILE*)> pipe(popen(kPythonTable, "r"), pclose);
  ASSERT_TRUE(pipe);
  char buffer[4096];
  std::string text;
  while (std::fgets(buffer, sizeof buffer, pipe.get())) text += buffer;
  std::size_t pos = 0;
  for (int c = 0; c < 256; ++c) {
    std::size_t used = 0;
    ASSERT_LT(pos, text.size()) << "python3 gave too few values";
    const int expected = std::stoi(text.substr(pos), &used);
    pos += used;
    EXPECT_EQ(FoldCase(static_cast<char16_t>(c)), expected) << "value " << c;
  }
}

}  // namespace
}  // namespace kelvane
