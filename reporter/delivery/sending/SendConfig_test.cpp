#include "reporter/delivery/sending/SendConfig.h"

#include <gtest/gtest.h>

#include "reporter/core/properties/SettingsBlock.h"
#include "reporter/core/settings/FakeSettingsHost.h"
#include "reporter/core/settings/Settings.h"

using namespace ruvex;

namespace {

constexpr ModuleHandle kExe{0x400000};

TREProperty Str(const char* name, std::u16string value) {
  TREProperty p;
  p.name = name;
  p.vStr = std::make_shared<const std::u16string>(std::move(value));
  return p;
}

const std::u16string kReport =
    u"date/time         : 2024-03-07, 09:05:02\r\n"
    u"exception class   : EAccessViolation\r\n"
    u"exception message : Access violation at %bugReport% 100%.\r\n"
    u"\r\n"
    u"error details:\r\n"
    u"it broke\r\n"
    u"\r\n"
    u"main thread ($a0):\r\n"
    u"0040100a Kelvane.exe Main 12 Run";

class SendConfigTest : public ::testing::Test {
 protected:
  void UseBlock(const std::vector<TREProperty>& props) {
    host.modules[kExe].path = u"C:\\App\\Kelvane.exe";
    host.modules[kExe].block = *WriteSettingsBlock(props);
    host.computerName = u"%exceptClass%-PC";
  }
  TFakeSettingsHost host;
  TLocalSettingsAnchor anchor;
  TSettingsEnvironment env{host, anchor};
};

TEST_F(SendConfigTest, MailTextsAreExpandedOnceWithTheReportsValues) {
  UseBlock({Str("MailSubj", u"%exceptClass% on %computerName%"),
            Str("MailBody", u"%exceptMsg%|%errorDetails%|%bugReport%")});
  TIRESettings settings(env, kExe);
  const TSendConfig config = ReadSendConfig(settings, kReport);
  // A value inserted is never scanned again: the computer name and the
  // exception message keep their percent signs.
  EXPECT_EQ(config.subject, u"EAccessViolation on %exceptClass%-PC");
  EXPECT_EQ(config.body, u"Access violation at %bugReport% 100%.|it broke|" + kReport);
}

TEST_F(SendConfigTest, ChannelsAttachmentsAndServersComeFromTheSettings) {
  UseBlock({Str("SmtpServer", u"relay.example.org"), Str("AddAttachs", u"C:\\x.log>x.log>logs.zip>Log")});
  TIRESettings settings(env, kExe);
  settings.SetMailAsSmtpClient(true);
  settings.SetSmtpPort(70000);
  const TSendConfig config = ReadSendConfig(settings, kReport);
  EXPECT_TRUE(config.channels.smtpClient);
  EXPECT_TRUE(config.channels.mapi) << "on by default";
  EXPECT_TRUE(config.channels.AnyWithFiles());
  EXPECT_EQ(config.smtp.host, "relay.example.org");
  EXPECT_EQ(config.smtp.port, 0) << "a port out of range means the default";
  EXPECT_EQ(config.attach.rawBugReportFile, u"bugreport.qbr");
  ASSERT_EQ(config.attach.additional.size(), 1u);
  EXPECT_EQ(config.attach.additional[0].zipFile, u"logs.zip");
  EXPECT_EQ(config.captions.failure, u"Sorry, sending the bug report didn't work.");
}

TEST(ReportValuesOf, HeaderFieldsAndTheErrorDetailsSection) {
  const TReportValues values = ReportValuesOf(kReport);
  EXPECT_EQ(values.exceptClass, u"EAccessViolation");
  EXPECT_EQ(values.exceptMsg, u"Access violation at %bugReport% 100%.");
  EXPECT_EQ(values.errorDetails, u"it broke");
  EXPECT_EQ(ReportValuesOf(u"no header").exceptClass, u"");
}

}  // namespace
