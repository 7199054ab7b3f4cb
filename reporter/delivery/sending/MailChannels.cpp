#include "reporter/delivery/sending/MailChannels.h"

#include "reporter/delivery/mailprograms/Mailto.h"
#include "reporter/delivery/transport/TlsStream.h"

namespace ruvex {

TMailChannels::TMailChannels(TMailChannelParts parts) : parts_(std::move(parts)) {
  if (!parts_.mail.newStream) parts_.mail.newStream = [] { return CreateTlsStream(CreateTcpStream()); };
  if (!parts_.reachable)
    parts_.reachable = [options = parts_.reachability, lock = parts_.loaderLockHeld](bool mayDial) {
      return CheckInternetReachable(mayDial, options, SystemReachabilityProbe(), lock);
    };
  if (!parts_.mapi)
    parts_.mapi = [](const TMailRequest& request, bool silent, kelvane::TWindowHandle parent) {
      const TPreparedAttachments none;
      const TPreparedAttachments& files = request.attachments ? *request.attachments : none;
      return SendMailViaMapi(SystemMapiHost(),
                             PlanMapiMail(request.recipients, request.subject, request.body, silent,
                                          files.sendAsNames, files.paths),
                             parent);
    };
  if (!parts_.mailto)
    parts_.mailto = [](const std::u16string& recipients, const std::u16string& subject, const std::u16string& body) {
      return SendMailViaMailto(SystemMailtoHost(), recipients, subject, body);
    };
}

bool TMailChannels::InternetReachable(bool mayDial) { return parts_.reachable(mayDial); }

bool TMailChannels::Upload(const TUploadRequest& request) { return parts_.upload && parts_.upload(request); }

bool TMailChannels::SendSmtp(const TMailRequest& request, const TSmtpServer& server) {
  TMailJob job;
  job.server = server;
  job.from = request.sender;
  job.subject = request.subject;
  job.body = request.body;
  if (request.attachments) {
    job.attachmentPaths = request.attachments->paths;
    job.attachmentNames = request.attachments->sendAsNames;
  }
  return SendMailToRecipients(job, request.recipients, request.progress, parts_.smtpOptions, parts_.mail);
}

TMapiResult TMailChannels::SendMapi(const TMailRequest& request, bool silent, kelvane::TWindowHandle parent) {
  return parts_.mapi ? parts_.mapi(request, silent, parent) : TMapiResult::mrFailed;
}

bool TMailChannels::SendMailto(const std::u16string& recipients, const std::u16string& subject,
                               const std::u16string& body) {
  return parts_.mailto && parts_.mailto(recipients, subject, body);
}

void TMailChannels::ShowFailure(kelvane::TWindowHandle parent, const std::u16string& text) {
  if (parts_.showFailure) parts_.showFailure(parent, text);
}

void TMailChannels::MakeNonTopmost(kelvane::TWindowHandle window) {
  if (parts_.makeNonTopmost) parts_.makeNonTopmost(window);
}

PProgressAlert TMailChannels::CreateProgress(const std::u16string& title) {
  return parts_.createProgress ? parts_.createProgress(title) : nullptr;
}

}  // namespace ruvex
