// Any text as a command line: splitting must terminate and never read past
// the text.
#include <cstddef>
#include <cstdint>
#include <string>

#include "launcher/platform/CommandLine.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::u16string line;
  for (std::size_t i = 0; i + 1 < size; i += 2) line.push_back(static_cast<char16_t>(data[i] | (data[i + 1] << 8)));
  const auto parameters = kelvane::SplitCommandLine(line);
  std::size_t total = 0;
  for (const auto& p : parameters) total += p.size();
  if (total > line.size()) __builtin_trap();  // parameters only ever lose characters
  return 0;
}
