#include "reporter/delivery/smtp/MailDelivery.h"

#include "reporter/delivery/mime/MailText.h"
#include "reporter/ui/ProgressAlert.h"

namespace ruvex {
namespace {

class TMailSender {
 public:
  TMailSender(const TMailJob& job, IProgressAlert* progress, const TSmtpModuleOptions& options,
              const TMailServices& services, TAttachmentSet& files)
      : job_(job), progress_(progress), options_(options), services_(services), files_(files) {}

  // One message for the given recipients.
  bool Send(const std::u16string& recipients) {
    TSmtpServer server = job_.server;
    if (server.host.empty()) {
      server = TSmtpServer{};
      server.port = options_.serverModePort;
      server.host = services_.lookupMailExchanger ? services_.lookupMailExchanger(recipients) : std::string();
      AreaDone();
      if (server.host.empty()) return false;
    }
    const auto stream = services_.newStream();
    TSmtp smtp(*stream, SmtpOptions());
    const bool opened = smtp.Open(server);
    AreaDone();
    const std::u16string& from = !options_.mailFromOverride.empty() ? options_.mailFromOverride
                                 : !job_.from.empty()                ? job_.from
                                                                     : recipients;
    const std::u16string& replyTo = !options_.mailReplyToOverride.empty() ? options_.mailReplyToOverride : job_.replyTo;
    bool ok = opened && smtp.SendMail(from, recipients, job_.subject, job_.body, replyTo);
    AreaDone();
    for (std::size_t i = 0; ok && i < files_.files.size(); ++i) {
      if (!files_.files[i]) continue;
      const std::u16string name = i < job_.attachmentNames.size() ? job_.attachmentNames[i] : u"attachment";
      ok = smtp.SendFile(*files_.files[i], name, progress_);
    }
    ok = ok && smtp.Finalize();
    smtp.Close();
    return ok;
  }

 private:
  TSmtpOptions SmtpOptions() const {
    TSmtpOptions smtp;
    smtp.timeout = std::chrono::seconds(options_.timeoutSeconds > 0 ? options_.timeoutSeconds : 1);
    smtp.heloName = !options_.heloName.empty() ? options_.heloName : services_.computerName;
    smtp.alwaysUtf8 = options_.alwaysUtf8;
    return smtp;
  }
  void AreaDone() {
    if (progress_) progress_->AreaDone();
  }

  const TMailJob& job_;
  IProgressAlert* progress_;
  const TSmtpModuleOptions& options_;
  const TMailServices& services_;
  TAttachmentSet& files_;
};

void AddRecipientAreas(IProgressAlert& progress, const TCaptionOf& caption, const TAttachmentSet& files) {
  const auto area = [&](std::u16string_view name, std::uint64_t weight) {
    progress.AddArea(caption ? caption(name) : std::u16string(name), weight);
  };
  area(u"MxLookMsg", 500);
  area(u"ConnMsg", 5000);
  area(u"SendMailMsg", 100);
  for (const auto& file : files.files)
    if (file) area(u"SendAttMsg", AttachmentWeight(file->Size()));
  area(u"SendFinalMsg", 1000);
}

}  // namespace

bool SendMailToRecipients(const TMailJob& job, const std::u16string& recipients, IProgressAlert* progress,
                          const TSmtpModuleOptions& options, const TMailServices& services) {
  const bool serverMode = job.server.host.empty();
  TAttachmentSet files;
  OpenAttachmentFiles(progress, services.caption, job.attachmentPaths, serverMode, true,
                      services.files ? *services.files : kelvane::DefaultFileSystem(), files);
  TMailSender sender(job, progress, options, services, files);
  bool any = false;
  if (!serverMode) {
    any = sender.Send(recipients);
  } else {
    const auto addresses = SplitMailAddrs(recipients);
    if (progress)
      for (std::size_t i = 1; i < addresses.size(); ++i) AddRecipientAreas(*progress, services.caption, files);
    // Each recipient has its areas: lookup, connection, envelope, one per
    // file, the end; the next recipient starts behind them.
    const int areasPerRecipient = 4 + files.opened;
    for (std::size_t i = 0; i < addresses.size(); ++i) {
      any = sender.Send(addresses[i]) || any;
      if (progress) progress->SetCurrentArea(1 + static_cast<int>(i + 1) * areasPerRecipient);
    }
  }
  if (progress) progress->Close();
  return any;
}

}  // namespace ruvex
