// The echo over a raw ICMP socket, IcmpSendEcho when the system refuses raw
// sockets (programs without administrator rights), and WinINet's
// connection test.
#include <winsock2.h>
#include <ws2tcpip.h>
#include <windows.h>
#include <iphlpapi.h>
#include <icmpapi.h>

#include <chrono>
#include <cstring>

#include "common/win/WinHandle_win.h"
#include "reporter/delivery/reachability/Reachability.h"

namespace ruvex {
namespace {

using TClock = std::chrono::steady_clock;
constexpr int kTimeToLive = 30;
constexpr int kOldSocketsTtlOption = 7;  // IP_TTL of the first socket library

class TWinsock {
 public:
  TWinsock() {
    WSADATA data;
    ok_ = WSAStartup(MAKEWORD(2, 2), &data) == 0;
  }
  ~TWinsock() {
    if (ok_) WSACleanup();
  }
  TWinsock(const TWinsock&) = delete;
  TWinsock& operator=(const TWinsock&) = delete;
  bool Ok() const { return ok_; }

 private:
  bool ok_ = false;
};

class TSocket {
 public:
  explicit TSocket(SOCKET s) : s_(s) {}
  ~TSocket() {
    if (s_ != INVALID_SOCKET) closesocket(s_);
  }
  TSocket(const TSocket&) = delete;
  TSocket& operator=(const TSocket&) = delete;
  SOCKET Get() const { return s_; }

 private:
  SOCKET s_;
};

bool ResolveProbeHost(in_addr& address) {
  const hostent* host = gethostbyname(kProbeHost);
  if (!host || host->h_addrtype != AF_INET || !host->h_addr_list[0]) return false;
  std::memcpy(&address, host->h_addr_list[0], sizeof address);
  return true;
}

// nullopt: no raw socket to be had; else whether the reply came.
std::optional<bool> EchoOverRawSocket(const in_addr& target, const TReachabilityOptions& options) {
  TSocket s(socket(AF_INET, SOCK_RAW, IPPROTO_ICMP));
  if (s.Get() == INVALID_SOCKET) return std::nullopt;
  const int ttl = kTimeToLive;
  if (setsockopt(s.Get(), IPPROTO_IP, IP_TTL, reinterpret_cast<const char*>(&ttl), sizeof ttl) != 0)
    setsockopt(s.Get(), IPPROTO_IP, kOldSocketsTtlOption, reinterpret_cast<const char*>(&ttl), sizeof ttl);
  const auto identifier = static_cast<std::uint16_t>(GetCurrentProcessId() & 0xFFFF);
  const std::uint16_t sequence = NextEchoSequence();
  const std::string request = IcmpEchoRequest(identifier, sequence);
  sockaddr_in to{};
  to.sin_family = AF_INET;
  to.sin_addr = target;
  if (sendto(s.Get(), request.data(), static_cast<int>(request.size()), 0, reinterpret_cast<sockaddr*>(&to),
             sizeof to) != static_cast<int>(request.size()))
    return false;
  // Other hosts' echoes may keep arriving: the whole wait has its end.
  const auto deadline = TClock::now() + options.echoLimit;
  char buffer[1024];
  while (TClock::now() < deadline) {
    const auto left = std::chrono::duration_cast<TMilliseconds>(deadline - TClock::now());
    const auto wait = std::min(left, options.replyWait);
    fd_set readable;
    FD_ZERO(&readable);
    FD_SET(s.Get(), &readable);
    timeval tv{static_cast<long>(wait.count() / 1000), static_cast<long>(wait.count() % 1000) * 1000};
    if (select(0, &readable, nullptr, nullptr, &tv) <= 0) return false;
    const int n = recv(s.Get(), buffer, sizeof buffer, 0);
    if (n <= 0) return false;
    const TEchoVerdict verdict = JudgeEchoReply(std::string_view(buffer, static_cast<std::size_t>(n)), identifier,
                                                sequence);
    if (verdict == TEchoVerdict::evMatch) return true;
    if (verdict == TEchoVerdict::evEnd) return false;
  }
  return false;
}

bool EchoThroughIcmpService(const in_addr& target, const TReachabilityOptions& options) {
  const HANDLE icmp = IcmpCreateFile();
  if (icmp == INVALID_HANDLE_VALUE) return false;
  char data[kEchoSize - 8];
  std::memset(data, 0, sizeof data);
  IP_OPTION_INFORMATION ipOptions{};
  ipOptions.Ttl = kTimeToLive;
  char reply[sizeof(ICMP_ECHO_REPLY) + sizeof data + 64];
  const DWORD timeout = static_cast<DWORD>(options.echoLimit.count());
  const DWORD replies = IcmpSendEcho(icmp, target.s_addr, data, sizeof data, &ipOptions, reply, sizeof reply, timeout);
  const bool ok = replies > 0 && reinterpret_cast<const ICMP_ECHO_REPLY*>(reply)->Status == IP_SUCCESS;
  IcmpCloseHandle(icmp);
  return ok;
}

using TInternetAttemptConnect = DWORD(WINAPI*)(DWORD);

class TSystemProbe final : public IReachabilityProbe {
 public:
  bool Echo(const TReachabilityOptions& options) override {
    const TWinsock winsock;
    in_addr target{};
    if (!winsock.Ok() || !ResolveProbeHost(target)) return false;
    if (const auto raw = EchoOverRawSocket(target, options)) return *raw;
    return EchoThroughIcmpService(target, options);
  }

  bool AttemptConnect() override {
    kelvane::TLibrary wininet(LoadLibraryW(L"wininet.dll"));
    if (!wininet) return false;
    const auto attempt =
        reinterpret_cast<TInternetAttemptConnect>(GetProcAddress(wininet.Get(), "InternetAttemptConnect"));
    return attempt && attempt(0) == ERROR_SUCCESS;
  }
};

}  // namespace

IReachabilityProbe& SystemReachabilityProbe() {
  static TSystemProbe probe;
  return probe;
}

}  // namespace ruvex
