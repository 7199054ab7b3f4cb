#pragma once
// The reachability check before every network channel: AssumeOnline, else
// one ICMP echo to a well-known host, and after a failure, when dialling
// is allowed, the system's connection test and one more echo.
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "reporter/delivery/transport/Transport.h"

namespace ruvex {

struct TReachabilityOptions {
  bool assumeOnline = true;  // AssumeOnline: no traffic at all
  // The whole wait for the echo's reply, however many others arrive.
  TMilliseconds echoLimit{3000};
  TMilliseconds replyWait{1000};  // for each datagram
};

inline constexpr char kProbeHost[] = "www.example.com";
inline constexpr std::size_t kEchoSize = 32;

// The 16-bit one's-complement sum of the bytes, complemented.
std::uint16_t IcmpChecksum(std::string_view bytes);

// Type 8, code 0, checksum, identifier, sequence number and 0xDEADBEEF six
// times, 32 bytes.
std::string IcmpEchoRequest(std::uint16_t identifier, std::uint16_t sequence);

enum class TEchoVerdict {
  evMatch,  // the reply to our request
  evSkip,   // someone else's packet: wait on
  evEnd,    // too short to be an answer: stop waiting
};
// An IPv4 packet as a raw ICMP socket delivers it, header included.
TEchoVerdict JudgeEchoReply(std::string_view packet, std::uint16_t identifier, std::uint16_t sequence);

// The next sequence number of the process: 0, 1, ... 65,535, 0, ...
std::uint16_t NextEchoSequence();

class IReachabilityProbe {
 public:
  virtual ~IReachabilityProbe() = default;
  // One echo request and the wait for its reply, within the options' limits.
  virtual bool Echo(const TReachabilityOptions& options) = 0;
  // The system's dial-up connection test; true when it says connected.
  virtual bool AttemptConnect() = 0;
};

bool CheckInternetReachable(bool mayDial, const TReachabilityOptions& options, IReachabilityProbe& probe,
                            const std::function<bool()>& loaderLockHeld);

// Raw ICMP sockets, IcmpSendEcho when those are refused, the connection test.
IReachabilityProbe& SystemReachabilityProbe();

}  // namespace ruvex
