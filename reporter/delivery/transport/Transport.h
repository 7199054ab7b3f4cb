#pragma once
// The network as the mail delivery sees it: a byte stream to host:port and
// UDP datagrams, each behind a small interface so that the dialogues above
// them run against scripted fakes in tests.
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace ruvex {

using TMilliseconds = std::chrono::milliseconds;

enum class TConnectStatus { csConnected, csNotFound, csNoConnection };

struct TConnectOutcome {
  TConnectStatus status = TConnectStatus::csNoConnection;
  std::u16string systemText;  // the system's reason when the name did not resolve
};

enum class TReceiveStatus { rsData, rsClosed, rsTimeout, rsError };

class IByteStream {
 public:
  virtual ~IByteStream() = default;
  // host is a name or a dotted IPv4 address.
  virtual TConnectOutcome Connect(const std::string& host, std::uint16_t port, TMilliseconds timeout) = 0;
  // False unless every byte went out within the time.
  virtual bool Send(std::string_view bytes, TMilliseconds timeout) = 0;
  // Appends at most maxBytes that arrived within the time; rsData means at
  // least one byte was appended.
  virtual TReceiveStatus Receive(std::string& appendTo, std::size_t maxBytes, TMilliseconds timeout) = 0;
  virtual void Close() = 0;
  // The seam for an encrypting layer: a stream that can, runs the TLS
  // handshake for serverName here and encrypts everything after it. A plain
  // stream cannot and says so, so that no caller believes it is protected.
  virtual bool StartTls(const std::u16string& serverName, TMilliseconds timeout) { return false; }
};

// An IPv4 address and port, both in host byte order.
struct TEndpoint {
  std::uint32_t address = 0;
  std::uint16_t port = 0;
  bool operator==(const TEndpoint&) const = default;
};

class IDatagramSocket {
 public:
  virtual ~IDatagramSocket() = default;
  // Binds to any local address and port.
  virtual bool Open() = 0;
  // A name or dotted address as its first IPv4 address.
  virtual std::optional<std::uint32_t> Resolve(const std::string& host) = 0;
  virtual bool SendTo(const TEndpoint& to, std::string_view datagram) = 0;
  // One datagram of at most maxBytes (longer ones are cut) into datagram.
  virtual TReceiveStatus ReceiveFrom(std::string& datagram, TEndpoint& from, std::size_t maxBytes,
                                     TMilliseconds timeout) = 0;
};

// The platform's sockets.
std::unique_ptr<IByteStream> CreateTcpStream();
std::unique_ptr<IDatagramSocket> CreateUdpSocket();

}  // namespace ruvex
