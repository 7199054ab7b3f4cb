// Sends a bug report the way the reporter does (attachments, zip group,
// screenshot, SMTP client mode) to a real server, for the server checks:
//   send_report_sample --work DIR --server HOST --port N [--tls] [--ssl]
//       [--account A] [--password P] [--trust-ca FILE.der] [--no-check]
//       [--long-lines] [--long-report] [--channel smtp|mapi|mailto]
//       [--delete-source]
// With mapi the mail program gets the report by Simple MAPI; with mailto
// MAPI is tried first (as by default) and then the mailto handler.
// DIR holds bugreport.qbr, app.log and app.ini; the report copy and the
// archive are made in DIR\send. Prints "result N" (the delivery result).
#include <cstdio>
#include <cstdlib>
#include <string>

#include "common/text/Utf.h"
#include "reporter/delivery/sending/BugReportSending.h"
#include "reporter/delivery/sending/MailChannels.h"
#include "reporter/delivery/sending/sample/TrustRoot.h"
#include "reporter/delivery/transport/TlsStream.h"
#include "reporter/imaging/NVBitmap.h"

namespace {

std::u16string Report(bool longLines, bool longReport) {
  std::u16string report =
      u"date/time         : 2024-03-07, 09:05:02\r\n"
      u"computer name     : BUILDBOX\r\n"
      u"exception class   : EAccessViolation\r\n"
      u"exception message : Access violation at address 0040100A. Gr\u00fc\u00dfe.\r\n"
      u"\r\n"
      u"main thread ($a0):\r\n"
      u"0040100a Kelvane.exe Main 12 Run\r\n"
      u".\r\n"
      u"end of stack";
  if (longLines) report += u"\r\n" + std::u16string(1500, u'x') + u"\r\n" + std::u16string(3000, u'y');
  // Far more than a command line holds once escaped, each character two bytes.
  if (longReport) report += u"\r\n" + std::u16string(20000, u'\u00e4');
  return report;
}

}  // namespace

int main(int argc, char** argv) {
  using kelvane::U16;
  std::u16string work;
  ruvex::TSendConfig config;
  config.channels.smtpClient = true;
  config.recipients = u"Support <support@example.org>";
  config.subject = u"Kelvane bug report: EAccessViolation";
  config.body = u"please find the bug report attached\r\n.\r\nthe line above was a single dot";
  bool longLines = false, longReport = false;
  std::string channel = "smtp";
  ruvex::TTlsOptions tls;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    auto next = [&]() -> std::string { return i + 1 < argc ? argv[++i] : std::string(); };
    if (arg == "--work") work = U16(next());
    else if (arg == "--server") config.smtp.host = next();
    else if (arg == "--port") config.smtp.port = static_cast<std::uint16_t>(std::atoi(next().c_str()));
    else if (arg == "--tls") config.smtp.tls = true;
    else if (arg == "--ssl") config.smtp.ssl = true;
    else if (arg == "--account") config.smtp.account = U16(next());
    else if (arg == "--password") config.smtp.password = U16(next());
    else if (arg == "--no-check") tls.checkCertificate = false;
    else if (arg == "--long-lines") longLines = true;
    else if (arg == "--long-report") longReport = true;
    else if (arg == "--channel") channel = next();
    else if (arg == "--delete-source") config.attach.deleteBugReportFile = true;
    else if (arg == "--trust-ca") {
      if (!TrustRootCertificate(next())) std::printf("trust failed\n");
    } else {
      std::fprintf(stderr, "unknown option %s\n", arg.c_str());
      return 2;
    }
  }
  if (work.empty()) return 2;
  config.channels.smtpClient = channel == "smtp";
  config.channels.mapi = channel == "mapi" || channel == "mailto";
  config.channels.mailto = channel == "mailto";

  config.attach.attachBugReport = config.attach.attachBugReportFile = true;
  config.attach.bugReportSendAs = u"bugreport.qbr";
  config.attach.screenShotSendAs = u"screenshot.png";
  config.attach.additional = {{work + u"\\app.log", u"app.log", u"logs.zip", u"Log"},
                              {work + u"\\app.ini", u"app.ini", u"logs.zip", u"Ini"}};

  ruvex::TSendEnvironment env;
  env.files = &kelvane::DefaultFileSystem();
  env.sendFolder = work + u"\\send\\";
  env.files->CreateFolders(work + u"\\send");
  env.reportFile.executablePath = work + u"\\Kelvane.exe";
  env.expand = [](std::u16string_view text) { return std::u16string(text); };

  ruvex::TMailChannelParts parts;
  parts.smtpOptions.timeoutSeconds = 10;
  parts.smtpOptions.heloName = "reporter.test";
  parts.mail.computerName = "BUILDBOX";
  parts.mail.newStream = [tls] { return ruvex::CreateTlsStream(ruvex::CreateTcpStream(), tls); };
  ruvex::TMailChannels channels(parts);

  auto screenShot = ruvex::CreateNVBitmap(40, 20);
  if (screenShot) {
    const ruvex::TPixelView pixels = screenShot->Pixels();
    for (int y = 0; y < pixels.height; ++y)
      for (int x = 0; x < pixels.width; ++x) {
        std::uint8_t* p = pixels.At(x, y);
        p[0] = static_cast<std::uint8_t>(x * 6);
        p[1] = static_cast<std::uint8_t>(y * 12);
        p[2] = 200;
      }
  }
  // The mailto handler is offered only to a user who is there.
  ruvex::TSendRequest request{Report(longLines, longReport), screenShot, {}, false, channel != "mailto"};
  const ruvex::TDeliveryResult result = ruvex::SendBugReportNow(request, config, env, channels);
  std::printf("result %d\n", static_cast<int>(result));
  return result == ruvex::TDeliveryResult::drNotSent ? 1 : 0;
}
