#include "reporter/core/threads/TraceBlock.h"

#include <gtest/gtest.h>

namespace ruvex {
namespace {

TEST(TraceBlockLength, LimitsAndWholeCharacters) {
  const std::string text = "ab\xC3\xA4\xE2\x82\xAC" "cd";  // a b ä € c d: 9 bytes
  struct TCase {
    long long maxLength;
    std::size_t blockSize, expected;
  } cases[] = {
      {100, 1000, 9},  // all of it
      {5, 1000, 4},    // "abä" + zero
      {4, 1000, 2},    // ä would be split
      {6, 1000, 4},    // € would be split
      {8, 1000, 7},
      {100, 5, 4},     // the block, not the maximum, limits
      {1, 1000, 0},
      {0, 1000, 0},
      {-1, 1000, 0},
      {100, 0, 0},
  };
  for (const auto& c : cases)
    EXPECT_EQ(TraceBlockLength(text, c.maxLength, c.blockSize), c.expected) << c.maxLength << " " << c.blockSize;
}

}  // namespace
}  // namespace ruvex
