// Any bytes as a project configuration, run through the whole launch against
// the in-memory platform: target resolution, macros, browser detection and
// the launch itself must hold up, failing only with the launcher's errors.
// The same text also goes through the command-text rules directly.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "launcher/KV.Work.h"
#include "launcher/Web.Custom.Browsers.h"
#include "launcher/Web.Custom.KVIni.h"
#include "launcher/platform/FakePlatform.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace kelvane;
  FakePlatform platform;
  platform.AddFile(u"C:\\Tools\\Project1.html");
  platform.AddFile(u"C:\\Dbg\\DbgManager.exe");
  platform.SetString(RegistryRoot::ClassesRoot, u"ChromeHTML\\shell\\open\\command", u"", u"\"C:\\c\\chrome.exe\" %1");
  platform.SetString(RegistryRoot::ClassesRoot, u"FirefoxHTML\\shell\\open\\command", u"", u"C:\\f\\firefox.exe");
  platform.AddFile(u"C:\\f\\application.ini", "[App]\nCodeName=Firefox\n");

  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  platform.AddFile(u"C:\\Work\\fuzz.ini", std::string(bytes));
  try {
    RunLauncher(platform, u"C:\\Work\\fuzz.ini");
  } catch (const ELauncherError&) {
    // Path and launch errors are the launcher's own outcomes.
  }

  const std::u16string text = DecodeConfigBytes(platform, bytes);
  const Config config(platform, text);
  ExpandMacros(platform, text, config);
  QuoteIfSpaced(text);
  Unquote(text);
  ExtractExePath(platform, text);
  return 0;
}
