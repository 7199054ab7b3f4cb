// Any bytes as a project configuration: decoding, parsing and every query
// must hold up.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "launcher/Web.Custom.KVIni.h"
#include "launcher/platform/FakePlatform.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace kelvane;
  FakePlatform platform;
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  const Config config(platform, DecodeConfigBytes(platform, bytes));
  for (const char16_t* key : {keys::kElectron, keys::kBrowser, keys::kUrl, keys::kHtmlFile, keys::kDebug}) {
    config.ReadString(keys::kPaths, key, u"");
    config.ReadInteger(keys::kPaths, key, 1);
    config.ReadBool(keys::kPaths, key, false);
  }
  // The integer rule on the raw text as well.
  ParseConfigInteger(std::u16string(bytes.begin(), bytes.end()));
  return 0;
}
