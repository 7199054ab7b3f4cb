#include "reporter/delivery/sending/SendConfig.h"

#include "common/text/Utf.h"
#include "reporter/core/reportfile/ReportFileText.h"
#include "reporter/core/settings/Settings.h"

namespace ruvex {
namespace {

std::u16string HeaderValue(std::string_view reportUtf8, std::string_view name) {
  const auto value = ReadReportField(reportUtf8, name);
  return value ? kelvane::Utf8ToUtf16(*value) : std::u16string();
}

// The lines of a section after its title line, up to the blank line that
// starts the next section.
std::u16string SectionText(std::u16string_view report, std::u16string_view title) {
  const std::u16string heading = u"\r\n\r\n" + std::u16string(title) + u"\r\n";
  std::size_t start = report.find(heading);
  if (start == std::u16string_view::npos) return {};
  start += heading.size();
  const std::size_t end = report.find(u"\r\n\r\n", start);
  return std::u16string(report.substr(start, end == std::u16string_view::npos ? report.npos : end - start));
}

// The settings' placeholders with the report's values, one pass over the
// unexpanded text.
std::u16string ExpandOnce(const TIRESettings& settings, const char* name, const TReportValues& report) {
  const auto raw = settings.LookupProp(name);
  if (!raw) return {};
  TPlaceholderValues values;
  values.exceptClass = report.exceptClass;
  values.exceptMsg = report.exceptMsg;
  values.errorDetails = report.errorDetails;
  values.bugReport = report.bugReport;
  values.modVersionVar = settings.VersionVar();
  const ISettingsHost& host = settings.Environment().Host();
  if (settings.RequestedModule() == host.ExecutableModule()) {
    values.appVersionVar = settings.VersionVar();
  } else if (const auto main = settings.Environment().MainSettings();
             main && main->RequestedModule() == host.ExecutableModule()) {
    values.appVersionVar = main->VersionVar();
  }
  return ExpandPlaceholders(host, settings.RequestedModule(), raw->Str(), values);
}

}  // namespace

std::u16string TSendCaptions::Of(std::u16string_view messageName) const {
  if (messageName == u"PrepAttMsg") return prepareAttachments;
  if (messageName == u"MxLookMsg") return mxLookup;
  if (messageName == u"ConnMsg") return connect;
  if (messageName == u"SendMailMsg") return sendMail;
  if (messageName == u"SendAttMsg") return sendAttachments;
  if (messageName == u"SendFinalMsg") return finalize;
  return std::u16string(messageName);
}

TReportValues ReportValuesOf(std::u16string_view bugReport) {
  const std::string utf8 = kelvane::Utf16ToUtf8(bugReport);
  TReportValues values;
  values.exceptClass = HeaderValue(utf8, "exception class");
  values.exceptMsg = HeaderValue(utf8, "exception message");
  values.errorDetails = SectionText(bugReport, u"error details:");
  values.bugReport = std::u16string(bugReport);
  return values;
}

TSendConfig ReadSendConfig(const TIRESettings& constSettings, std::u16string_view bugReport) {
  // The lists are made on first use, which changes the object.
  auto& settings = const_cast<TIRESettings&>(constSettings);
  TSendConfig c;
  c.channels.fogBugz = settings.GetUploadToFogBugz();
  c.channels.bugZilla = settings.GetUploadToBugZilla();
  c.channels.mantis = settings.GetUploadToMantis();
  c.channels.customScript = settings.GetUploadToCustomScript();
  c.channels.smtpServerMode = settings.GetMailAsSmtpServer();
  c.channels.smtpClient = settings.GetMailAsSmtpClient();
  c.channels.mapi = settings.GetMailViaMapi();
  c.channels.mailto = settings.GetMailViaMailto();

  c.recipients = settings.GetMailAddr();
  c.mailFrom = settings.GetMailFrom();
  const TReportValues values = ReportValuesOf(bugReport);
  c.subject = ExpandOnce(settings, "MailSubj", values);
  c.body = ExpandOnce(settings, "MailBody", values);

  c.smtp.host = kelvane::Utf16ToUtf8(settings.GetPropStr("SmtpServer"));
  const std::int32_t smtpPort = settings.GetSmtpPort();
  c.smtp.port = smtpPort > 0 && smtpPort <= 0xFFFF ? static_cast<std::uint16_t>(smtpPort) : 0;
  c.smtp.account = settings.GetSmtpAccount();
  c.smtp.password = settings.GetSmtpPassword();
  c.smtp.tls = settings.GetSmtpTls();
  c.smtp.ssl = settings.GetSmtpSsl();

  c.http.server = settings.GetPropStr("HttpServer");
  const std::int32_t httpPort = settings.GetHttpPort();
  c.http.port = httpPort > 0 && httpPort <= 0xFFFF ? static_cast<std::uint16_t>(httpPort) : 0;
  c.http.ssl = settings.GetHttpSsl();
  c.http.account = settings.GetHttpAccount();
  c.http.password = settings.GetHttpPassword();
  c.http.trackerAccount = settings.GetBugTrackerAccount();
  c.http.trackerPassword = settings.GetBugTrackerPassword();
  c.http.project = settings.GetBugTrackerProject();
  c.http.area = settings.GetBugTrackerArea();
  c.http.assignTo = settings.GetBugTrackerAssignTo();
  c.http.title = settings.GetBugTrackerTitle();
  c.http.description = settings.GetBugTrackerDescription();

  c.attach.attachBugReport = settings.GetAttachBugReport();
  c.attach.attachBugReportFile = settings.GetAttachBugReportFile();
  c.attach.deleteBugReportFile = settings.GetDeleteBugReportFile();
  if (const auto raw = settings.LookupProp("BugRepFile")) c.attach.rawBugReportFile = raw->Str();
  c.attach.bugReportSendAs = settings.GetBugReportSendAs();
  c.attach.bugReportZip = settings.GetBugReportZip();
  c.attach.screenShotDepth = settings.GetScreenShotDepth();
  c.attach.screenShotSendAs = settings.GetScreenShotSendAs();
  c.attach.screenShotZip = settings.GetScreenShotZip();
  if (const auto list = settings.GetAdditionalAttachments())
    for (int i = 0; i < list->Count(); ++i) c.attach.additional.push_back(list->Item(i));
  if (const auto fields = settings.GetAdditionalFields())
    for (int i = 0; i < fields->GetItemCount(); ++i)
      c.additionalFields.push_back({fields->GetItem(i), fields->GetContentAt(i)});

  c.autoSendBox = settings.GetAutoSendPrgrBox();
  c.captions.title = settings.GetSendBoxTitle();
  c.captions.prepareAttachments = settings.GetPrepareAttachMsg();
  c.captions.mxLookup = settings.GetMxLookupMsg();
  c.captions.connect = settings.GetConnectMsg();
  c.captions.sendMail = settings.GetSendMailMsg();
  c.captions.sendAttachments = settings.GetSendAttachMsg();
  c.captions.finalize = settings.GetSendFinalizeMsg();
  c.captions.failure = settings.GetSendFailureMsg();
  return c;
}

}  // namespace ruvex
