#include "reporter/delivery/dns/DnsQuery.h"

#include <gtest/gtest.h>

#include <deque>
#include <map>
#include <set>

namespace ruvex {
namespace {

using namespace std::string_literals;

constexpr std::uint16_t kId = 0x4242;

std::string Be16(unsigned v) { return {static_cast<char>(v >> 8), static_cast<char>(v & 0xFF)}; }

// A reply to the MX question for example.org, with one MX record unless host is empty.
std::string MxReply(unsigned flags, const std::string& host, std::uint16_t id = kId) {
  std::string packet = Be16(id) + Be16(flags) + Be16(1) + Be16(host.empty() ? 0 : 1) + Be16(0) + Be16(0) +
                       "\7example\3org\0"s + Be16(15) + Be16(1);
  if (!host.empty())
    packet += "\xc0\x0c"s + Be16(15) + Be16(1) + "\0\0\0\x3c"s + Be16(static_cast<unsigned>(host.size() + 2)) +
              Be16(10) + host;
  return packet;
}

constexpr std::uint32_t kServer1 = 0x0A000001, kServer2 = 0x0A000002, kStranger = 0x0A000003;

class TScriptedDatagrams final : public IDatagramSocket {
 public:
  struct TArrival {
    TEndpoint from;
    std::string data;
  };
  std::deque<TArrival> arrivals;  // then time-outs
  std::vector<std::pair<TEndpoint, std::string>> sent;
  int receives = 0;
  std::map<std::string, std::uint32_t> known = {{"ns1", kServer1}, {"ns2", kServer2}, {"10.0.0.1", kServer1}};

  bool Open() override { return true; }
  std::optional<std::uint32_t> Resolve(const std::string& host) override {
    const auto found = known.find(host);
    if (found == known.end()) return std::nullopt;
    return found->second;
  }
  bool SendTo(const TEndpoint& to, std::string_view datagram) override {
    sent.emplace_back(to, std::string(datagram));
    return true;
  }
  TReceiveStatus ReceiveFrom(std::string& datagram, TEndpoint& from, std::size_t maxBytes, TMilliseconds) override {
    ++receives;
    if (arrivals.empty()) return TReceiveStatus::rsTimeout;
    datagram = arrivals.front().data.substr(0, maxBytes);
    from = arrivals.front().from;
    arrivals.pop_front();
    return TReceiveStatus::rsData;
  }
};

// An NS reply for example.org: the servers as answers, or as a referral.
std::string NsReply(const std::string& host, bool referral) {
  std::string packet = Be16(kId) + Be16(0x8100) + Be16(1) + Be16(referral ? 0 : 1) + Be16(referral ? 1 : 0) + Be16(0) +
                       "\7example\3org\0"s + Be16(2) + Be16(1);
  const std::string owner = referral ? "\xc0\x14"s : "\xc0\x0c"s;  // "org" or "example.org"
  return packet + owner + Be16(2) + Be16(1) + "\0\0\0\x3c"s + Be16(static_cast<unsigned>(host.size())) + host;
}

TDnsQueryOptions FixedId() {
  TDnsQueryOptions options;
  options.newId = [] { return kId; };
  return options;
}

TEST(QueryDns, OnlyTheAskedServersAnswerCounts) {
  TScriptedDatagrams socket;
  socket.arrivals = {
      {{kServer1, 53}, MxReply(0x8183, "")},                 // no such name: kept, not final
      {{kStranger, 53}, MxReply(0x8180, "\4evil\0"s)},       // never asked
      {{kServer2, 5353}, MxReply(0x8180, "\4evil\0"s)},      // the right host, the wrong port
      {{kServer2, 53}, MxReply(0x8180, "\4evil\0"s, kId + 1)},  // the wrong id
      {{kServer2, 53}, MxReply(0x8180, "\2mx\7example\3org\0"s)},
  };
  const TDnsReply reply = QueryDns(socket, "example.org", {"ns1", "unknown", "ns2", "10.0.0.1"}, kDnsTypeMx, FixedId());
  ASSERT_EQ(reply.status, TDnsReplyStatus::drsAnswer);
  ASSERT_EQ(reply.mx.size(), 1u);
  EXPECT_EQ(reply.mx[0].host, "mx.example.org");
  ASSERT_EQ(socket.sent.size(), 2u);  // unresolvable skipped, the same server asked once
  EXPECT_EQ(socket.sent[0].first, (TEndpoint{kServer1, 53}));
  EXPECT_EQ(socket.sent[1].first, (TEndpoint{kServer2, 53}));
}

TEST(QueryDns, EndsWhenEveryServerAnsweredOrTheNoiseGoesOn) {
  TScriptedDatagrams empty;
  empty.arrivals = {{{kServer1, 53}, MxReply(0x8183, "")}, {{kServer1, 53}, MxReply(0x8180, "\1x\0"s)},
                    {{kServer2, 53}, MxReply(0x8180, "")}};
  const TDnsReply reply = QueryDns(empty, "example.org", {"ns1", "ns2"}, kDnsTypeMx, FixedId());
  EXPECT_EQ(reply.status, TDnsReplyStatus::drsAnswer);  // the empty answer beats the missing name
  EXPECT_TRUE(reply.mx.empty());                        // a second reply of a server is not taken
  EXPECT_EQ(empty.receives, 3);

  TScriptedDatagrams flood;
  for (int i = 0; i < 500; ++i) flood.arrivals.push_back({{kStranger, 53}, "noise"});
  EXPECT_EQ(QueryDns(flood, "example.org", {"ns1"}, kDnsTypeMx, FixedId()).status, TDnsReplyStatus::drsFailure);
  EXPECT_EQ(flood.receives, 64);
}

TEST(LookupMailExchanger, WithoutServersFollowsReferralsFromTheRoots) {
  TScriptedDatagrams socket;
  socket.known = {{"root", kServer1}, {"ns.tld", kServer2}, {"ns.example.org", kStranger}};
  socket.arrivals = {
      {{kServer1, 53}, NsReply("\2ns\3tld\0"s, true)},
      {{kServer2, 53}, NsReply("\2ns\xc0\x0c"s, false)},
      {{kStranger, 53}, MxReply(0x8180, "\2mx\xc0\x0c"s)},
  };
  EXPECT_EQ(LookupMailExchanger(socket, "Jo <jo@example.org>", {}, FixedId(), {"root"}), "mx.example.org");
  ASSERT_EQ(socket.sent.size(), 3u);
  EXPECT_EQ(socket.sent[2].first, (TEndpoint{kStranger, 53}));

  TScriptedDatagrams endless;  // referrals that lead round in circles end
  endless.known = {{"root", kServer1}, {"ns.tld", kServer1}};
  for (int i = 0; i < 30; ++i) endless.arrivals.push_back({{kServer1, 53}, NsReply("\2ns\3tld\0"s, true)});
  EXPECT_EQ(FindNameServers(endless, "example.org", {"root"}, FixedId()), std::vector<std::string>{"ns.tld"});
  EXPECT_EQ(endless.sent.size(), 11u);
}

TEST(QueryDns, IdsAreRandom) {
  std::set<std::string> ids;
  for (int i = 0; i < 8; ++i) {
    TScriptedDatagrams socket;
    QueryDns(socket, "example.org", {"ns1"}, kDnsTypeMx);
    ASSERT_EQ(socket.sent.size(), 1u);
    ids.insert(socket.sent[0].second.substr(0, 2));
  }
  EXPECT_GT(ids.size(), 1u);
}

}  // namespace
}  // namespace ruvex
