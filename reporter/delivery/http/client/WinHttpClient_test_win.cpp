// The WinHTTP client against a one-shot server on 127.0.0.1 in the test
// itself: what the library sends, and what the client reads back.
#include "reporter/delivery/http/client/WinHttpClient.h"
#include "common/files/MemoryFileSystem.h"

#include <winsock2.h>
#include <winhttp.h>

#include <gtest/gtest.h>

#include <thread>

namespace ruvex {
namespace {

// Accepts one connection within ten seconds, reads one request and sends
// the canned answer, after a silence when asked.
class TOneShotServer {
 public:
  explicit TOneShotServer(std::string answer, DWORD silenceMilliseconds = 0)
      : answer_(std::move(answer)), silence_(silenceMilliseconds) {
    WSADATA data;
    WSAStartup(MAKEWORD(2, 2), &data);
    listener_ = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    bind(listener_, reinterpret_cast<sockaddr*>(&address), sizeof address);
    listen(listener_, 1);
    int length = sizeof address;
    getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &length);
    port_ = ntohs(address.sin_port);
    thread_ = std::thread([this] { Serve(); });
  }
  ~TOneShotServer() {
    thread_.join();
    closesocket(listener_);
    WSACleanup();
  }
  std::uint16_t Port() const { return port_; }
  // Valid after the exchange.
  const std::string& Request() const { return request_; }

 private:
  void Serve() {
    fd_set set;
    FD_ZERO(&set);
    FD_SET(listener_, &set);
    timeval wait{10, 0};
    if (select(0, &set, nullptr, nullptr, &wait) != 1) return;
    const SOCKET connection = accept(listener_, nullptr, nullptr);
    const DWORD timeout = 10000;
    setsockopt(connection, SOL_SOCKET, SO_RCVTIMEO, reinterpret_cast<const char*>(&timeout), sizeof timeout);
    char buffer[4096];
    while (!Complete()) {
      const int n = recv(connection, buffer, sizeof buffer, 0);
      if (n <= 0) break;
      request_.append(buffer, n);
    }
    Sleep(silence_);
    send(connection, answer_.data(), static_cast<int>(answer_.size()), 0);
    shutdown(connection, SD_SEND);
    closesocket(connection);
  }
  bool Complete() const {
    const std::size_t head = request_.find("\r\n\r\n");
    if (head == std::string::npos) return false;
    const std::size_t length = request_.find("Content-Length: ");
    const std::size_t body = length < head ? std::stoul(request_.substr(length + 16)) : 0;
    return request_.size() >= head + 4 + body;
  }

  std::string answer_, request_;
  DWORD silence_ = 0;
  SOCKET listener_ = INVALID_SOCKET;
  std::uint16_t port_ = 0;
  std::thread thread_;
};

std::unique_ptr<IHttpClient> ClientFor(const TOneShotServer& server) {
  return CreateWinHttpClient(SplitHttpServer("127.0.0.1", server.Port(), false));
}

TEST(WinHttpClient, PostsTheStreamedBodyWithItsLengthAndCredentials) {
  TOneShotServer server("HTTP/1.1 200 OK\r\nContent-Length: 4\r\nConnection: close\r\n\r\nfine");
  const auto client = ClientFor(server);
  ASSERT_TRUE(client);
  kelvane::TMemoryFileReader file(std::string(5000, 'z'));
  THttpBody body;
  body.AddText("--head--");
  body.AddFile(&file, true);
  THttpRequest request;
  request.verb = "POST";
  request.path = "/up load";
  request.headerLines = {"Content-Type: text/xml"};
  request.server = THttpCredentials{THttpAuthScheme::asBasic, u"user", u"secret"};
  request.body = &body;
  const THttpReply reply = client->Exchange(request, {});
  ASSERT_TRUE(reply.answered) << reply.errorNo;
  EXPECT_EQ(reply.status, 200);
  EXPECT_EQ(reply.body, "fine");
  const std::string& sent = server.Request();
  EXPECT_TRUE(sent.starts_with("POST /up%20load HTTP/1.1\r\n")) << sent.substr(0, 80);
  EXPECT_NE(sent.find("Content-Length: " + std::to_string(body.Length()) + "\r\n"), std::string::npos);
  EXPECT_NE(sent.find("Content-Type: text/xml\r\n"), std::string::npos);
  EXPECT_NE(sent.find("User-Agent: RuvexExcept/4.0\r\n"), std::string::npos);
  std::string expected;
  StreamBody(body, [&](std::string_view b) { expected += b; return true; }, {});
  EXPECT_TRUE(sent.ends_with("\r\n\r\n" + expected));
}

TEST(WinHttpClient, RedirectsAndChallengesComeBackToTheSession) {
  {
    TOneShotServer server("HTTP/1.1 302 Found\r\nLocation: http://127.0.0.1/thanks\r\nContent-Length: 0\r\n\r\n");
    const THttpReply reply = ClientFor(server)->Exchange({}, {});
    EXPECT_EQ(reply.status, 302);
    EXPECT_EQ(reply.location, "http://127.0.0.1/thanks");
  }
  TOneShotServer server("HTTP/1.1 401 Unauthorized\r\nWWW-Authenticate: Basic realm=\"bugs\"\r\n"
                        "Content-Length: 0\r\n\r\n");
  const THttpReply reply = ClientFor(server)->Exchange({}, {});
  EXPECT_EQ(reply.status, 401);
  EXPECT_EQ(reply.serverSchemes, std::vector<THttpAuthScheme>{THttpAuthScheme::asBasic});
}

TEST(WinHttpClient, AConfiguredProxyIsAskedAndItsChallengeComesBack) {
  TOneShotServer proxy("HTTP/1.1 407 Proxy Authentication Required\r\nProxy-Authenticate: Basic realm=\"gate\"\r\n"
                       "Content-Length: 0\r\n\r\n");
  TWinHttpOptions options;
  options.proxyServer = "127.0.0.1:" + std::to_string(proxy.Port());
  // Nothing listens there: only the proxy can answer.
  const auto client = CreateWinHttpClient(SplitHttpServer("127.0.0.2", 9, false), options);
  THttpRequest request;
  request.verb = "GET";
  request.path = "/bugs";
  const THttpReply reply = client->Exchange(request, {});
  ASSERT_TRUE(reply.answered) << reply.errorNo;
  EXPECT_EQ(reply.status, 407);
  EXPECT_EQ(reply.proxySchemes, std::vector<THttpAuthScheme>{THttpAuthScheme::asBasic});
  EXPECT_TRUE(proxy.Request().starts_with("GET http://127.0.0.2:9/bugs HTTP/1.1\r\n")) << proxy.Request();
}

TEST(WinHttpClient, ASilentServerTimesOut) {
  TOneShotServer server("HTTP/1.1 200 OK\r\nContent-Length: 0\r\n\r\n", 4000);
  TWinHttpOptions options;
  options.timeoutMilliseconds = 1000;
  const auto client = CreateWinHttpClient(SplitHttpServer("127.0.0.1", server.Port(), false), options);
  const ULONGLONG start = GetTickCount64();
  const THttpReply reply = client->Exchange({}, {});
  const ULONGLONG waited = GetTickCount64() - start;
  EXPECT_FALSE(reply.answered);
  EXPECT_EQ(reply.errorNo, ERROR_WINHTTP_TIMEOUT);
  EXPECT_LT(waited, 3500u);  // the server would answer after 4 s
}

}  // namespace
}  // namespace ruvex
