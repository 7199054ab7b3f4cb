// The transport over POSIX sockets, for the native build and its tests.
#include <arpa/inet.h>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "common/text/Utf.h"
#include "reporter/delivery/transport/Transport.h"

namespace ruvex {
namespace {

class TSocketHandle {
 public:
  TSocketHandle() = default;
  ~TSocketHandle() { Reset(); }
  TSocketHandle(const TSocketHandle&) = delete;
  TSocketHandle& operator=(const TSocketHandle&) = delete;
  int Get() const { return fd_; }
  bool Valid() const { return fd_ >= 0; }
  void Reset(int fd = -1) {
    if (fd_ >= 0) ::close(fd_);
    fd_ = fd;
  }

 private:
  int fd_ = -1;
};

int PollMs(TMilliseconds timeout) {
  if (timeout.count() < 0) return 0;
  return timeout.count() > 0x7FFFFFFF ? 0x7FFFFFFF : static_cast<int>(timeout.count());
}

// Waits for events on fd; false on timeout or error.
bool WaitFor(int fd, short events, TMilliseconds timeout) {
  pollfd p{fd, events, 0};
  int r;
  do {
    r = ::poll(&p, 1, PollMs(timeout));
  } while (r < 0 && errno == EINTR);
  return r > 0;
}

std::optional<in_addr> ResolveIpv4(const std::string& host, std::u16string* systemText) {
  in_addr address{};
  if (::inet_pton(AF_INET, host.c_str(), &address) == 1) return address;
  addrinfo hints{};
  hints.ai_family = AF_INET;
  addrinfo* found = nullptr;
  const int r = ::getaddrinfo(host.c_str(), nullptr, &hints, &found);
  if (r != 0 || !found) {
    if (systemText) *systemText = kelvane::Utf8ToUtf16(::gai_strerror(r));
    return std::nullopt;
  }
  address = reinterpret_cast<sockaddr_in*>(found->ai_addr)->sin_addr;
  ::freeaddrinfo(found);
  return address;
}

class TPosixStream final : public IByteStream {
 public:
  TConnectOutcome Connect(const std::string& host, std::uint16_t port, TMilliseconds timeout) override {
    TConnectOutcome outcome;
    const auto address = ResolveIpv4(host, &outcome.systemText);
    if (!address) {
      outcome.status = TConnectStatus::csNotFound;
      return outcome;
    }
    socket_.Reset(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0));
    if (!socket_.Valid()) return outcome;
    // Non-blocking for good: every later wait is a poll with a time-out.
    ::fcntl(socket_.Get(), F_SETFL, ::fcntl(socket_.Get(), F_GETFL) | O_NONBLOCK);
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_port = htons(port);
    to.sin_addr = *address;
    if (::connect(socket_.Get(), reinterpret_cast<sockaddr*>(&to), sizeof to) != 0) {
      int error = 0;
      socklen_t length = sizeof error;
      if (errno != EINPROGRESS || !WaitFor(socket_.Get(), POLLOUT, timeout) ||
          ::getsockopt(socket_.Get(), SOL_SOCKET, SO_ERROR, &error, &length) != 0 || error != 0) {
        socket_.Reset();
        return outcome;
      }
    }
    outcome.status = TConnectStatus::csConnected;
    return outcome;
  }

  bool Send(std::string_view bytes, TMilliseconds timeout) override {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (!bytes.empty()) {
      if (!socket_.Valid()) return false;
      const ssize_t n = ::send(socket_.Get(), bytes.data(), bytes.size(), MSG_NOSIGNAL);
      if (n > 0) {
        bytes.remove_prefix(static_cast<std::size_t>(n));
        continue;
      }
      if (n < 0 && errno == EINTR) continue;
      if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
        const auto left = std::chrono::duration_cast<TMilliseconds>(deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0 || !WaitFor(socket_.Get(), POLLOUT, left)) return false;
        continue;
      }
      return false;
    }
    return true;
  }

  TReceiveStatus Receive(std::string& appendTo, std::size_t maxBytes, TMilliseconds timeout) override {
    if (!socket_.Valid()) return TReceiveStatus::rsError;
    if (!WaitFor(socket_.Get(), POLLIN, timeout)) return TReceiveStatus::rsTimeout;
    const std::size_t old = appendTo.size();
    appendTo.resize(old + maxBytes);
    ssize_t n;
    do {
      n = ::recv(socket_.Get(), appendTo.data() + old, maxBytes, 0);
    } while (n < 0 && errno == EINTR);
    appendTo.resize(old + (n > 0 ? static_cast<std::size_t>(n) : 0));
    if (n > 0) return TReceiveStatus::rsData;
    return n == 0 ? TReceiveStatus::rsClosed : TReceiveStatus::rsError;
  }

  void Close() override { socket_.Reset(); }

 private:
  TSocketHandle socket_;
};

class TPosixDatagramSocket final : public IDatagramSocket {
 public:
  bool Open() override {
    socket_.Reset(::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0));
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
    if (!socket_.Valid()) return false;
    sockaddr_in target{};
    target.sin_family = AF_INET;
    target.sin_port = htons(to.port);
    target.sin_addr.s_addr = htonl(to.address);
    return ::sendto(socket_.Get(), datagram.data(), datagram.size(), 0, reinterpret_cast<sockaddr*>(&target),
                    sizeof target) == static_cast<ssize_t>(datagram.size());
  }

  TReceiveStatus ReceiveFrom(std::string& datagram, TEndpoint& from, std::size_t maxBytes,
                             TMilliseconds timeout) override {
    if (!socket_.Valid()) return TReceiveStatus::rsError;
    if (!WaitFor(socket_.Get(), POLLIN, timeout)) return TReceiveStatus::rsTimeout;
    datagram.assign(maxBytes, '\0');
    sockaddr_in sender{};
    socklen_t length = sizeof sender;
    const ssize_t n = ::recvfrom(socket_.Get(), datagram.data(), maxBytes, 0,
                                 reinterpret_cast<sockaddr*>(&sender), &length);
    if (n < 0) {
      datagram.clear();
      return TReceiveStatus::rsError;
    }
    datagram.resize(static_cast<std::size_t>(n));
    from.address = ntohl(sender.sin_addr.s_addr);
    from.port = ntohs(sender.sin_port);
    return TReceiveStatus::rsData;
  }

 private:
  TSocketHandle socket_;
};

}  // namespace

std::unique_ptr<IByteStream> CreateTcpStream() { return std::make_unique<TPosixStream>(); }
std::unique_ptr<IDatagramSocket> CreateUdpSocket() { return std::make_unique<TPosixDatagramSocket>(); }

}  // namespace ruvex
