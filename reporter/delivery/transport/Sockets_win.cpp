// The transport over Windows Sockets.
#include <winsock2.h>
#include <ws2tcpip.h>
#include <windows.h>

#include <cstring>

#include "common/win/WinText_win.h"
#include "reporter/delivery/transport/Transport.h"

namespace ruvex {
namespace {

// Each socket object keeps the socket library initialised for its lifetime.
class TWinsockUse {
 public:
  TWinsockUse() {
    WSADATA data;
    ok_ = ::WSAStartup(MAKEWORD(1, 1), &data) == 0;
  }
  ~TWinsockUse() {
    if (ok_) ::WSACleanup();
  }
  TWinsockUse(const TWinsockUse&) = delete;
  TWinsockUse& operator=(const TWinsockUse&) = delete;

 private:
  bool ok_ = false;
};

class TSocketHandle {
 public:
  TSocketHandle() = default;
  ~TSocketHandle() { Reset(); }
  TSocketHandle(const TSocketHandle&) = delete;
  TSocketHandle& operator=(const TSocketHandle&) = delete;
  SOCKET Get() const { return socket_; }
  bool Valid() const { return socket_ != INVALID_SOCKET; }
  void Reset(SOCKET s = INVALID_SOCKET) {
    if (socket_ != INVALID_SOCKET) ::closesocket(socket_);
    socket_ = s;
  }

 private:
  SOCKET socket_ = INVALID_SOCKET;
};

std::u16string SystemErrorText(DWORD code) {
  wchar_t* text = nullptr;
  const DWORD n = ::FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM |
                                       FORMAT_MESSAGE_IGNORE_INSERTS,
                                   nullptr, code, 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
  std::u16string result = n ? kelvane::FromWide(text, n) : std::u16string();
  if (text) ::LocalFree(text);
  while (!result.empty() && (result.back() == u'\r' || result.back() == u'\n' || result.back() == u' '))
    result.pop_back();
  return result;
}

// Waits until the socket can be read (or written); false on timeout or error.
bool WaitFor(SOCKET s, bool forWriting, TMilliseconds timeout) {
  if (timeout.count() < 0) timeout = TMilliseconds(0);
  fd_set set;
  FD_ZERO(&set);
  FD_SET(s, &set);
  fd_set failed;
  FD_ZERO(&failed);
  FD_SET(s, &failed);
  timeval wait{static_cast<long>(timeout.count() / 1000), static_cast<long>(timeout.count() % 1000) * 1000};
  const int r = ::select(0, forWriting ? nullptr : &set, forWriting ? &set : nullptr, &failed, &wait);
  return r > 0 && FD_ISSET(s, &set);
}

std::optional<in_addr> ResolveIpv4(const std::string& host, std::u16string* systemText) {
  in_addr address{};
  address.s_addr = ::inet_addr(host.c_str());
  if (address.s_addr != INADDR_NONE || host == "255.255.255.255") return address;
  const hostent* found = ::gethostbyname(host.c_str());
  if (!found || found->h_addrtype != AF_INET || !found->h_addr_list[0]) {
    if (systemText) *systemText = SystemErrorText(static_cast<DWORD>(::WSAGetLastError()));
    return std::nullopt;
  }
  std::memcpy(&address, found->h_addr_list[0], sizeof address);
  return address;
}

void SetBlocking(SOCKET s, bool blocking) {
  u_long nonBlocking = blocking ? 0 : 1;
  ::ioctlsocket(s, FIONBIO, &nonBlocking);
}

class TWinsockStream final : public IByteStream {
 public:
  TConnectOutcome Connect(const std::string& host, std::uint16_t port, TMilliseconds timeout) override {
    TConnectOutcome outcome;
    const auto address = ResolveIpv4(host, &outcome.systemText);
    if (!address) {
      outcome.status = TConnectStatus::csNotFound;
      return outcome;
    }
    socket_.Reset(::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP));
    if (!socket_.Valid()) return outcome;
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_port = htons(port);
    to.sin_addr = *address;
    SetBlocking(socket_.Get(), false);
    if (::connect(socket_.Get(), reinterpret_cast<sockaddr*>(&to), sizeof to) != 0 &&
        (::WSAGetLastError() != WSAEWOULDBLOCK || !WaitFor(socket_.Get(), true, timeout))) {
      socket_.Reset();
      return outcome;
    }
    outcome.status = TConnectStatus::csConnected;
    return outcome;
  }

