// Untrusted compressed blocks (resources, symbol files) must never crash the
// reader or make it reserve memory out of proportion to their length.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "reporter/archive/Block.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view block(reinterpret_cast<const char*>(data), size);
  auto unpacked = ruvex::TryUnpackBlock(block);
  if (unpacked && unpacked->size() > (size - ruvex::kBlockHeaderSize) * ruvex::kMaxInflateRatio + 16) std::abort();
  return 0;
}
