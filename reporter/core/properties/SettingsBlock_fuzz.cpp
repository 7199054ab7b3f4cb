// Settings blocks come from module resources that anyone may have edited:
// the parser must stay inside the block, and what it reads must survive
// being written and read again.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "reporter/core/properties/SettingsBlock.h"

using namespace ruvex;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::string_view block(reinterpret_cast<const char*>(data), size);
  TSettingsBlockParse parse = ParseSettingsBlock(block);
  InvalidSettingsMessage(parse);
  if (!parse.headerMatches) return 0;
  auto written = WriteSettingsBlock(parse.properties);
  if (!written) std::abort();  // every parsed property can be written
  TSettingsBlockParse again = ParseSettingsBlock(*written);
  if (!again.headerMatches || again.Stopped() || again.properties.size() != parse.properties.size()) std::abort();
  for (std::size_t i = 0; i < parse.properties.size(); ++i) {
    const TREProperty& a = parse.properties[i];
    const TREProperty& b = again.properties[i];
    if (a.name != b.name || a.typ != b.typ || a.vBool != b.vBool || a.vInt != b.vInt || a.Str() != b.Str())
      std::abort();
  }
  return 0;
}