  bool Send(std::string_view bytes, TMilliseconds timeout) override {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (!bytes.empty()) {
      if (!socket_.Valid()) return false;
      const int piece = bytes.size() > 0x10000 ? 0x10000 : static_cast<int>(bytes.size());
      const int n = ::send(socket_.Get(), bytes.data(), piece, 0);
      if (n > 0) {
        bytes.remove_prefix(static_cast<std::size_t>(n));
        continue;
      }
      if (n == SOCKET_ERROR && ::WSAGetLastError() == WSAEWOULDBLOCK) {
        const auto left = std::chrono::duration_cast<TMilliseconds>(deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0 || !WaitFor(socket_.Get(), true, left)) return false;
        continue;
      }
      return false;
    }
    return true;
  }

  TReceiveStatus Receive(std::string& appendTo, std::size_t maxBytes, TMilliseconds timeout) override {
    if (!socket_.Valid()) return TReceiveStatus::rsError;
    if (!WaitFor(socket_.Get(), false, timeout)) return TReceiveStatus::rsTimeout;
    const std::size_t old = appendTo.size();
    const int piece = maxBytes > 0x10000 ? 0x10000 : static_cast<int>(maxBytes);
    appendTo.resize(old + static_cast<std::size_t>(piece));
    const int n = ::recv(socket_.Get(), appendTo.data() + old, piece, 0);
    appendTo.resize(old + (n > 0 ? static_cast<std::size_t>(n) : 0));
    if (n > 0) return TReceiveStatus::rsData;
    return n == 0 ? TReceiveStatus::rsClosed : TReceiveStatus::rsError;
  }

  void Close() override { socket_.Reset(); }

 private:
  TWinsockUse winsock_;
  TSocketHandle socket_;
};

class TWinsockDatagramSocket final : public IDatagramSocket {
 public:
  bool Open() override {
    socket_.Reset(::socket(AF_INET, SOCK_DGRAM, IPPROTO_UDP));
    if (!socket_.Valid()) return false;
    sockaddr_in any{};
    any.sin_family = AF_INET;
    return ::bind(socket_.Get(), reinterpret_cast<sockaddr*>(&any), sizeof any) == 0;
  }

  std::optional<std::uint32_t> Resolve(const std::string& host) override {
    const auto address = ResolveIpv4(host, nullptr);
    if (!address) return std::nullopt;
    return ntohl(address->s_addr);
  }

  bool SendTo(const TEndpoint& to, std::string_view datagram) override {
    if (!socket_.Valid() || datagram.size() > 0xFFFF) return false;
    sockaddr_in target{};
    target.sin_family = AF_INET;
    target.sin_port = htons(to.port);
    target.sin_addr.s_addr = htonl(to.address);
    return ::sendto(socket_.Get(), datagram.data(), static_cast<int>(datagram.size()), 0,
                    reinterpret_cast<sockaddr*>(&target), sizeof target) == static_cast<int>(datagram.size());
  }

  TReceiveStatus ReceiveFrom(std::string& datagram, TEndpoint& from, std::size_t maxBytes,
                             TMilliseconds timeout) override {
    if (!socket_.Valid()) return TReceiveStatus::rsError;
    if (!WaitFor(socket_.Get(), false, timeout)) return TReceiveStatus::rsTimeout;
    const int piece = maxBytes > 0xFFFF ? 0xFFFF : static_cast<int>(maxBytes);
    datagram.assign(static_cast<std::size_t>(piece), '\0');
    sockaddr_in sender{};
    int length = sizeof sender;
    const int n = ::recvfrom(socket_.Get(), datagram.data(), piece, 0, reinterpret_cast<sockaddr*>(&sender), &length);
    // An earlier datagram's port-unreachable notice: no datagram of anyone's,
    // the caller waits on.
    if (n == SOCKET_ERROR && ::WSAGetLastError() == WSAECONNRESET) {
      datagram.clear();
      from = TEndpoint{};
      return TReceiveStatus::rsData;
    }
    // A datagram longer than the buffer arrives cut, which is what the caller asked for.
    if (n == SOCKET_ERROR && ::WSAGetLastError() != WSAEMSGSIZE) {
      datagram.clear();
      return TReceiveStatus::rsError;
    }
    if (n != SOCKET_ERROR) datagram.resize(static_cast<std::size_t>(n));
    from.address = ntohl(sender.sin_addr.s_addr);
    from.port = ntohs(sender.sin_port);
    return TReceiveStatus::rsData;
  }

 private:
  TWinsockUse winsock_;
  TSocketHandle socket_;
};

}  // namespace

std::unique_ptr<IByteStream> CreateTcpStream() { return std::make_unique<TWinsockStream>(); }
std::unique_ptr<IDatagramSocket> CreateUdpSocket() { return std::make_unique<TWinsockDatagramSocket>(); }

}  // namespace ruvex
