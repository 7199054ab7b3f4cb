#include "reporter/delivery/reachability/Reachability.h"

#include <atomic>

namespace ruvex {
namespace {

std::atomic<std::uint32_t> echoSequence{0};

void Put16(std::string& bytes, std::size_t at, std::uint16_t value) {
  bytes[at] = static_cast<char>(value >> 8);
  bytes[at + 1] = static_cast<char>(value & 0xFF);
}

std::uint16_t Get16(std::string_view bytes, std::size_t at) {
  return static_cast<std::uint16_t>((static_cast<unsigned char>(bytes[at]) << 8) |
                                    static_cast<unsigned char>(bytes[at + 1]));
}

}  // namespace

std::uint16_t IcmpChecksum(std::string_view bytes) {
  std::uint32_t sum = 0;
  for (std::size_t i = 0; i + 1 < bytes.size(); i += 2) sum += Get16(bytes, i);
  if (bytes.size() % 2) sum += static_cast<std::uint32_t>(static_cast<unsigned char>(bytes.back())) << 8;
  while (sum >> 16) sum = (sum & 0xFFFF) + (sum >> 16);
  return static_cast<std::uint16_t>(~sum);
}

std::string IcmpEchoRequest(std::uint16_t identifier, std::uint16_t sequence) {
  std::string packet(kEchoSize, '\0');
  packet[0] = 8;
  Put16(packet, 4, identifier);
  Put16(packet, 6, sequence);
  // 0xDEADBEEF as an x86 stores it.
  for (std::size_t at = 8; at < kEchoSize; at += 4) packet.replace(at, 4, "\xEF\xBE\xAD\xDE", 4);
  Put16(packet, 2, IcmpChecksum(packet));
  return packet;
}

TEchoVerdict JudgeEchoReply(std::string_view packet, std::uint16_t identifier, std::uint16_t sequence) {
  if (packet.empty()) return TEchoVerdict::evEnd;
  const std::size_t header = static_cast<std::size_t>(static_cast<unsigned char>(packet[0]) & 0x0F) * 4;
  if (packet.size() < header + kEchoSize) return TEchoVerdict::evEnd;
  const std::string_view icmp = packet.substr(header);
  if (icmp[0] != 0) return TEchoVerdict::evSkip;
  return Get16(icmp, 4) == identifier && Get16(icmp, 6) == sequence ? TEchoVerdict::evMatch : TEchoVerdict::evSkip;
}

std::uint16_t NextEchoSequence() { return static_cast<std::uint16_t>(echoSequence.fetch_add(1)); }

bool CheckInternetReachable(bool mayDial, const TReachabilityOptions& options, IReachabilityProbe& probe,
                            const std::function<bool()>& loaderLockHeld) {
  if (options.assumeOnline) return true;
  if (probe.Echo(options)) return true;
  if (!mayDial || (loaderLockHeld && loaderLockHeld())) return false;
  return probe.AttemptConnect() && probe.Echo(options);
}

}  // namespace ruvex
