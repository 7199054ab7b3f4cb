#include "reporter/delivery/dns/MailExchanger.h"

namespace ruvex {

std::string MailDomainOf(std::string_view address) {
  // The last "@": a quoted local part or a name may hold one as well.
  const std::size_t at = address.rfind('@');
  if (at != std::string_view::npos) address.remove_prefix(at + 1);
  if (!address.empty() && address.back() == '>') address.remove_suffix(1);
  return std::string(address);
}

std::string ShortDomainOf(std::string_view domain) {
  int dots = 0;
  for (std::size_t i = domain.size(); i-- > 0;) {
    if (domain[i] == '.' && ++dots == 3) return std::string(domain.substr(i + 1));
  }
  return std::string(domain);
}

TMxChoice ChooseMailExchanger(const TDnsReply& reply, std::string_view domain) {
  TMxChoice choice;
  if (reply.status != TDnsReplyStatus::drsAnswer) return choice;
  if (reply.mx.empty()) {
    if (!IsValidDnsName(domain)) return choice;
    choice.kind = TMxChoiceKind::mcHost;
    choice.host = std::string(domain);
    return choice;
  }
  const TMxRecord* best = nullptr;
  for (const auto& record : reply.mx) {
    if (record.host.empty()) {
      choice.kind = TMxChoiceKind::mcNoMail;
      return choice;
    }
    if (!best || record.preference < best->preference) best = &record;
  }
  choice.kind = TMxChoiceKind::mcHost;
  choice.host = best->host;
  return choice;
}

}  // namespace ruvex
