#include "reporter/core/threads/TraceBlock.h"

#include <algorithm>

namespace ruvex {

std::size_t TraceBlockLength(std::string_view utf8, long long maxLength, std::size_t blockSize) {
  if (maxLength < 1 || blockSize < 1) return 0;
  std::size_t n = std::min<std::size_t>({utf8.size(), static_cast<std::size_t>(maxLength - 1), blockSize - 1});
  // A continuation byte at the cut means its character began before it.
  while (n > 0 && n < utf8.size() && (static_cast<unsigned char>(utf8[n]) & 0xC0) == 0x80) --n;
  return n;
}

}  // namespace ruvex
