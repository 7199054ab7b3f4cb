#include "reporter/core/settings/MinDebugInfo.h"

#include <gtest/gtest.h>

#include "common/text/Utf.h"

#include "reporter/core/properties/SettingsBlock.h"
#include "reporter/core/settings/FakeSettingsHost.h"

namespace ruvex {
namespace {

TREProperty Text(const char* name, std::u16string v) {
  TREProperty p;
  p.name = name;
  p.vStr = std::make_shared<const std::u16string>(std::move(v));
  return p;
}

TEST(MinDebugInfo, ComesFromTheModulesOwnBlockOnly) {
  constexpr ModuleHandle kExe{0x400000}, kDll{0x10000000}, kBare{0x20000000};
  const std::u16string fingerprint = u"$0000a3f0, $00020003, $1b2c3d4e";
  TFakeSettingsHost host;
  host.modules[kExe].block = *WriteSettingsBlock({Text("MailAddr", u"a@b"), Text("MinDebugInfo", fingerprint)});
  host.modules[kDll].block = *WriteSettingsBlock({Text("MailAddr", u"dll@b")});
  host.modules[kBare].path = u"C:\\bare.dll";
  EXPECT_EQ(ModuleMinDebugInfo(host, kExe), kelvane::Utf16ToUtf8(fingerprint));
  EXPECT_EQ(ModuleMinDebugInfo(host, kDll), "");  // not the program's
  EXPECT_EQ(ModuleMinDebugInfo(host, kBare), "");
  EXPECT_EQ(ModuleMinDebugInfo(host, ModuleHandle{}), "");
  host.modules[kDll].block = "not a block";
  EXPECT_EQ(ModuleMinDebugInfo(host, kDll), "");
}

}  // namespace
}  // namespace ruvex
