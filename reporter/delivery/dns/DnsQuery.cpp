#include "reporter/delivery/dns/DnsQuery.h"

#include <algorithm>
#include <random>

#include "reporter/delivery/dns/DnsServers.h"
#include "reporter/delivery/dns/MailExchanger.h"

namespace ruvex {
namespace {

constexpr std::size_t kMaxUdpReply = 512;

std::uint16_t RandomId() {
  std::random_device device;
  return static_cast<std::uint16_t>(device() & 0xFFFF);
}

bool HasRecords(const TDnsReply& reply) {
  return !reply.mx.empty() || !reply.hosts.empty() || !reply.referrals.empty();
}

}  // namespace

TDnsReply QueryDns(IDatagramSocket& socket, std::string_view name, const std::vector<std::string>& servers,
                   std::uint16_t type, const TDnsQueryOptions& options) {
  TDnsReply result;
  result.status = TDnsReplyStatus::drsFailure;
  const std::uint16_t id = options.newId ? options.newId() : RandomId();
  const auto query = BuildDnsQuery(id, name, type);
  if (!query || !socket.Open()) return result;

  std::vector<TEndpoint> asked;
  for (const auto& server : servers) {
    const auto address = socket.Resolve(server);
    if (!address) continue;
    const TEndpoint endpoint{*address, options.port};
    if (std::find(asked.begin(), asked.end(), endpoint) != asked.end()) continue;
    if (socket.SendTo(endpoint, *query)) asked.push_back(endpoint);
  }

  const auto deadline = std::chrono::steady_clock::now() + options.totalLimit;
  std::vector<TEndpoint> answered;
  for (int datagrams = 0; answered.size() < asked.size() && datagrams < options.maxDatagrams; ++datagrams) {
    const auto left = std::chrono::duration_cast<TMilliseconds>(deadline - std::chrono::steady_clock::now());
    if (left.count() <= 0) break;
    std::string packet;
    TEndpoint from;
    if (socket.ReceiveFrom(packet, from, kMaxUdpReply, std::min(left, options.replyTimeout)) !=
        TReceiveStatus::rsData)
      break;
    // Only a server we asked, once each, and only the reply to our question.
    if (std::find(asked.begin(), asked.end(), from) == asked.end() ||
        std::find(answered.begin(), answered.end(), from) != answered.end())
      continue;
    TDnsReply reply = ParseDnsReply(packet, id, name, type);
    if (reply.status == TDnsReplyStatus::drsMismatch || reply.status == TDnsReplyStatus::drsMalformed) continue;
    answered.push_back(from);
    if (reply.status == TDnsReplyStatus::drsAnswer && HasRecords(reply)) return reply;
    // An empty answer or a missing name is worth more than no answer.
    if (reply.status == TDnsReplyStatus::drsAnswer || result.status != TDnsReplyStatus::drsAnswer) result = std::move(reply);
  }
  return result;
}

std::vector<std::string> FindNameServers(IDatagramSocket& socket, std::string_view domain,
                                         const std::vector<std::string>& roots, const TDnsQueryOptions& options) {
  constexpr int kMaxReferralRounds = 11;
  std::vector<std::string> askAt = roots;
  std::vector<std::string> referrals;
  for (int round = 0; round < kMaxReferralRounds && !askAt.empty(); ++round) {
    const TDnsReply reply = QueryDns(socket, domain, askAt, kDnsTypeNs, options);
    if (!reply.hosts.empty()) return reply.hosts;
    if (reply.referrals.empty()) break;
    referrals = reply.referrals;
    askAt = referrals;
  }
  return referrals;
}

std::string LookupMailExchanger(IDatagramSocket& socket, std::string_view address,
                                const std::vector<std::string>& servers, const TDnsQueryOptions& options,
                                const std::vector<std::string>& roots) {
  const std::string domain = MailDomainOf(address);
  const std::string shortDomain = ShortDomainOf(domain);
  if (servers.empty()) {
    const auto nameServers = FindNameServers(socket, shortDomain, roots, options);
    return nameServers.empty() ? std::string() : LookupMailExchanger(socket, address, nameServers, options, roots);
  }
  std::vector<std::string> candidates{domain};
  if (shortDomain != domain) candidates.push_back(shortDomain);
  for (const std::string& candidate : candidates) {
    const TMxChoice choice = ChooseMailExchanger(QueryDns(socket, candidate, servers, kDnsTypeMx, options), candidate);
    if (choice.kind == TMxChoiceKind::mcHost) return choice.host;
    if (choice.kind == TMxChoiceKind::mcNoMail) return {};
  }
  return {};
}

std::string LookupMailExchanger(std::string_view address) {
  const auto socket = CreateUdpSocket();
  return LookupMailExchanger(*socket, address, SystemDnsServers());
}

}  // namespace ruvex
