#include "reporter/delivery/smtp/SmtpClient.h"

#include <gtest/gtest.h>

#include <vector>

#include "common/files/MemoryFileSystem.h"
#include "reporter/delivery/transport/ScriptedStream.h"

namespace ruvex {
namespace {

constexpr char kEhlo[] = "250-mail.test\r\n250-SIZE 1000000\r\n250 HELP\r\n";
constexpr char kEhloAuth[] = "250-mail.test\r\n250-AUTH PLAIN LOGIN\r\n250 HELP\r\n";
constexpr char kEhloTlsAuth[] = "250-mail.test\r\n250-STARTTLS\r\n250 AUTH LOGIN\r\n";

TSmtpServer PlainServer() {
  TSmtpServer server;
  server.host = "mail.test";
  return server;
}

const TConnectOutcome kConnected{TConnectStatus::csConnected, {}};

struct TRun {
  bool opened = false, mailed = false, filed = false, finalized = false;
  std::u16string lastError;
  std::string sent;
  TScriptedStream stream;
};

// Greeting and EHLO, then the replies given, in order.
void Script(TScriptedStream& stream, std::vector<TScriptedReceive> replies, const char* ehlo = kEhlo) {
  stream.Reply("220 mail.test ESMTP\r\n");
  stream.Reply(ehlo);
  for (auto& r : replies) stream.script.push_back(std::move(r));
}

TScriptedReceive R(std::string text) { return {TReceiveStatus::rsData, std::move(text)}; }
TScriptedReceive Closed() { return {TReceiveStatus::rsClosed, {}}; }

void RunDialogue(TRun& run, const TSmtpServer& server = PlainServer(), std::u16string body = u"Body",
         std::string attachment = "attached", std::uint64_t failAfter = UINT64_MAX) {
  TSmtpOptions options;
  options.heloName = "pc.test";
  TSmtp smtp(run.stream, options);
  run.opened = smtp.Open(server);
  run.mailed = run.opened && smtp.SendMail(u"Reporter <r@kelvane.test>", u"a@x.test", u"Subject", body, u"");
  kelvane::TMemoryFileSystem files;
  files.Add(u"report.txt", attachment);
  files.readableBytes[u"report.txt"] = failAfter;
  run.filed = run.mailed && smtp.SendFile(*files.OpenRead(u"report.txt"), u"report.txt", nullptr);
  run.finalized = run.filed && smtp.Finalize();
  smtp.Close();
  run.lastError = smtp.LastError();
  run.sent = run.stream.sent;
}

const std::vector<TScriptedReceive> kAccepted = {R("250 ok\r\n"), R("250 ok\r\n"), R("354 go\r\n"), R("250 queued\r\n"),
                                                 R("221 bye\r\n")};

TEST(SmtpDialogue, RepliesAndLostConnections) {
  struct TCase {
    const char* what;
    std::vector<TScriptedReceive> replies;
    bool delivered;
    const char* sentTail;  // how the dialogue ended on the wire
  } cases[] = {
      {"whole dialogue", kAccepted, true, "\r\n.\r\nQUIT\r\n"},
      {"bare 250 and split replies", {R("250\r\n"), R("25"), R("0-a\r\n250 b\r\n"), R("354\r\n"), R("250\r\n"), R("221\r\n")},
       true, "QUIT\r\n"},
      {"close instead of 221", {R("250\r\n"), R("250\r\n"), R("354\r\n"), R("250\r\n"), Closed()}, true, "QUIT\r\n"},
      {"500 to QUIT", {R("250\r\n"), R("250\r\n"), R("354\r\n"), R("250\r\n"), R("500 what\r\n")}, true, "QUIT\r\n"},
      {"lost after end of data", {R("250\r\n"), R("250\r\n"), R("354\r\n"), Closed()}, false, "\r\n.\r\n"},
      {"timeout after end of data", {R("250\r\n"), R("250\r\n"), R("354\r\n"), {TReceiveStatus::rsTimeout, {}}}, false,
       "\r\n.\r\n"},
      {"message refused", {R("250\r\n"), R("250\r\n"), R("354\r\n"), R("554 spam\r\n"), R("221\r\n")}, false, "QUIT\r\n"},
      {"lost after DATA", {R("250\r\n"), R("250\r\n"), Closed()}, false, "DATA\r\n"},
      {"recipient refused", {R("250\r\n"), R("550 no\r\n"), R("250\r\n"), R("221\r\n")}, false, "RSET\r\nQUIT\r\n"},
      {"half a reply, then closed", {R("250 ok"), Closed()}, false, "MAIL FROM:<r@kelvane.test>\r\n"},
  };
  for (auto& c : cases) {
    SCOPED_TRACE(c.what);
    TRun run;
    Script(run.stream, c.replies);
    RunDialogue(run);
    EXPECT_EQ(run.finalized, c.delivered);
    EXPECT_TRUE(run.sent.ends_with(c.sentTail)) << run.sent;
    EXPECT_TRUE(run.stream.closed);
  }
}

TEST(SmtpDialogue, GreetingAndConnectionFailuresHaveTheirTexts) {
  struct TCase {
    const char* what;
    TConnectOutcome connect;
    std::vector<TScriptedReceive> replies;
    std::u16string error;
    const char* sent;
  } cases[] = {
      {"unknown host", {TConnectStatus::csNotFound, u"Name or service not known"}, {}, u"Server not found (Name or service not known)", ""},
      {"refused", {TConnectStatus::csNoConnection, {}}, {}, u"No connection to server", ""},
      {"greeting refused", kConnected, {R("554 go away  \r\n")}, u"HELO failed (554 go away)", ""},
      {"EHLO and HELO refused", kConnected, {R("220 hi\r\n"), R("500 no\r\n"), R("501 never\r\nnext\r\n")},
       u"HELO failed (501 never)", "EHLO pc.test\r\nHELO pc.test\r\n"},
      {"server closes at once", kConnected, {}, u"HELO failed ()", ""},
  };
  for (auto& c : cases) {
    SCOPED_TRACE(c.what);
    TRun run;
    run.stream.connectOutcome = c.connect;
    for (auto& r : c.replies) run.stream.script.push_back(r);
    RunDialogue(run);
    EXPECT_FALSE(run.opened);
    EXPECT_EQ(run.lastError, c.error);
    EXPECT_EQ(run.sent, c.sent);  // no RSET or QUIT where no dialogue began
  }
  TRun helo;
  helo.stream.script = {R("220 hi\r\n"), R("502 no EHLO\r\n"), R("250 hello\r\n"), R("250\r\n")};
  RunDialogue(helo);
  EXPECT_TRUE(helo.opened);
  EXPECT_TRUE(helo.sent.starts_with("EHLO pc.test\r\nHELO pc.test\r\nMAIL FROM:<r@kelvane.test>\r\n"));
}

TEST(SmtpDialogue, AuthLoginOnlyWhenOfferedAndSafe) {
  const std::string login = "AUTH LOGIN\r\ndXNlcg==\r\ncHc=\r\n";  // "user", "pw"
  struct TCase {
    const char* what;
    const char* ehlo;
    bool tls, tlsAvailable;
    bool loginSent, opened;
    int tlsStarts;
  } cases[] = {
      {"LOGIN offered", kEhloAuth, false, false, true, true, 0},
      {"older AUTH=LOGIN form", "250-mail.test\r\n250-AUTH=LOGIN\r\n250 HELP\r\n", false, false, true, true, 0},
      {"only PLAIN offered", "250-mail.test\r\n250 AUTH PLAIN\r\n", false, false, false, true, 0},
      {"TLS asked, no STARTTLS offered", kEhloAuth, true, false, false, true, 0},
      {"STARTTLS offered and a password to send", kEhloTlsAuth, false, true, true, true, 1},
      {"STARTTLS offered but the handshake fails", kEhloTlsAuth, true, false, false, false, 1},
  };
  for (auto& c : cases) {
    SCOPED_TRACE(c.what);
    TRun run;
    run.stream.tlsAvailable = c.tlsAvailable;
    Script(run.stream, {}, c.ehlo);
    if (c.tlsStarts) run.stream.script.insert(run.stream.script.begin() + 2, {R("220 go ahead\r\n"), R(c.ehlo)});
    if (c.loginSent) run.stream.script.insert(run.stream.script.end(), {R("334 VXNlcm5hbWU6\r\n"), R("334 UGFzc3dvcmQ6\r\n"), R("235 ok\r\n")});
    for (auto& r : kAccepted) run.stream.script.push_back(r);
    TSmtpServer server{"mail.test", 0, u"user", u"pw", c.tls, false};
    RunDialogue(run, server);
    EXPECT_EQ(run.opened, c.opened);
    EXPECT_EQ(run.sent.find(login) != std::string::npos, c.loginSent) << run.sent;
    EXPECT_EQ(run.stream.tlsStarts, c.tlsStarts);
    // The password never travels before the channel is encrypted.
    if (c.tlsStarts) {
      EXPECT_EQ(run.stream.sentBeforeTls.find("cHc="), std::string::npos);
    }
    if (c.opened) {
      EXPECT_TRUE(run.finalized);
    }
  }
}

TEST(SmtpDialogue, AuthenticationAndTlsFailuresHaveTheirTexts) {
  TRun refused;
  Script(refused.stream, {R("334 a\r\n"), R("334 b\r\n"), R("535 5.7.8 bad credentials\r\n"), R("250\r\n"), R("221\r\n")}, kEhloAuth);
  RunDialogue(refused, {"mail.test", 0, u"user", u"pw"});
  EXPECT_EQ(refused.lastError, u"Authentication failed (535 5.7.8 bad credentials)");
  EXPECT_TRUE(refused.sent.ends_with("RSET\r\nQUIT\r\n"));

  TRun startTls;
  Script(startTls.stream, {R("454 not now\r\n"), R("250\r\n"), R("221\r\n")}, kEhloTlsAuth);
  RunDialogue(startTls, {"mail.test", 0, u"user", u"pw", true});
  EXPECT_EQ(startTls.lastError, u"TLS failed");
  EXPECT_EQ(startTls.sent.find("cHc="), std::string::npos);

  TRun ssl;
  RunDialogue(ssl, {"mail.test", 0, {}, {}, false, true});
  EXPECT_EQ(ssl.lastError, u"SSL failed");
  EXPECT_EQ(ssl.stream.connectedPort, 465);
  EXPECT_EQ(ssl.sent, "");
}

TEST(SmtpDialogue, DataCannotEndEarlyAndAFailedReadDropsTheMessage) {
  TRun stuffed;
  Script(stuffed.stream, kAccepted);
  RunDialogue(stuffed, PlainServer(), u".\n.foo\r..bar\r\nend");
  EXPECT_NE(stuffed.sent.find("\r\n..\r\n..foo\r\n...bar\r\nend\r\n"), std::string::npos) << stuffed.sent;
  EXPECT_EQ(stuffed.sent.find("\r\n.\r\n"), stuffed.sent.rfind("\r\n.\r\n"));  // only the real end of data
  EXPECT_TRUE(stuffed.finalized);

  TRun broken;
  Script(broken.stream, kAccepted);
  RunDialogue(broken, PlainServer(), u"Body", std::string(1000, 'x'), 600);
  EXPECT_FALSE(broken.filed);
  EXPECT_EQ(broken.sent.find("\r\n.\r\n"), std::string::npos);
  EXPECT_EQ(broken.sent.find("RSET"), std::string::npos);
  EXPECT_EQ(broken.sent.find("QUIT"), std::string::npos);
  EXPECT_TRUE(broken.stream.closed);

  TRun lost;  // the connection fails while the data goes out
  Script(lost.stream, kAccepted);
  lost.stream.failSendAfter = 6;  // EHLO, MAIL, RCPT, DATA, head, attachment head
  RunDialogue(lost);
  EXPECT_FALSE(lost.filed);
  EXPECT_FALSE(lost.finalized);
  EXPECT_EQ(lost.stream.sendCalls, 6);
}

TEST(SmtpDialogue, RecipientsAreCleanedBeforeTheEnvelope) {
  TRun run;
  Script(run.stream, {R("250\r\n"), R("250\r\n"), R("550 unknown\r\n"), R("354\r\n")});
  TSmtpOptions options;
  TSmtp smtp(run.stream, options);
  ASSERT_TRUE(smtp.Open(PlainServer()));
  EXPECT_TRUE(smtp.SendMail(u"r@k.test", u" a@x.test;; ,bad\r\nRCPT TO:<e@x.test>, Bee <b@x.test> ; ", u"S", u"B", u""));
  const std::string envelope = run.stream.sent.substr(0, run.stream.sent.find("DATA\r\n"));
  EXPECT_TRUE(envelope.ends_with("MAIL FROM:<r@k.test>\r\nRCPT TO:<a@x.test>\r\nRCPT TO:<b@x.test>\r\n")) << envelope;
  EXPECT_NE(run.stream.sent.find("\r\nTo: <a@x.test>\r\n"), std::string::npos);
}

TEST(SmtpDialogue, RepliesAndTimeAreBounded) {
  TRun endless;
  Script(endless.stream, {R(std::string(70000, 'x'))});
  RunDialogue(endless);
  EXPECT_FALSE(endless.mailed);
  EXPECT_EQ(endless.sent.find("QUIT"), std::string::npos);  // out of step: nothing more is said

  TScriptedStream stream;
  Script(stream, kAccepted);
  TSmtpOptions options;
  options.dialogueLimit = TMilliseconds(0);
  TSmtp smtp(stream, options);
  EXPECT_FALSE(smtp.Open(PlainServer()));
}

TEST(SmtpDialogue, DefaultPorts) {
  EXPECT_EQ(SmtpPort({"h", 0, {}, {}, false, true}), 465);
  EXPECT_EQ(SmtpPort({"h", 0, u"me", {}, true, false}), 587);
  EXPECT_EQ(SmtpPort({"h", 0, {}, {}, true, false}), 25);
  EXPECT_EQ(SmtpPort({"h", 0, u"me", {}, false, false}), 25);
  EXPECT_EQ(SmtpPort({"h", 2525, {}, {}, false, true}), 2525);
}

}  // namespace
}  // namespace ruvex
