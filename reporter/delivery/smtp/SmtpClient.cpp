#include "reporter/delivery/smtp/SmtpClient.h"

#include <algorithm>
#include <optional>

#include "common/text/Utf.h"
#include "reporter/delivery/mime/Base64.h"
#include "reporter/delivery/mime/MailText.h"
#include "reporter/delivery/mime/MimeMessage.h"
#include "reporter/delivery/smtp/SmtpReply.h"
#include "reporter/ui/ProgressAlert.h"

namespace ruvex {
namespace {

constexpr std::size_t kSendPiece = 1024;
constexpr std::size_t kReceivePiece = 4096;

std::u16string WithReplyLine(std::u16string_view text, std::string_view reply) {
  return std::u16string(text) + u" (" + FirstReplyLine(reply) + u")";
}

// Marks the current progress area done however the attachment ends.
class TAreaDoneOnExit {
 public:
  explicit TAreaDoneOnExit(IProgressAlert* progress) : progress_(progress) {}
  ~TAreaDoneOnExit() {
    if (progress_) progress_->AreaDone();
  }
  TAreaDoneOnExit(const TAreaDoneOnExit&) = delete;
  TAreaDoneOnExit& operator=(const TAreaDoneOnExit&) = delete;

 private:
  IProgressAlert* progress_;
};

}  // namespace

std::uint16_t SmtpPort(const TSmtpServer& server) {
  if (server.port != 0) return server.port;
  if (server.ssl) return 465;
  if (server.tls && (!server.account.empty() || !server.password.empty())) return 587;
  return 25;
}

TSmtp::TSmtp(IByteStream& stream, TSmtpOptions options)
    : stream_(stream), options_(std::move(options)), deadline_(std::chrono::steady_clock::now() + options_.dialogueLimit) {}

TSmtp::~TSmtp() { Close(); }

TMilliseconds TSmtp::TimeLeft() const {
  const auto left = std::chrono::duration_cast<TMilliseconds>(deadline_ - std::chrono::steady_clock::now());
  return std::max(TMilliseconds(0), std::min(left, options_.timeout));
}

bool TSmtp::Open(const TSmtpServer& server) {
  if (connected_ || closed_) return false;
  const TConnectOutcome outcome = stream_.Connect(server.host, SmtpPort(server), TimeLeft());
  if (outcome.status == TConnectStatus::csNotFound) {
    Fail(u"Server not found (" + outcome.systemText + u")");
    return false;
  }
  if (outcome.status != TConnectStatus::csConnected) {
    Fail(u"No connection to server");
    return false;
  }
  connected_ = true;
  const std::u16string serverName = kelvane::Utf8ToUtf16(server.host);
  if (server.ssl) {
    if (!stream_.StartTls(serverName, TimeLeft())) {
      connected_ = false;
      Fail(u"SSL failed");
      return false;
    }
    tlsUp_ = true;
  }

  std::string reply;
  if (!ReadReply("220", reply) || !Greet(reply)) {
    Fail(WithReplyLine(u"HELO failed", reply));
    return false;
  }
  serverOk_ = true;

  const bool credentials = !server.account.empty() || !server.password.empty();
  const TEhloOffer offer = ReadEhloOffer(reply);
  // Credentials never go out in clear when an encrypted channel is offered.
  const bool tlsNeeded = !server.ssl && offer.startTls && (server.tls || credentials);
  if (tlsNeeded) {
    std::string startReply;
    if (!Command("STARTTLS", "220", startReply)) {
      Fail(u"TLS failed");
      return false;
    }
    if (!stream_.StartTls(serverName, TimeLeft())) {
      connected_ = false;  // half a handshake leaves nothing to talk to
      Fail(u"TLS failed");
      return false;
    }
    tlsUp_ = true;
    if (!Greet(reply)) {
      Fail(WithReplyLine(u"2nd HELO failed", reply));
      return false;
    }
  }
  return Authenticate(server, reply);
}

bool TSmtp::Greet(std::string& reply) {
  // EHLO needs a name; the caller gives the computer's.
  const std::string name = options_.heloName.empty() ? "localhost" : options_.heloName;
  if (Command("EHLO " + name, "250", reply)) return true;
  return connected_ && Command("HELO " + name, "250", reply);
}

bool TSmtp::Authenticate(const TSmtpServer& server, const std::string& ehloReply) {
  const bool credentials = !server.account.empty() || !server.password.empty();
  // Asked for TLS but not offered it: the mail may still go, the password not.
  const bool clearTextForbidden = (server.tls || server.ssl) && !tlsUp_;
  if (!credentials || clearTextForbidden || !ReadEhloOffer(ehloReply).authLogin) {
    authOk_ = true;
    return true;
  }
  std::string reply;
  authOk_ = Command("AUTH LOGIN", "334", reply) &&
            Command(Base64(kelvane::Utf16ToUtf8(server.account)), "334", reply) &&
            Command(Base64(kelvane::Utf16ToUtf8(server.password)), "235", reply);
  if (!authOk_) Fail(WithReplyLine(u"Authentication failed", reply));
  return authOk_;
}

bool TSmtp::SendText(std::string_view text) {
  while (connected_ && !text.empty()) {
    const std::string_view piece = text.substr(0, kSendPiece);
    const TMilliseconds left = TimeLeft();
    if (left.count() <= 0 || !stream_.Send(piece, left)) connected_ = false;
    text.remove_prefix(piece.size());
  }
  return connected_;
}

bool TSmtp::SendData(std::string_view text) { return SendText(stuffer_.Stuff(text)); }

bool TSmtp::ReadReply(std::string_view expected, std::string& reply, bool closeIsSuccess) {
  reply.clear();
  while (connected_) {
    const TMilliseconds left = TimeLeft();
    const TReceiveStatus status =
        left.count() > 0 ? stream_.Receive(reply, kReceivePiece, left) : TReceiveStatus::rsTimeout;
    if (status == TReceiveStatus::rsClosed) {
      connected_ = false;
      return closeIsSuccess;
    }
    // A reply that does not come, or never ends, leaves the dialogue out of
    // step: nothing more can be said on this connection.
    if (status != TReceiveStatus::rsData || reply.size() > options_.maxReplyBytes) {
      connected_ = false;
      return false;
    }
    if (IsCompleteReply(reply)) return ReplyHasCode(reply, expected);
  }
  return false;
}

bool TSmtp::Command(std::string_view command, std::string_view expected, std::string& reply, bool closeIsSuccess) {
  reply.clear();
  return SendText(std::string(command) + "\r\n") && ReadReply(expected, reply, closeIsSuccess);
}

bool TSmtp::Command(std::string_view command, std::string_view expected) {
  std::string reply;
  return Command(command, expected, reply);
}

bool TSmtp::SendMail(std::u16string_view from, std::u16string_view recipients, std::u16string_view subject,
                     std::u16string_view body, std::u16string_view replyTo) {
  if (!authOk_ || !connected_ || finalNeeded_) return false;
  const bool utf8 = options_.alwaysUtf8;
  const auto fromPath = FormatMailAddress(from, false, utf8);
  if (!fromPath || !Command("MAIL FROM:" + *fromPath, "250")) return false;

  std::optional<std::string> headerTo;
  int accepted = 0;
  for (const auto& recipient : SplitMailAddrs(recipients)) {
    const auto path = FormatMailAddress(recipient, false, utf8);
    if (!path) continue;  // an address that could smuggle a command is never sent
    if (!headerTo) headerTo = FormatMailAddress(recipient, true, utf8).value_or(*path);
    std::string reply;
    if (Command("RCPT TO:" + *path, "250", reply) || ReplyHasCode(reply, "251")) ++accepted;
    if (!connected_) return false;
  }
  if (accepted == 0 || !Command("DATA", "354")) return false;
  finalNeeded_ = true;

  TMailHead head;
  head.to = *headerTo;
  head.from = FormatMailAddress(from, true, utf8).value_or(*fromPath);
  const std::u16string_view replyText = replyTo.empty() ? from : replyTo;
  head.replyTo = FormatMailAddress(replyText, true, utf8).value_or(head.from);
  head.subject = subject;
  head.body = body;
  head.time = options_.now();
  head.alwaysUtf8 = utf8;
  return SendData(HeadAndTextPart(head));
}

bool TSmtp::SendFile(kelvane::IFileReader& file, std::u16string_view sendAsName, IProgressAlert* progress) {
  const TAreaDoneOnExit areaDone(progress);
  if (!finalNeeded_ || finalDone_ || aborted_ || !connected_) return false;
  const auto partHead = AttachmentPartHead(sendAsName, options_.alwaysUtf8);
  if (!partHead || !file.Rewind()) {
    aborted_ = true;
    return false;
  }
  if (!SendData(*partHead)) return false;
  const std::uint64_t size = file.Size();
  std::uint64_t sent = 0;
  char chunk[kAttachmentChunk];
  while (sent < size) {
    const std::size_t want = static_cast<std::size_t>(std::min<std::uint64_t>(kAttachmentChunk, size - sent));
    std::size_t got = 0;
    while (got < want) {
      const std::size_t n = file.Read(chunk + got, want - got);
      if (n == 0) break;
      got += n;
    }
    if (got < want) {
      // Part of a file must not pass for all of it: the message is dropped.
      aborted_ = true;
      return false;
    }
    if (!SendData(Base64(std::string_view(chunk, got)) + "\r\n")) return false;
    sent += got;
    if (progress) progress->SetPosition(static_cast<int>(sent * 1000 / size));
  }
  return true;
}

bool TSmtp::Finalize() {
  if (finalNeeded_ && !finalDone_ && !aborted_ && connected_) {
    finalDone_ = true;
    std::string reply;
    delivered_ = SendData(ClosingBoundary()) && SendText(stuffer_.EndLine() + ".\r\n") && ReadReply("250", reply);
  }
  if (serverOk_ && !quitDone_ && connected_) {
    quitDone_ = true;
    std::string reply;
    Command("QUIT", "221", reply, true);
  }
  return delivered_;
}

void TSmtp::Close() {
  if (closed_) return;
  closed_ = true;
  if (finalNeeded_ && !finalDone_) connected_ = false;
  if (serverOk_ && !quitDone_ && connected_) {
    quitDone_ = true;
    std::string reply;
    Command("RSET", "250", reply);
    if (connected_) Command("QUIT", "221", reply, true);
  }
  connected_ = false;
  stream_.Close();
}

}  // namespace ruvex
