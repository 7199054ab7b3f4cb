#include "reporter/core/reportfile/ReportFileSettings.h"

#include <gtest/gtest.h>

#include "common/files/MemoryFileSystem.h"
#include "reporter/core/settings/FakeSettingsHost.h"
#include "reporter/core/properties/SettingsBlock.h"

namespace ruvex {
namespace {

constexpr ModuleHandle kExe{0x400000};

TREProperty Property(const char* name, TPropertyType type, std::int32_t number, std::u16string text = {}) {
  TREProperty p;
  p.name = name;
  p.typ = type;
  p.vInt = number;
  p.vBool = number != 0;
  if (type == ptString) p.vStr = std::make_shared<const std::u16string>(std::move(text));
  return p;
}

TEST(ReportFileSettingsTest, TheSettingsDecideNameOptionsAndFolders) {
  TFakeSettingsHost host;
  host.modules[kExe].path = u"C:\\Apps\\Kelvane.exe";
  host.folders[TShellFolder::userAppData] = u"C:\\Users\\u\\AppData\\Roaming";
  host.modules[kExe].block = *WriteSettingsBlock({
      Property("BugRepFile", ptString, 0, u"%computerName%-crash.txt"),
      Property("BugRepFileSize", ptInteger, -5),
      Property("NoDupFreezes", ptBoolean, 0),
      Property("DupExceptDef", ptInteger, ddAllStacksIdentical),
  });
  TLocalSettingsAnchor anchor;
  TSettingsEnvironment env{host, anchor};
  TIRESettings settings(env, kExe);

  const TReportFileSave save = ReportFileSaveOf(settings, u"date/time : x");
  EXPECT_EQ(save.rawBugRepFile, u"%computerName%-crash.txt");
  EXPECT_EQ(save.options.sizeLimit, 0u);
  EXPECT_TRUE(save.options.appendBugReports);
  EXPECT_TRUE(save.options.noDupExcepts);
  EXPECT_FALSE(save.options.noDupFreezes);
  EXPECT_EQ(save.options.dupExceptDef, ddAllStacksIdentical);

  kelvane::TMemoryFileSystem files;
  TReportFileContext context = ReportFileContextOf(settings);
  EXPECT_EQ(context.roamingAppData, u"C:\\Users\\u\\AppData\\Roaming");
  context.pause = [](int) {};
  std::u16string where;
  ASSERT_TRUE(WriteBugReportFile(files, context, save, &where));
  EXPECT_EQ(where, u"C:\\Apps\\BUILDBOX-crash.txt");

  files.unreadable.insert(where);
  ASSERT_TRUE(WriteBugReportFile(files, context, save, &where));
  EXPECT_EQ(where, u"C:\\Users\\u\\AppData\\Roaming\\Kelvane\\BUILDBOX-crash.txt");
}

}  // namespace
}  // namespace ruvex
