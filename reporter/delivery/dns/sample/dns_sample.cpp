// The DNS codec and query from the command line, for the dnspython tests:
//   dns_sample query ID NAME TYPE          prints the query as hex
//   dns_sample parse ID NAME TYPE HEX      prints what the reply holds
//   dns_sample lookup ADDRESS SERVER PORT  asks SERVER:PORT over UDP, prints the mail host
#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <string>

#include "reporter/delivery/dns/DnsQuery.h"
#include "reporter/delivery/dns/MailExchanger.h"

namespace {

std::string Hex(const std::string& bytes) {
  static constexpr char kDigits[] = "0123456789abcdef";
  std::string out;
  for (const unsigned char c : bytes) out += {kDigits[c >> 4], kDigits[c & 15]};
  return out;
}

std::string Unhex(const std::string& hex) {
  std::string out;
  for (std::size_t i = 0; i + 1 < hex.size(); i += 2) out.push_back(static_cast<char>(std::stoi(hex.substr(i, 2), nullptr, 16)));
  return out;
}

const char* StatusName(ruvex::TDnsReplyStatus status) {
  switch (status) {
    case ruvex::TDnsReplyStatus::drsAnswer: return "answer";
    case ruvex::TDnsReplyStatus::drsNoSuchName: return "nxdomain";
    case ruvex::TDnsReplyStatus::drsFailure: return "failure";
    case ruvex::TDnsReplyStatus::drsTruncated: return "truncated";
    case ruvex::TDnsReplyStatus::drsMalformed: return "malformed";
    case ruvex::TDnsReplyStatus::drsMismatch: return "mismatch";
  }
  return "?";
}

}  // namespace

int main(int argc, char** argv) {
  const std::string mode = argc > 1 ? argv[1] : "";
  if (mode == "query" && argc == 5) {
    const auto query = ruvex::BuildDnsQuery(static_cast<std::uint16_t>(std::atoi(argv[2])), argv[3],
                                            static_cast<std::uint16_t>(std::atoi(argv[4])));
    std::cout << (query ? Hex(*query) : "invalid") << "\n";
    return query ? 0 : 1;
  }
  if (mode == "parse" && argc == 6) {
    const auto reply = ruvex::ParseDnsReply(Unhex(argv[5]), static_cast<std::uint16_t>(std::atoi(argv[2])), argv[3],
                                            static_cast<std::uint16_t>(std::atoi(argv[4])));
    std::cout << StatusName(reply.status) << "\n";
    for (const auto& mx : reply.mx) std::cout << "mx " << mx.preference << " " << mx.host << "\n";
    for (const auto& host : reply.hosts) std::cout << "ns " << host << "\n";
    for (const auto& host : reply.referrals) std::cout << "ref " << host << "\n";
    return 0;
  }
  if (mode == "lookup" && argc == 5) {
    const auto socket = ruvex::CreateUdpSocket();
    ruvex::TDnsQueryOptions options;
    options.port = static_cast<std::uint16_t>(std::atoi(argv[4]));
    options.replyTimeout = ruvex::TMilliseconds(3000);
    std::cout << "host " << ruvex::LookupMailExchanger(*socket, argv[2], {argv[3]}, options) << "\n";
    return 0;
  }
  std::fprintf(stderr, "usage: see the head of dns_sample.cpp\n");
  return 2;
}
