#pragma once
// One DNS question over UDP, sent to several servers at once, and the mail
// exchanger lookup built on it.
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "reporter/delivery/dns/DnsMessage.h"
#include "reporter/delivery/transport/Transport.h"

namespace ruvex {

struct TDnsQueryOptions {
  std::uint16_t port = 53;  // tests ask servers on loopback at another port
  TMilliseconds replyTimeout{5000};  // for each datagram
  TMilliseconds totalLimit{15000};   // for the whole query
  int maxDatagrams = 64;             // stray datagrams cannot keep the query going
  // The query id; random by default, so that an off-path sender cannot guess it.
  std::function<std::uint16_t()> newId;
};

// The first reply that answers the question of a queried server (from its
// address and port, with our id and question): with records or a referral
// it ends the query; an empty answer is kept unless a later server gives
// records. Status drsFailure when no server answered at all.
TDnsReply QueryDns(IDatagramSocket& socket, std::string_view name, const std::vector<std::string>& servers,
                   std::uint16_t type, const TDnsQueryOptions& options = {});

// The root servers asked when the system names no DNS server.
inline const std::vector<std::string> kRootServers = {"a.root-servers.net", "k.root-servers.net"};

// The name servers of a domain, found from the given roots by following NS
// referrals (at most 11 rounds); empty when none were found.
std::vector<std::string> FindNameServers(IDatagramSocket& socket, std::string_view domain,
                                         const std::vector<std::string>& roots, const TDnsQueryOptions& options = {});

// The host that takes the mail of the address's domain, asked of servers
// (without any, of the domain's name servers found from the roots); empty
// when none is known. Falls back on the short domain as mail setups of
// sub-domains often have none of their own.
std::string LookupMailExchanger(IDatagramSocket& socket, std::string_view address,
                                const std::vector<std::string>& servers, const TDnsQueryOptions& options = {},
                                const std::vector<std::string>& roots = kRootServers);

// The same over the platform's UDP socket, asking the system's DNS servers.
std::string LookupMailExchanger(std::string_view address);

}  // namespace ruvex
