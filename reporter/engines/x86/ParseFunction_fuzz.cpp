// A fake image of any bytes: the analysis and the listing of the function
// at its start stay within their bounds and never fault.
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "reporter/engines/x86/FunctionListing.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace ruvex;
  if (size < 8) return 0;
  const Address base = 0x401000;
  TBufferMemory memory(base, std::vector<std::uint8_t>(data + 8, data + size));
  TListingOptions options;
  // Runtime routines and the exception address from the first bytes.
  options.parse.runtime.handleOnException = base + data[0] * 4;
  options.parse.runtime.handleFinally = base + data[1] * 4;
  options.parse.runtime.cxxFrameHandler = base + data[2] * 4;
  options.parse.maxInstructions = 4096;
  options.lineLimit = data[3] & 15;
  options.format = data[4] & 1;
  TFunctionInfo info;
  std::u16string text = FunctionListing(memory, base, base + data[5], options, &info);
  if (info.IsValid && (info.CodeLen <= 0 || info.CodeAreas.empty() || info.CodeAreas.size() > options.parse.maxAreas))
    std::abort();
  return 0;
}
