#include "reporter/delivery/sending/BugReportSending.h"

#include <gtest/gtest.h>

#include "common/files/MemoryFileSystem.h"
#include "common/text/Utf.h"
#include "reporter/delivery/sending/FakeDeliveryChannels.h"
#include "reporter/imaging/NVBitmap.h"

using namespace ruvex;
using kelvane::U16;

namespace {

const std::u16string kSource = u"C:\\App\\bugreport.qbr";
const std::u16string kSendFolder = u"C:\\Temp\\Kelvane.RuvexExcept\\send1-7\\";
const std::u16string kReport =
    u"date/time         : 2024-03-07, 09:05:02\r\n"
    u"computer name     : BUILDBOX\r\n"
    u"exception class   : EAccessViolation\r\n"
    u"callstack crc     : $1234abcd, $00000001, $00000002\r\n"
    u"\r\n"
    u"main thread ($a0):\r\n"
    u"0040100a Kelvane.exe Main 12 Run";

class SendingTest : public ::testing::Test {
 protected:
  SendingTest() {
    fs.Add(kSource, "earlier report\r\n", 100);
    env.files = &fs;
    env.sendFolder = kSendFolder;
    env.reportFile.executablePath = u"C:\\App\\Kelvane.exe";
    env.reportFile.roamingAppData = u"C:\\Users\\u\\AppData\\Roaming";
    env.expand = [](std::u16string_view text) { return std::u16string(text); };
    env.getMailWasSaved = [this] { return mailWasSaved; };
    env.setMailWasSaved = [this](bool value) { mailWasSaved = value; };
    env.setMailWasSent = [this](bool value) { mailWasSent = value; };
    channels.files = &fs;
    // The defaults of the settings.
    config.channels.mapi = config.channels.mailto = true;
    config.subject = u"bug report";
    config.body = u"please find the bug report attached";
    config.attach.attachBugReport = config.attach.attachBugReportFile = config.attach.deleteBugReportFile = true;
    config.attach.bugReportSendAs = u"bugreport.qbr";
    config.attach.screenShotSendAs = u"screenshot.png";
    config.captions.failure = u"Sorry, sending the bug report didn't work.";
  }

  TDeliveryResult Send(bool silent = false, std::shared_ptr<INVBitmap> screenShot = nullptr) {
    TSendRequest request{kReport, std::move(screenShot), {}, false, silent};
    return SendBugReportNow(request, config, env, channels);
  }

  // Nothing the send made is left in its folder.
  void ExpectSendFolderEmpty() {
    for (const auto& [path, file] : fs.files)
      EXPECT_NE(path.rfind(kSendFolder, 0), 0u) << kelvane::Utf16ToUtf8(path);
  }

