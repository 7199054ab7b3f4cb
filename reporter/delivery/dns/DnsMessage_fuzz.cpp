// DNS replies come from the network: any bytes must parse in bounded time
// into names that are valid host names, or be refused.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "reporter/delivery/dns/DnsMessage.h"
#include "reporter/delivery/dns/MailExchanger.h"

namespace {

void CheckHost(const std::string& host) {
  if (!ruvex::IsValidDnsName(host)) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view packet(reinterpret_cast<const char*>(data), size);
  const std::uint16_t id = size >= 2 ? static_cast<std::uint16_t>((data[0] << 8) | data[1]) : 0;
  for (const std::uint16_t type : {ruvex::kDnsTypeMx, ruvex::kDnsTypeNs}) {
    const ruvex::TDnsReply reply = ruvex::ParseDnsReply(packet, id, "example.org", type);
    for (const auto& mx : reply.mx)
      if (!mx.host.empty()) CheckHost(mx.host);
    for (const auto& host : reply.hosts) CheckHost(host);
    for (const auto& host : reply.referrals) CheckHost(host);
    ruvex::ChooseMailExchanger(reply, "example.org");
  }
  return 0;
}
