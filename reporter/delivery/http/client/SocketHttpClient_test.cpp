#include "reporter/delivery/http/client/SocketHttpClient.h"
#include "common/files/MemoryFileSystem.h"

#include <gtest/gtest.h>

#include "reporter/delivery/http/upload/CustomScriptPost.h"
#include "reporter/delivery/transport/ScriptedStream.h"

namespace ruvex {
namespace {

// Hands the client a stream the test keeps looking at.
class TStreamView final : public IByteStream {
 public:
  explicit TStreamView(TScriptedStream& real) : real_(real) {}
  TConnectOutcome Connect(const std::string& h, std::uint16_t p, TMilliseconds t) override { return real_.Connect(h, p, t); }
  bool Send(std::string_view b, TMilliseconds t) override { return real_.Send(b, t); }
  TReceiveStatus Receive(std::string& a, std::size_t m, TMilliseconds t) override { return real_.Receive(a, m, t); }
  void Close() override { real_.Close(); }
  bool StartTls(const std::u16string& n, TMilliseconds t) override { return real_.StartTls(n, t); }

 private:
  TScriptedStream& real_;
};

std::unique_ptr<IHttpClient> ClientOn(TScriptedStream& stream, const char* server) {
  return CreateSocketHttpClient(SplitHttpServer(server, 0, false),
                                [&stream] { return std::make_unique<TStreamView>(stream); });
}

TEST(SocketHttpClient, WritesTheMultipartPostByteForByte) {
  TScriptedStream stream;
  stream.Reply("HTTP/1.1 200 OK\r\nContent-Length: 2\r\n\r\nok");
  const auto client = ClientOn(stream, "http://127.0.0.1:8081/bugs/upload.php");
  kelvane::TMemoryFileReader file("ABC");
  TMultipartOptions options;
  const THttpBody body = MultipartBody({{u"Subject", u"Crash"}}, {{u"File1", u"report.txt", &file}}, options);
  THttpRequest request;
  request.verb = "POST";
  request.path = "/bugs/upload.php";
  request.headerLines = {"Content-Type: multipart/form-data; boundary=Pellowind_multipart_boundary"};
  request.server = THttpCredentials{THttpAuthScheme::asBasic, u"user", u"secret"};
  request.body = &body;
  const THttpReply posted = client->Exchange(request, {});
  ASSERT_TRUE(posted.answered);
  EXPECT_EQ(posted.body, "ok");
  const std::string expectedBody =
      "\r\n--Pellowind_multipart_boundary\r\n"
      "Content-Disposition: form-data; name=\"Subject\"\r\n"
      "Content-Type: text/plain; charset=\"iso-8859-1\"\r\n"
      "\r\nCrash"
      "\r\n--Pellowind_multipart_boundary\r\n"
      "Content-Disposition: form-data; name=\"File1\"; filename=\"report.txt\"\r\n"
      "Content-Type: application/octet-stream\r\n\r\n"
      "ABC"
      "\r\n--Pellowind_multipart_boundary--\r\n";
  EXPECT_EQ(stream.sent,
            "POST /bugs/upload.php HTTP/1.1\r\n"
            "Host: 127.0.0.1:8081\r\n"
            "User-Agent: RuvexExcept/4.0\r\n"
            "Content-Type: multipart/form-data; boundary=Pellowind_multipart_boundary\r\n"
            "Authorization: Basic dXNlcjpzZWNyZXQ=\r\n"
            "Content-Length: " + std::to_string(expectedBody.size()) + "\r\n"
            "Connection: close\r\n\r\n" + expectedBody);
  // The file part is 102 bytes plus its names, its data and the boundary.
  EXPECT_EQ(body.Length(), expectedBody.size());
  EXPECT_EQ(body.Pieces()[1].text.size(), 102u + 28 + 5 + 10);
}

TEST(SocketHttpClient, FailuresCarryTheLibraryErrorNumbers) {
  struct TCase {
    const char* name;
    const char* server;
    TConnectStatus connect;
    std::vector<TScriptedReceive> script;
    std::uint32_t errorNo;
  };
  const TCase cases[] = {
      {"unknown host", "nowhere", TConnectStatus::csNotFound, {}, kErrorNameNotResolved},
      {"refused", "127.0.0.1", TConnectStatus::csNoConnection, {}, kErrorCannotConnect},
      {"TLS unavailable is never sent in the clear", "https://127.0.0.1", TConnectStatus::csConnected, {},
       kErrorSecureFailure},
      {"garbage", "127.0.0.1", TConnectStatus::csConnected, {{TReceiveStatus::rsData, "220 smtp ready\r\n\r\n"}},
       kErrorInvalidServerResponse},
      {"silence", "127.0.0.1", TConnectStatus::csConnected, {{TReceiveStatus::rsTimeout, ""}}, kErrorConnectionError},
  };
  for (const TCase& c : cases) {
    TScriptedStream stream;
    stream.connectOutcome.status = c.connect;
    stream.script.assign(c.script.begin(), c.script.end());
    const THttpReply reply = ClientOn(stream, c.server)->Exchange({}, {});
    EXPECT_FALSE(reply.answered) << c.name;
    EXPECT_EQ(reply.errorNo, c.errorNo) << c.name;
    if (c.errorNo == kErrorSecureFailure) {
      EXPECT_EQ(stream.sent, "") << c.name;
    }
  }
}

TEST(SocketHttpClient, ReadsChallengesAndLocation) {
  TScriptedStream stream;
  stream.Reply("HTTP/1.1 407 Proxy\r\nProxy-Authenticate: Basic realm=\"p\"\r\nProxy-Authenticate: NTLM\r\n"
               "Location: http://x/\r\nContent-Length: 0\r\n\r\n");
  const THttpReply reply = ClientOn(stream, "127.0.0.1")->Exchange({}, {});
  EXPECT_EQ(reply.status, 407);
  EXPECT_EQ(reply.proxySchemes, (std::vector<THttpAuthScheme>{THttpAuthScheme::asBasic, THttpAuthScheme::asNtlm}));
  EXPECT_EQ(reply.location, "http://x/");
  EXPECT_TRUE(stream.sent.starts_with("GET / HTTP/1.1\r\nHost: 127.0.0.1\r\n"));
}

}  // namespace
}  // namespace ruvex
