#pragma once
// Which host takes the mail of a recipient's domain.
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "reporter/delivery/dns/DnsMessage.h"

namespace ruvex {

// The domain of an address: the text after the last "@", without a
// trailing ">"; the short domain keeps its last three labels only.
std::string MailDomainOf(std::string_view address);
std::string ShortDomainOf(std::string_view domain);

enum class TMxChoiceKind {
  mcHost,     // mail goes to host
  mcNoMail,   // the domain takes no mail: a null MX
  mcUnknown,  // no usable answer: ask elsewhere
};

struct TMxChoice {
  TMxChoiceKind kind = TMxChoiceKind::mcUnknown;
  std::string host;
};

// The lowest preference wins, ties in received order. An answer without MX
// records names the domain itself (RFC 5321, 5.1); a null MX (RFC 7505)
// means the domain takes no mail.
TMxChoice ChooseMailExchanger(const TDnsReply& reply, std::string_view domain);

}  // namespace ruvex
