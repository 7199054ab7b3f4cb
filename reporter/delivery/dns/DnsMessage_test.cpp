#include "reporter/delivery/dns/DnsMessage.h"

#include <gtest/gtest.h>

#include "reporter/delivery/dns/MailExchanger.h"

namespace ruvex {
namespace {

using namespace std::string_literals;

std::string Be16(unsigned v) { return {static_cast<char>(v >> 8), static_cast<char>(v & 0xFF)}; }

std::string Header(unsigned id, unsigned flags, unsigned qd, unsigned an, unsigned ns = 0) {
  return Be16(id) + Be16(flags) + Be16(qd) + Be16(an) + Be16(ns) + Be16(0);
}

// "\7example\3org\0" for the question of every reply below; it sits at offset 12.
const std::string kName = "\7example\3org\0"s;
const std::string kQuestion = kName + Be16(kDnsTypeMx) + Be16(1);
constexpr unsigned kId = 0x1234;

std::string Record(const std::string& owner, unsigned type, const std::string& data, unsigned klass = 1) {
  return owner + Be16(type) + Be16(klass) + "\0\0\1\0"s + Be16(static_cast<unsigned>(data.size())) + data;
}

std::string Mx(unsigned preference, const std::string& host) { return Record("\xc0\x0c"s, kDnsTypeMx, Be16(preference) + host); }

TDnsReply Parse(const std::string& packet) { return ParseDnsReply(packet, kId, "example.org", kDnsTypeMx); }

TEST(DnsReply, MxRecordsInReceivedOrder) {
  const std::string packet = Header(kId, 0x8180, 1, 4) + kQuestion + Mx(20, "\3mx2\xc0\x0c"s) +
                             Record("\xc0\x0c"s, 16, "\4text"s) +  // skipped by its length
                             Mx(10, "\3mx1\xc0\x0c"s) + Mx(10, "\5later\xc0\x0c"s);
  const TDnsReply reply = Parse(packet);
  ASSERT_EQ(reply.status, TDnsReplyStatus::drsAnswer);
  ASSERT_EQ(reply.mx.size(), 3u);
  EXPECT_EQ(reply.mx[0].host, "mx2.example.org");
  EXPECT_EQ(reply.mx[1].preference, 10);
  const TMxChoice choice = ChooseMailExchanger(reply, "example.org");
  EXPECT_EQ(choice.kind, TMxChoiceKind::mcHost);
  EXPECT_EQ(choice.host, "mx1.example.org");  // the lowest preference, the first of a tie
}

TEST(DnsReply, HostileRepliesAreRefused) {
  const std::string header = Header(kId, 0x8180, 1, 1);
  struct TCase {
    const char* what;
    std::string packet;
    TDnsReplyStatus status;
  } cases[] = {
      {"short header", "\x12\x34\x81"s, TDnsReplyStatus::drsMalformed},
      {"wrong id", Header(kId + 1, 0x8180, 1, 1) + kQuestion + Mx(10, "\xc0\x0c"s), TDnsReplyStatus::drsMismatch},
      {"a query, not a reply", Header(kId, 0x0100, 1, 1) + kQuestion + Mx(10, "\xc0\x0c"s), TDnsReplyStatus::drsMismatch},
      {"another question", header + "\7example\3net\0"s + Be16(15) + Be16(1) + Mx(10, "\xc0\x0c"s),
       TDnsReplyStatus::drsMismatch},
      {"two questions", Header(kId, 0x8180, 2, 0) + kQuestion + kQuestion, TDnsReplyStatus::drsMismatch},
      {"pointer to itself", header + kQuestion + Mx(10, "\1a\xc0\x2d"s), TDnsReplyStatus::drsMalformed},
      {"pointer loop", header + kQuestion + Record("\xc0\x0c"s, 15, Be16(1) + "\xc0\x2d\xc0\x2b"s),
       TDnsReplyStatus::drsMalformed},
      {"forward pointer", header + kQuestion + Mx(10, "\xc0\x30\0"s), TDnsReplyStatus::drsMalformed},
      {"pointer past the end", header + kQuestion + Mx(10, "\xff\xff"s), TDnsReplyStatus::drsMalformed},
      {"label past the end", header + kQuestion + "\xc0\x0c"s + Be16(15) + Be16(1) + "\0\0\0\0"s + Be16(8) + Be16(1) +
       "\x3fshort"s, TDnsReplyStatus::drsMalformed},
      {"label of 64", header + kQuestion + Mx(10, "\x40"s + std::string(64, 'a') + "\0"s), TDnsReplyStatus::drsMalformed},
      {"name over 255 bytes", header + kQuestion + Mx(10, [] {
         std::string n;
         for (int i = 0; i < 5; ++i) n += "\x3f"s + std::string(63, 'a');
         return n + "\0"s;
       }()), TDnsReplyStatus::drsMalformed},
      {"inflated answer count", Header(kId, 0x8180, 1, 9) + kQuestion + Mx(10, "\3mx1\xc0\x0c"s), TDnsReplyStatus::drsMalformed},
      {"data length past the end", header + kQuestion + "\xc0\x0c"s + Be16(15) + Be16(1) + "\0\0\0\0"s + Be16(200),
       TDnsReplyStatus::drsMalformed},
      {"name beyond its record", header + kQuestion + Record("\xc0\x0c"s, 15, Be16(1) + "\3mx"s) + "1\0"s,
       TDnsReplyStatus::drsMalformed},
      {"dot inside a label", header + kQuestion + Mx(10, "\5mx.ev\3com\0"s), TDnsReplyStatus::drsMalformed},
      {"truncated", Header(kId, 0x8380, 1, 1) + kQuestion + Mx(10, "\3mx1\xc0\x0c"s), TDnsReplyStatus::drsTruncated},
      {"no such name", Header(kId, 0x8183, 1, 0) + kQuestion, TDnsReplyStatus::drsNoSuchName},
      {"server failure without question", Header(kId, 0x8182, 0, 0), TDnsReplyStatus::drsFailure},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    const TDnsReply reply = Parse(c.packet);
    EXPECT_EQ(reply.status, c.status);
    EXPECT_TRUE(reply.mx.empty());
    EXPECT_EQ(ChooseMailExchanger(reply, "example.org").kind, TMxChoiceKind::mcUnknown);
  }
}

TEST(DnsReply, RecordsOfOtherOwnersClassesOrBadHostsAreLeftOut) {
  const std::string packet = Header(kId, 0x8180, 1, 4) + kQuestion +
                             Record("\5other\xc0\x14"s, 15, Be16(1) + "\4evil\xc0\x14"s) +  // other.org
                             Record("\xc0\x0c"s, 15, Be16(1) + "\4chao\xc0\x0c"s, 3) +      // class CH
                             Mx(2, "\4-bad\xc0\x0c"s) + Mx(30, "\2ok\xc0\x0c"s);
  const TDnsReply reply = Parse(packet);
  ASSERT_EQ(reply.status, TDnsReplyStatus::drsAnswer);
  ASSERT_EQ(reply.mx.size(), 1u);
  EXPECT_EQ(reply.mx[0].host, "ok.example.org");
}

TEST(MailExchanger, FallbacksAndDomains) {
  TDnsReply empty;
  empty.status = TDnsReplyStatus::drsAnswer;
  EXPECT_EQ(ChooseMailExchanger(empty, "example.org").host, "example.org");
  TDnsReply withNull = empty;
  withNull.mx = {{10, "mx.example.org"}, {0, ""}};
  EXPECT_EQ(ChooseMailExchanger(withNull, "example.org").kind, TMxChoiceKind::mcNoMail);

  EXPECT_EQ(MailDomainOf("Jo <jo@mail.example.org>"), "mail.example.org");
  EXPECT_EQ(MailDomainOf("example.org"), "example.org");
  EXPECT_EQ(MailDomainOf("\"a@b\"@mail.example.org"), "mail.example.org");
  EXPECT_EQ(MailDomainOf("jo@home (jo@work) <jo@real.example.org>"), "real.example.org");
  EXPECT_EQ(ShortDomainOf("a.b.c.example.org"), "c.example.org");
  EXPECT_EQ(ShortDomainOf("c.example.org"), "c.example.org");
}

TEST(DnsQueryText, NamesAreValidated) {
  const auto query = BuildDnsQuery(0xBEEF, "mx.Example.org.", kDnsTypeMx);
  ASSERT_TRUE(query);
  EXPECT_EQ(*query, Header(0xBEEF, 0x0100, 1, 0) + "\2mx\7Example\3org\0"s + Be16(15) + Be16(1));
  for (const char* bad : {"", ".", "a..b", "a-.b", "a b", "\xc3\xa4.org"})
    EXPECT_FALSE(BuildDnsQuery(1, bad, kDnsTypeMx)) << bad;
  EXPECT_TRUE(IsValidDnsName(std::string(63, 'a') + ".org"));
  EXPECT_FALSE(IsValidDnsName(std::string(64, 'a') + ".org"));
}

}  // namespace
}  // namespace ruvex
