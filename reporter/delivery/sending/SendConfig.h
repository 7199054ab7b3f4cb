#pragma once
// What one send of a bug report reads from the settings, read once at its
// start so that the order of the channels works on plain values.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "reporter/core/fields/Fields.h"
#include "reporter/delivery/smtp/SmtpClient.h"

namespace ruvex {

class TIRESettings;
class IRESettings;

struct TSendChannels {
  bool fogBugz = false, bugZilla = false, mantis = false, customScript = false;
  bool smtpServerMode = false, smtpClient = false;
  bool mapi = false, mailto = false;

  bool AnyUpload() const { return fogBugz || bugZilla || mantis || customScript; }
  bool AnyNetwork() const { return AnyUpload() || smtpServerMode || smtpClient; }
  // The channels that carry files; only they get attachments prepared.
  bool AnyWithFiles() const { return AnyNetwork() || mapi; }
};

struct THttpUploadConfig {
  std::u16string server;  // HttpServer
  std::uint16_t port = 0;
  bool ssl = false;
  std::u16string account, password;                  // HttpAccount, HttpPassword
  std::u16string trackerAccount, trackerPassword;    // BugTrAccount, BugTrPassword
  std::u16string project, area, assignTo;            // BugTrProject, BugTrArea, BugTrAssignTo
  std::u16string title, description;                 // BugTrTitle, BugTrDescr
};

struct TAttachConfig {
  bool attachBugReport = false;      // AttachBugRep
  bool attachBugReportFile = false;  // AttachBugRepFile
  bool deleteBugReportFile = false;  // DelBugRepFile
  std::u16string rawBugReportFile = u"bugreport.qbr";  // BugRepFile, unexpanded
  std::u16string bugReportSendAs, bugReportZip;       // BugRepSendAs, BugRepZip
  std::int32_t screenShotDepth = 0;                   // ScrShotDepth
  std::u16string screenShotSendAs, screenShotZip;     // ScrShotSendAs, ScrShotZip
  std::vector<TREAttachment> additional;              // AddAttachs
};

// The texts of the progress window and the failure message.
struct TSendCaptions {
  std::u16string title = u"Sending bug report...";  // SendBoxTitle
  std::u16string prepareAttachments, mxLookup, connect, sendMail, sendAttachments, finalize;
  std::u16string failure;  // SendFailMsg
  // The caption of a progress area by its message name ("ConnMsg", ...).
  std::u16string Of(std::u16string_view messageName) const;
};

struct TSendConfig {
  TSendChannels channels;
  std::u16string recipients;  // MailAddr
  std::u16string mailFrom;    // MailFrom
  // MailSubj and MailBody, each expanded exactly once with the report's values.
  std::u16string subject, body;
  TSmtpServer smtp;  // SmtpServer, SmtpPort, SmtpAccount, SmtpPassword, SmtpTls, SmtpSsl
  THttpUploadConfig http;
  TAttachConfig attach;
  std::vector<TIREFields::TItem> additionalFields;  // AddFields
  bool autoSendBox = false;  // AutoSendBox
  TSendCaptions captions;
};

// The values a settings text may insert from the report: "exception class"
// and "exception message" of its header, its "error details" section and
// the report itself.
struct TReportValues {
  std::u16string exceptClass, exceptMsg, errorDetails, bugReport;
};
TReportValues ReportValuesOf(std::u16string_view bugReport);

// Reads a send's settings. MailSubj and MailBody are expanded in one pass
// from their unexpanded text, so that a value inserted (an exception
// message, a computer name) is never scanned for placeholders again.
TSendConfig ReadSendConfig(const TIRESettings& settings, std::u16string_view bugReport);

}  // namespace ruvex