  kelvane::TMemoryFileSystem fs;
  TSendEnvironment env;
  TSendConfig config;
  TFakeDeliveryChannels channels;
  bool mailWasSaved = false, mailWasSent = false;
};

struct TOrderCase {
  const char* name;
  // The channels and what each answers.
  bool upload, smtpClient, smtpServerMode;
  bool reachable, uploadOk, smtpOk;
  TMapiResult mapi;
  bool mailto, mailtoOk, silent;
  // What is expected.
  const char* calls;
  TDeliveryResult result;
  bool sourceDeleted;
};

TEST_F(SendingTest, ChannelsAreTriedInOrderUntilOneDelivers) {
  using R = TDeliveryResult;
  using M = TMapiResult;
  const TOrderCase cases[] = {
      {"defaults: MAPI delivers", false, false, false, true, false, false, M::mrSent, true, false, false,
       "mapi", R::drSent, true},
      {"upload delivers, no mail as well", true, true, false, true, true, true, M::mrSent, true, true, false,
       "reach,upload", R::drSent, true},
      {"failed upload, then the relay", true, true, false, true, false, true, M::mrSent, true, true, false,
       "reach,upload,reach,smtp", R::drSent, true},
      {"server mode goes to the mail exchangers", false, true, true, true, false, true, M::mrFailed, true, true,
       false, "reach,smtp-mx", R::drSent, true},
      {"unreachable: no network channel, MAPI next", true, true, false, false, true, true, M::mrSent, true, true,
       false, "reach,reach,mapi", R::drSent, true},
      {"the mail program started is not a delivery", false, true, false, true, false, false, M::mrFailed, true,
       true, false, "reach,smtp,mapi,mailto", R::drMailProgramStarted, false},
      {"cancelled MAPI dialog: mailto still offered", false, false, false, true, false, false, M::mrCancelled,
       true, false, false, "mapi,mailto", R::drCancelled, false},
      {"cancelled MAPI dialog, no mailto: no failure box", false, false, false, true, false, false,
       M::mrCancelled, false, false, false, "mapi", R::drCancelled, false},
      {"all fail: the failure box", true, true, false, true, false, false, M::mrFailed, true, false, false,
       "reach,upload,reach,smtp,mapi,mailto,fail", R::drNotSent, false},
      {"all fail silently: no mailto, no box", true, true, false, true, false, false, M::mrFailed, true, true,
       true, "reach,upload,reach,smtp,mapi", R::drNotSent, false},
  };
  for (const TOrderCase& c : cases) {
    SCOPED_TRACE(c.name);
    fs.Add(kSource, "earlier report\r\n", 100);
    channels.ClearRecord();
    config.channels.customScript = c.upload;
    config.http.server = u"http://127.0.0.1/upload/";
    config.channels.smtpClient = c.smtpClient;
    config.channels.smtpServerMode = c.smtpServerMode;
    config.channels.mailto = c.mailto;
    config.recipients = u"support@example.org";
    config.smtp.host = "relay.example.org";
    channels.reachable = c.reachable;
    channels.uploadOk = c.uploadOk;
    channels.smtpOk = c.smtpOk;
    channels.mapi = c.mapi;
    channels.mailtoOk = c.mailtoOk;
    mailWasSent = false;

    EXPECT_EQ(Send(c.silent), c.result);
    EXPECT_EQ(channels.Calls(), c.calls);
    EXPECT_EQ(mailWasSent, c.result == R::drSent);
    EXPECT_EQ(fs.files.count(kSource) == 0, c.sourceDeleted);
    ExpectSendFolderEmpty();
  }
}

TEST_F(SendingTest, DefaultsHandMapiTheReportFileCopyWithTheCurrentReport) {
  config.channels.mailto = false;
  channels.mapi = TMapiResult::mrSent;
  EXPECT_EQ(Send(true), TDeliveryResult::drSent);
  ASSERT_EQ(channels.handed.size(), 1u);
  EXPECT_EQ(channels.handed[0].sendAs, u"bugreport.qbr");
  EXPECT_EQ(channels.handed[0].field, u"BugReport");
  EXPECT_EQ(channels.handed[0].content.rfind("earlier report\r\n", 0), 0u);
  EXPECT_NE(channels.handed[0].content.find("exception class   : EAccessViolation"), std::string::npos);
  EXPECT_EQ(channels.paths[0], kSendFolder + u"bugreport.qbr");
  EXPECT_TRUE(channels.lastMapiSilent) << "the channel decides that an empty recipient list shows the dialog";
  EXPECT_EQ(channels.lastMail.recipients, u"");
}

TEST_F(SendingTest, ReportAlreadySavedIntoTheFileIsNotAppendedAgain) {
  fs.Add(kSource, "earlier report\r\n", 100);
  mailWasSaved = true;
  channels.mapi = TMapiResult::mrSent;
  Send(true);
  ASSERT_EQ(channels.handed.size(), 1u);
  EXPECT_EQ(channels.handed[0].content, "earlier report\r\n");
  EXPECT_TRUE(mailWasSaved) << "the copy does not change the saved state";
}

TEST_F(SendingTest, ReportFileWrittenWhileSendingIsKept) {
  channels.mapi = TMapiResult::mrSent;
  channels.duringMapi = [this] { fs.Add(kSource, "earlier report\r\nnewer report\r\n", 101); };
  EXPECT_EQ(Send(true), TDeliveryResult::drSent);
  ASSERT_EQ(fs.files.count(kSource), 1u);
  EXPECT_EQ(fs.files[kSource].data, "earlier report\r\nnewer report\r\n");
}

TEST_F(SendingTest, WithoutTheFileTheCopyHoldsTheReportAloneAndNothingIsDeleted) {
  fs.files.clear();
  config.attach.rawBugReportFile = u"C:\\Logs\\bugreport.qbr";
  channels.mapi = TMapiResult::mrSent;
  EXPECT_EQ(Send(true), TDeliveryResult::drSent);
  ASSERT_EQ(channels.handed.size(), 1u);
  EXPECT_EQ(channels.handed[0].content.rfind("date/time", 0), 0u);
  EXPECT_EQ(fs.files.count(u"C:\\Logs\\bugreport.qbr"), 0u);
}

TEST_F(SendingTest, ScreenshotAndAdditionalFilesWithOneZipNameTravelInOneArchive) {
  fs.Add(u"C:\\App\\app.log", "log lines");
  fs.Add(u"C:\\App\\app.ini", "[x]");
  config.channels.mapi = false;
  config.channels.smtpClient = true;
  config.recipients = u"support@example.org";
  config.smtp.host = "relay";
  channels.smtpOk = true;
  config.attach.screenShotDepth = 4;
  // Names from the settings keep their file name part only.
  config.attach.additional = {{u"app.log", u"..\\..\\log.txt", u"..\\logs.zip", u"Log"},
                              {u"C:\\App\\missing.txt", u"", u"", u""},
                              {u"C:\\App\\app.ini", u"app.ini", u"LOGS.ZIP", u"Ini"}};
  auto screenShot = CreateNVBitmap(8, 4, fs);
  ASSERT_TRUE(screenShot);
  EXPECT_EQ(Send(false, screenShot), TDeliveryResult::drSent);

  ASSERT_EQ(channels.handed.size(), 3u);
  EXPECT_EQ(channels.handed[1].sendAs, u"screenshot.png");
  EXPECT_EQ(channels.handed[1].field, u"ScreenShot");
  EXPECT_EQ(channels.handed[1].content.substr(1, 3), "PNG");
  EXPECT_EQ(channels.paths[1], kSendFolder + u"screenShot.png");
  EXPECT_EQ(channels.handed[2].sendAs, u"logs.zip");
  EXPECT_EQ(channels.paths[2], kSendFolder + u"logs.zip");
  const std::string& zip = channels.handed[2].content;
  EXPECT_EQ(zip.substr(0, 2), "PK");
  EXPECT_NE(zip.find("log.txt"), std::string::npos);
  EXPECT_NE(zip.find("app.ini"), std::string::npos);
  EXPECT_EQ(zip.find(".."), std::string::npos);
  ExpectSendFolderEmpty();
  EXPECT_EQ(fs.files.count(u"C:\\App\\app.log"), 1u) << "the program's own files stay";
}

TEST_F(SendingTest, MailtoCarriesTheReportWhenThereWereFilesToAttach) {
  channels.mailtoOk = true;
  EXPECT_EQ(Send(), TDeliveryResult::drMailProgramStarted);
  EXPECT_EQ(channels.mailtoBody, kReport);
  EXPECT_EQ(fs.files.count(kSource), 1u) << "starting the mail program never deletes the report file";

  config.channels.mapi = false;
  config.attach.attachBugReport = false;
  Send();
  EXPECT_EQ(channels.mailtoBody, u"please find the bug report attached");
}

TEST_F(SendingTest, UploadGetsFieldsHeaderValuesAndTheServerWithoutSlash) {
  config.channels.bugZilla = true;
  config.http.server = u"https://tracker.example.org/";
  config.recipients = u"support@example.org";
  config.additionalFields = {{u"Build", u"17"}};
  channels.uploadOk = true;
  EXPECT_EQ(Send(), TDeliveryResult::drSent);
  EXPECT_EQ(channels.lastUpload.server, u"https://tracker.example.org");
  EXPECT_EQ(channels.lastUpload.computerName, u"BUILDBOX");
  EXPECT_EQ(channels.lastUpload.callstackCrc, u"$1234abcd, $00000001, $00000002");
  EXPECT_EQ(channels.lastUpload.sender, u"RuvexExcept <support@example.org>");
  const std::vector<TIREFields::TItem> fields = {{u"Build", u"17"},
                                                 {u"MailFrom", u"RuvexExcept <support@example.org>"},
                                                 {u"MailSubject", u"bug report"},
                                                 {u"MailBody", u"please find the bug report attached"},
                                                 {u"MailAddr", u"support@example.org"}};
  EXPECT_EQ(channels.lastUpload.fields, fields);
}

TEST_F(SendingTest, ProgressWindowAreasFollowTheChannels) {
  config.channels.smtpServerMode = true;
  config.recipients = u"a@example.org";
  config.captions.prepareAttachments = u"prep";
  config.captions.mxLookup = u"mx";
  config.captions.connect = u"conn";
  config.captions.sendMail = u"mail";
  config.captions.sendAttachments = u"att";
  config.captions.finalize = u"fin";
  channels.smtpOk = true;
  Send();
  ASSERT_EQ(channels.progresses.size(), 1u);
  const auto& progress = *channels.progresses[0];
  const std::vector<TRecordedArea> areas = {{u"prep", 100}, {u"mx", 100}, {u"conn", 100},
                                            {u"mail", 100}, {u"att", 100}, {u"fin", 100}};
  EXPECT_EQ(progress.areas, areas);
  EXPECT_EQ(progress.closes, 1);
}

TEST_F(SendingTest, EmptyReportSendsNothing) {
  TSendRequest request{u"", nullptr, {}, false, false};
  EXPECT_EQ(SendBugReportNow(request, config, env, channels), TDeliveryResult::drNotSent);
  EXPECT_EQ(channels.Calls(), "");
}

TEST(SenderOf, MailFromOrTheFirstRecipientsAddress) {
  TSendConfig config;
  EXPECT_EQ(SenderOf(config), u"");
  config.recipients = u"Support Team <support@example.org>; other@example.org";
  EXPECT_EQ(SenderOf(config), u"RuvexExcept <support@example.org>");
  config.mailFrom = u"me@example.org";
  EXPECT_EQ(SenderOf(config), u"me@example.org");
}

}  // namespace
