#include "reporter/delivery/sending/BugReportSending.h"

#include "common/text/Utf.h"
#include "common/text/Windows1252.h"
#include "reporter/core/reportfile/ReportFileText.h"
#include "reporter/delivery/mime/MailText.h"
#include "reporter/imaging/NVBitmap.h"

namespace ruvex {
namespace {

std::u16string HeaderValue(const std::string& reportUtf8, std::string_view name) {
  const auto value = ReadReportField(reportUtf8, name);
  return value ? kelvane::Utf8ToUtf16(*value) : std::u16string();
}

std::vector<TREAttachment> AttachmentEntries(const TSendRequest& request, const TSendConfig& config,
                                             TSendEnvironment& env, TReportCopy& copy, std::u16string& screenShotPath) {
  std::vector<TREAttachment> entries;
  const TAttachConfig& attach = config.attach;
  if (attach.attachBugReport) {
    copy = PrepareReportCopy(attach, request.bugReport, env);
    if (!copy.copyPath.empty())
      entries.push_back({copy.copyPath, attach.bugReportSendAs, attach.bugReportZip, kBugReportField});
  }
  if (request.screenShot) {
    screenShotPath = WriteScreenShotFile(*request.screenShot, attach.screenShotDepth, env);
    if (!screenShotPath.empty())
      entries.push_back({screenShotPath, attach.screenShotSendAs, attach.screenShotZip, kScreenShotField});
  }
  entries.insert(entries.end(), attach.additional.begin(), attach.additional.end());
  return entries;
}

void AddProgressAreas(IProgressAlert& progress, const TSendConfig& config, bool withAttachments) {
  const TSendCaptions& c = config.captions;
  progress.AddArea(c.prepareAttachments, 100);
  if (!config.channels.AnyNetwork()) return;
  if (config.channels.smtpServerMode) progress.AddArea(c.mxLookup, 100);
  progress.AddArea(c.connect, 100);
  if (config.channels.smtpServerMode || config.channels.smtpClient) progress.AddArea(c.sendMail, 100);
  if (withAttachments) progress.AddArea(c.sendAttachments, 100);
  progress.AddArea(c.finalize, 100);
}

std::vector<TIREFields::TItem> UploadFields(const TSendConfig& config, const std::u16string& sender) {
  std::vector<TIREFields::TItem> fields = config.additionalFields;
  const auto add = [&fields](const char16_t* name, const std::u16string& value) {
    if (!value.empty()) fields.emplace_back(name, value);
  };
  add(u"MailFrom", sender);
  add(u"MailSubject", config.subject);
  add(u"MailBody", config.body);
  add(u"MailAddr", config.recipients);
  return fields;
}

bool TryUpload(const TSendRequest& request, const TSendConfig& config, const std::u16string& sender,
               const TPreparedAttachments& attachments, IProgressAlert* progress, IDeliveryChannels& channels) {
  if (!config.channels.AnyUpload() || config.http.server.empty()) return false;
  if (!channels.InternetReachable(!request.silent)) return false;
  TUploadRequest upload;
  upload.config = &config;
  upload.server = config.http.server;
  if (!config.channels.customScript)
    while (!upload.server.empty() && upload.server.back() == u'/') upload.server.pop_back();
  upload.sender = sender;
  upload.fields = UploadFields(config, sender);
  upload.attachments = &attachments;
  upload.progress = progress;
  const std::string report = kelvane::Utf16ToUtf8(request.bugReport);
  upload.computerName = HeaderValue(report, "computer name");
  upload.operatingSystem = HeaderValue(report, "operating system");
  upload.version = HeaderValue(report, "version");
  upload.callstackCrc = HeaderValue(report, "callstack crc");
  return channels.Upload(upload);
}

bool TrySmtp(const TSendRequest& request, const TSendConfig& config, const TMailRequest& mail,
             IDeliveryChannels& channels) {
  if (config.recipients.empty()) return false;
  if (config.channels.smtpServerMode) {
    if (!channels.InternetReachable(!request.silent)) return false;
    // Straight to the mail exchangers: no relay, no encryption asked, no credentials.
    return channels.SendSmtp(mail, TSmtpServer{});
  }
  if (config.channels.smtpClient && !config.smtp.host.empty()) {
    if (!channels.InternetReachable(!request.silent)) return false;
    return channels.SendSmtp(mail, config.smtp);
  }
  return false;
}

}  // namespace

std::u16string SenderOf(const TSendConfig& config) {
  if (!config.mailFrom.empty() || config.recipients.empty()) return config.mailFrom;
  const auto recipients = SplitMailAddrs(config.recipients);
  if (recipients.empty()) return {};
  const auto address = FormatMailAddress(recipients.front(), false, false);
  if (!address) return {};
  return u"RuvexExcept " + kelvane::DecodeWindows1252(*address);
}

TDeliveryResult SendBugReportNow(const TSendRequest& request, const TSendConfig& config, TSendEnvironment& env,
                                 IDeliveryChannels& channels) {
  if (request.bugReport.empty()) return TDeliveryResult::drNotSent;
  const std::u16string sender = SenderOf(config);

  TReportCopy copy;
  std::u16string screenShotPath;
  TPreparedAttachments attachments;
  PProgressAlert progress;
  if (config.channels.AnyWithFiles()) {
    const auto entries = AttachmentEntries(request, config, env, copy, screenShotPath);
    progress = channels.CreateProgress(config.captions.title);
    if (progress) {
      AddProgressAreas(*progress, config, !entries.empty());
      if (!request.silent || config.autoSendBox)
        progress->Show(request.inBackground ? kelvane::TWindowHandle{} : request.parent, !request.inBackground);
    }
    attachments = PrepareAttachments(entries, env);
    if (progress) progress->AreaDone();
  }

  TMailRequest mail{sender, config.recipients, config.subject, config.body, &attachments, progress.get()};
  bool delivered = TryUpload(request, config, sender, attachments, progress.get(), channels);
  if (!delivered) delivered = TrySmtp(request, config, mail, channels);
  if (progress) progress->Close();
  progress.reset();
  mail.progress = nullptr;

  bool cancelled = false, mailProgramStarted = false;
  if (!delivered && config.channels.mapi) {
    const TMapiResult mapi = channels.SendMapi(mail, request.silent, request.parent);
    delivered = mapi == TMapiResult::mrSent;
    cancelled = mapi == TMapiResult::mrCancelled;
  }
  if (!delivered && config.channels.mailto && !request.silent) {
    channels.MakeNonTopmost(request.parent);
    // A mailto URL carries no files: the report goes into the body instead.
    const std::u16string& body = attachments.Empty() ? config.body : request.bugReport;
    mailProgramStarted = channels.SendMailto(config.recipients, config.subject, body);
  }

  // The send's own files are not needed any more, whatever happened.
  for (const auto& path : attachments.paths)
    if (path.rfind(env.sendFolder, 0) == 0) env.files->Remove(path);
  if (!copy.copyPath.empty()) env.files->Remove(copy.copyPath);
  if (!screenShotPath.empty()) env.files->Remove(screenShotPath);

  if (delivered) {
    env.setMailWasSent(true);
    DeleteReportSource(copy, *env.files);
    return TDeliveryResult::drSent;
  }
  if (mailProgramStarted) return TDeliveryResult::drMailProgramStarted;
  if (cancelled) return TDeliveryResult::drCancelled;
  if (!request.silent) channels.ShowFailure(request.parent, config.captions.failure);
  return TDeliveryResult::drNotSent;
}

}  // namespace ruvex
