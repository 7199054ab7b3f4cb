#pragma once
// TSmtp: one SMTP connection carrying one bug report mail, from the
// greeting to QUIT. Nothing here throws; each step answers with a flag and
// the last error text says why a step failed.
#include <chrono>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "common/files/FileSystem.h"
#include "reporter/delivery/mime/DotStuffing.h"
#include "reporter/delivery/transport/Transport.h"

namespace ruvex {

class IProgressAlert;

struct TSmtpOptions {
  TMilliseconds timeout{7000};  // connection, each receive, each send
  // The whole dialogue of one connection, so that a server dribbling bytes
  // cannot hold the sending thread for ever.
  TMilliseconds dialogueLimit{std::chrono::minutes(10)};
  std::size_t maxReplyBytes = 64 * 1024;
  std::string heloName;  // the name after EHLO/HELO
  bool alwaysUtf8 = false;
  std::function<std::chrono::system_clock::time_point()> now = [] { return std::chrono::system_clock::now(); };
};

struct TSmtpServer {
  std::string host;
  std::uint16_t port = 0;  // 0: the default for ssl, tls and credentials
  std::u16string account, password;
  bool tls = false;  // STARTTLS when offered
  bool ssl = false;  // TLS from the first byte
};

// Port 0 means 465 with ssl, 587 with tls and credentials, else 25.
std::uint16_t SmtpPort(const TSmtpServer& server);

class TSmtp {
 public:
  TSmtp(IByteStream& stream, TSmtpOptions options);
  // Ends what is open: see Close.
  ~TSmtp();
  TSmtp(const TSmtp&) = delete;
  TSmtp& operator=(const TSmtp&) = delete;

  // Connects, greets, secures and authenticates; true when mail may follow.
  bool Open(const TSmtpServer& server);
  // The envelope, DATA and the head with the text part.
  bool SendMail(std::u16string_view from, std::u16string_view recipients, std::u16string_view subject,
                std::u16string_view body, std::u16string_view replyTo);
  // One attachment part; progress (may be null) follows it per chunk.
  bool SendFile(kelvane::IFileReader& file, std::u16string_view sendAsName, IProgressAlert* progress);
  // Ends the data and quits; true when the server took the message.
  bool Finalize();
  // A started but unfinished message is dropped with the connection, never
  // ended, so the server discards it; else RSET and QUIT where a dialogue began.
  void Close();

  bool ServerOk() const { return serverOk_; }
  bool TlsUsed() const { return tlsUp_; }
  bool AuthOk() const { return authOk_; }
  bool Delivered() const { return delivered_; }
  const std::u16string& LastError() const { return lastError_; }

 private:
  bool Greet(std::string& reply);
  bool Authenticate(const TSmtpServer& server, const std::string& ehloReply);
  bool SendText(std::string_view text);
  bool SendData(std::string_view text);
  bool ReadReply(std::string_view expected, std::string& reply, bool closeIsSuccess = false);
  bool Command(std::string_view command, std::string_view expected, std::string& reply, bool closeIsSuccess = false);
  bool Command(std::string_view command, std::string_view expected);
  TMilliseconds TimeLeft() const;
  void Fail(std::u16string text) { lastError_ = std::move(text); }

  IByteStream& stream_;
  TSmtpOptions options_;
  std::chrono::steady_clock::time_point deadline_;
  TDotStuffer stuffer_;
  std::u16string lastError_;
  bool connected_ = false;   // the stream is open and usable
  bool closed_ = false;      // Close ran
  bool serverOk_ = false;    // greeting and EHLO/HELO succeeded
  bool tlsUp_ = false;       // everything after the handshake is encrypted
  bool authOk_ = false;      // mail transfer may start
  bool finalNeeded_ = false; // DATA was accepted
  bool finalDone_ = false;   // the end-of-data line was sent
  bool aborted_ = false;     // the message must not be ended
  bool quitDone_ = false;
  bool delivered_ = false;   // 250 after the end of data
};

}  // namespace ruvex
