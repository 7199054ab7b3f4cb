#include "reporter/delivery/sending/DeliverBugReport.h"

#include <gtest/gtest.h>

#include <thread>

#include "common/files/MemoryFileSystem.h"
#include "reporter/core/properties/SettingsBlock.h"
#include "reporter/core/settings/FakeSettingsHost.h"
#include "reporter/core/settings/Settings.h"
#include "reporter/delivery/sending/FakeDeliveryChannels.h"

using namespace ruvex;

namespace {

constexpr ModuleHandle kExe{0x400000};
const std::u16string kReport = u"date/time         : 2024-03-07, 09:05:02\r\nexception class   : EAccessViolation";

class DeliverTest : public ::testing::Test {
 protected:
  DeliverTest() {
    TREProperty mapiOnly;
    mapiOnly.name = "MailViaMailto";
    mapiOnly.typ = ptBoolean;
    mapiOnly.vBool = false;
    host.modules[kExe].path = u"C:\\App\\Kelvane.exe";
    host.modules[kExe].block = *WriteSettingsBlock({mapiOnly});
    settings = std::make_shared<TIRESettings>(env, kExe);
    channels.files = &fs;
    channels.mapi = TMapiResult::mrSent;
    services.channels = &channels;
    services.files = &fs;
    services.tempFolder = u"C:\\Temp\\Kelvane.RuvexExcept\\";
  }
  TFakeSettingsHost host;
  TLocalSettingsAnchor anchor;
  TSettingsEnvironment env{host, anchor};
  std::shared_ptr<TIRESettings> settings;
  kelvane::TMemoryFileSystem fs;
  TFakeDeliveryChannels channels;
  TSendServices services;
};

TEST_F(DeliverTest, EachSendWorksInAFolderOfItsOwn) {
  std::vector<std::u16string> folders;
  for (int i = 0; i < 2; ++i) {
    EXPECT_EQ(DeliverBugReport(kReport, nullptr, {}, false, settings, true, true, services), TDeliveryResult::drSent);
    ASSERT_EQ(channels.paths.size(), 1u);
    const std::u16string& path = channels.paths[0];
    EXPECT_EQ(path.rfind(services.tempFolder, 0), 0u);
    folders.push_back(path.substr(0, path.rfind(u'\\')));
  }
  EXPECT_NE(folders[0], folders[1]);
  EXPECT_EQ(fs.folders.count(folders[0]), 1u);
}

TEST_F(DeliverTest, BackgroundSendRunsOnItsOwnThreadAndIsWaitedFor) {
  TBackgroundSends background;
  services.background = &background;
  std::thread::id sender;
  channels.duringMapi = [&sender] { sender = std::this_thread::get_id(); };
  EXPECT_EQ(DeliverBugReport(kReport, nullptr, {}, false, settings, true, true, services),
            TDeliveryResult::drStartedInBackground);
  background.WaitAll();
  EXPECT_EQ(channels.Calls(), "mapi");
  EXPECT_NE(sender, std::this_thread::get_id());

  // Without permission, or while the loader lock is held, the send stays here.
  services.loaderLockHeld = [] { return true; };
  EXPECT_EQ(DeliverBugReport(kReport, nullptr, {}, false, settings, true, true, services), TDeliveryResult::drSent);
  EXPECT_EQ(sender, std::this_thread::get_id());
}

TEST_F(DeliverTest, NothingToSendOrNowhereToWork) {
  EXPECT_EQ(DeliverBugReport(u"", nullptr, {}, false, settings, false, true, services), TDeliveryResult::drNotSent);
  services.tempFolder.clear();
  EXPECT_EQ(DeliverBugReport(kReport, nullptr, {}, false, settings, false, true, services),
            TDeliveryResult::drNotSent);
  EXPECT_EQ(channels.Calls(), "");
}

}  // namespace
