// The Winsock transport against listeners on loopback, made here with the
// socket library directly.
#include <winsock2.h>
#include <ws2tcpip.h>
#include <windows.h>

#include <gtest/gtest.h>

#include "reporter/delivery/transport/Transport.h"

namespace ruvex {
namespace {

constexpr std::uint32_t kLoopback = 0x7F000001;

class TLoopbackSocket {
 public:
  explicit TLoopbackSocket(int type) {
    WSADATA data;
    ::WSAStartup(MAKEWORD(2, 2), &data);
    socket_ = ::socket(AF_INET, type, 0);
    sockaddr_in local{};
    local.sin_family = AF_INET;
    local.sin_addr.s_addr = htonl(kLoopback);
    ::bind(socket_, reinterpret_cast<sockaddr*>(&local), sizeof local);
    int length = sizeof local;
    ::getsockname(socket_, reinterpret_cast<sockaddr*>(&local), &length);
    port_ = ntohs(local.sin_port);
    DWORD wait = 5000;  // the test never hangs on its own listener
    ::setsockopt(socket_, SOL_SOCKET, SO_RCVTIMEO, reinterpret_cast<const char*>(&wait), sizeof wait);
  }
  ~TLoopbackSocket() {
    ::closesocket(socket_);
    ::WSACleanup();
  }
  TLoopbackSocket(const TLoopbackSocket&) = delete;
  TLoopbackSocket& operator=(const TLoopbackSocket&) = delete;
  SOCKET Get() const { return socket_; }
  std::uint16_t Port() const { return port_; }

 private:
  SOCKET socket_ = INVALID_SOCKET;
  std::uint16_t port_ = 0;
};

TEST(WinsockStream, TalksReceivesTimesOutAndSeesTheClose) {
  TLoopbackSocket listener(SOCK_STREAM);
  ASSERT_EQ(::listen(listener.Get(), 1), 0);
  const auto stream = CreateTcpStream();
  ASSERT_EQ(stream->Connect("127.0.0.1", listener.Port(), TMilliseconds(3000)).status, TConnectStatus::csConnected);
  const SOCKET server = ::accept(listener.Get(), nullptr, nullptr);
  ASSERT_NE(server, INVALID_SOCKET);

  std::string received;
  EXPECT_EQ(stream->Receive(received, 100, TMilliseconds(100)), TReceiveStatus::rsTimeout);
  ::send(server, "220 hi\r\n", 8, 0);
  EXPECT_EQ(stream->Receive(received, 100, TMilliseconds(3000)), TReceiveStatus::rsData);
  EXPECT_EQ(received, "220 hi\r\n");

  EXPECT_TRUE(stream->Send("EHLO a\r\n", TMilliseconds(3000)));
  char buffer[16] = {};
  EXPECT_EQ(::recv(server, buffer, 8, MSG_WAITALL), 8);
  EXPECT_EQ(std::string(buffer, 8), "EHLO a\r\n");
  EXPECT_FALSE(stream->StartTls(u"mail.test", TMilliseconds(100)));  // a plain stream never claims TLS
  ::closesocket(server);
  EXPECT_EQ(stream->Receive(received, 100, TMilliseconds(3000)), TReceiveStatus::rsClosed);
}

TEST(WinsockStream, AClosedPortRefuses) {
  std::uint16_t closedPort;
  {
    TLoopbackSocket unused(SOCK_STREAM);  // bound, never listening, then gone
    closedPort = unused.Port();
  }
  const auto stream = CreateTcpStream();
  EXPECT_EQ(stream->Connect("127.0.0.1", closedPort, TMilliseconds(3000)).status, TConnectStatus::csNoConnection);
}

TEST(WinsockDatagrams, AQueryAndItsAnswer) {
  TLoopbackSocket server(SOCK_DGRAM);
  const auto socket = CreateUdpSocket();
  ASSERT_TRUE(socket->Open());
  EXPECT_EQ(socket->Resolve("127.0.0.1"), kLoopback);
  ASSERT_TRUE(socket->SendTo({kLoopback, server.Port()}, "question"));
  char buffer[64];
  sockaddr_in peer{};
  int length = sizeof peer;
  const int n = ::recvfrom(server.Get(), buffer, sizeof buffer, 0, reinterpret_cast<sockaddr*>(&peer), &length);
  ASSERT_EQ(n, 8);
  ::sendto(server.Get(), "an answer longer than asked", 27, 0, reinterpret_cast<sockaddr*>(&peer), length);
  std::string datagram;
  TEndpoint from;
  ASSERT_EQ(socket->ReceiveFrom(datagram, from, 9, TMilliseconds(3000)), TReceiveStatus::rsData);
  EXPECT_EQ(datagram, "an answer");
  EXPECT_EQ(from, (TEndpoint{kLoopback, server.Port()}));
  EXPECT_EQ(socket->ReceiveFrom(datagram, from, 512, TMilliseconds(100)), TReceiveStatus::rsTimeout);
}

}  // namespace
}  // namespace ruvex
