#pragma once
// One bug report mail to its recipients: through the configured relay
// (client mode) or, without one, straight to each recipient's mail
// exchanger (server mode), with the progress window following along.
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "reporter/delivery/smtp/AttachmentFiles.h"
#include "reporter/delivery/smtp/SmtpClient.h"

namespace ruvex {

// The process-wide options a host program may set before reports are sent.
struct TSmtpModuleOptions {
  int timeoutSeconds = 7;              // SmtpTimeout
  std::uint16_t serverModePort = 25;   // SmtpServerModePort
  std::string heloName;                // SmtpHeloName; empty: the computer name
  std::u16string mailFromOverride;     // MailFromOverride
  std::u16string mailReplyToOverride;  // MailReplyToOverride
  bool alwaysUtf8 = false;             // AlwaysUtf8
};

struct TMailJob {
  TSmtpServer server;  // host empty: server mode
  std::u16string from, replyTo, subject, body;
  std::vector<std::u16string> attachmentPaths;
  std::vector<std::u16string> attachmentNames;  // the send-as name of each path
};

struct TMailServices {
  std::function<std::unique_ptr<IByteStream>()> newStream;
  // The mail exchanger of a recipient's domain; empty when none is known.
  std::function<std::string(const std::u16string& recipient)> lookupMailExchanger;
  kelvane::IFileSystem* files = nullptr;  // null: the platform's files
  std::string computerName;             // for EHLO when no HELO name is set
  TCaptionOf caption;
};

// True when at least one recipient's message was taken by a server.
bool SendMailToRecipients(const TMailJob& job, const std::u16string& recipients, IProgressAlert* progress,
                          const TSmtpModuleOptions& options, const TMailServices& services);

}  // namespace ruvex
