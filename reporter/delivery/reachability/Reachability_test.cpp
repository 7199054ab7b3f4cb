#include "reporter/delivery/reachability/Reachability.h"

#include <gtest/gtest.h>

#include <string>

using namespace ruvex;

namespace {

TEST(Reachability, EchoRequestLayoutAndChecksum) {
  const std::string request = IcmpEchoRequest(0x1234, 0xABCD);
  ASSERT_EQ(request.size(), 32u);
  EXPECT_EQ(request.substr(0, 2), std::string("\x08\x00", 2));
  EXPECT_EQ(request.substr(4, 4), "\x12\x34\xAB\xCD");
  for (std::size_t at = 8; at < 32; at += 4) EXPECT_EQ(request.substr(at, 4), "\xEF\xBE\xAD\xDE");
  EXPECT_EQ(IcmpChecksum(request), 0) << "a packet with its checksum sums to all ones";
  // RFC 1071's example: 00 01 f2 03 f4 f5 f6 f7 sums to ddf2.
  EXPECT_EQ(IcmpChecksum(std::string("\x00\x01\xf2\x03\xf4\xf5\xf6\xf7", 8)), static_cast<std::uint16_t>(~0xddf2));
}

TEST(Reachability, RepliesAreJudgedByTypeIdentifierAndSequence) {
  const std::string ipHeader = std::string("\x45", 1) + std::string(19, '\0');
  std::string reply = IcmpEchoRequest(7, 9);
  reply[0] = 0;
  std::string unreachable = reply;
  unreachable[0] = 3;
  const struct {
    std::string packet;
    TEchoVerdict verdict;
  } cases[] = {
      {ipHeader + reply, TEchoVerdict::evMatch},
      {ipHeader + IcmpEchoRequest(7, 9), TEchoVerdict::evSkip},  // our own request, looped back
      {ipHeader + unreachable, TEchoVerdict::evSkip},
      {ipHeader + IcmpEchoRequest(7, 10).replace(0, 1, 1, '\0'), TEchoVerdict::evSkip},
      {ipHeader + reply.substr(0, 31), TEchoVerdict::evEnd},
      {std::string("\x46", 1) + std::string(23, '\0') + reply, TEchoVerdict::evMatch},  // with IP options
      {"", TEchoVerdict::evEnd},
  };
  for (const auto& c : cases) EXPECT_EQ(JudgeEchoReply(c.packet, 7, 9), c.verdict) << c.packet.size();
}

TEST(Reachability, SequenceNumbersCountUp) {
  const std::uint16_t first = NextEchoSequence();
  EXPECT_EQ(NextEchoSequence(), static_cast<std::uint16_t>(first + 1));
}

struct TFakeProbe final : IReachabilityProbe {
  std::string calls;
  bool echoAnswers[2] = {false, false};
  bool connected = false;
  bool Echo(const TReachabilityOptions&) override {
    const bool answer = echoAnswers[calls.find('e') == std::string::npos ? 0 : 1];
    calls += 'e';
    return answer;
  }
  bool AttemptConnect() override {
    calls += 'c';
    return connected;
  }
};

TEST(Reachability, TheCheckAsksOnlyWhatItMust) {
  struct TCase {
    bool assumeOnline, mayDial, loaderLock, firstEcho, connected, secondEcho;
    const char* calls;
    bool reachable;
  } cases[] = {
      {true, true, false, false, false, false, "", true},  // the default: no traffic at all
      {false, true, false, true, false, false, "e", true},
      {false, false, false, false, true, true, "e", false},
      {false, true, true, false, true, true, "e", false},
      {false, true, false, false, false, true, "ec", false},
      {false, true, false, false, true, true, "ece", true},
  };
  for (const TCase& c : cases) {
    TFakeProbe probe;
    probe.echoAnswers[0] = c.firstEcho;
    probe.echoAnswers[1] = c.secondEcho;
    probe.connected = c.connected;
    TReachabilityOptions options;
    options.assumeOnline = c.assumeOnline;
    EXPECT_EQ(CheckInternetReachable(c.mayDial, options, probe, [&c] { return c.loaderLock; }), c.reachable);
    EXPECT_EQ(probe.calls, c.calls);
  }
}

}  // namespace
