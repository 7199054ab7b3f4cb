#pragma once
// DNS messages (RFC 1035): the query we send and the reply we read. A reply
// is untrusted input from the network: every read is bounded, and a reply
// that does not answer exactly our question is not taken.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace ruvex {

inline constexpr std::uint16_t kDnsTypeNs = 2;
inline constexpr std::uint16_t kDnsTypeCname = 5;
inline constexpr std::uint16_t kDnsTypeMx = 15;
inline constexpr std::uint16_t kDnsClassIn = 1;

// A host name as DNS carries it: labels of 1 to 63 letters, digits, "-" or
// "_", not starting or ending with "-", at most 253 characters in all. A
// final "." is allowed.
bool IsValidDnsName(std::string_view name);

// The query for name and type, recursion desired, with the given id;
// nullopt for a name that IsValidDnsName refuses.
std::optional<std::string> BuildDnsQuery(std::uint16_t id, std::string_view name, std::uint16_t type);

enum class TDnsReplyStatus {
  drsAnswer,     // RCODE 0; the records below are what it holds
  drsNoSuchName, // RCODE 3: the name does not exist
  drsFailure,    // another RCODE
  drsTruncated,  // TC set: the records may be incomplete, none are used
  drsMalformed,  // not a well-formed DNS message
  drsMismatch,   // not the reply to our query (id, question, flags)
};

struct TMxRecord {
  std::uint16_t preference = 0;
  std::string host;  // empty for the null MX "." (RFC 7505)
};

struct TDnsReply {
  TDnsReplyStatus status = TDnsReplyStatus::drsMalformed;
  std::vector<TMxRecord> mx;           // MX answers for the name or its alias, in received order
  std::vector<std::string> hosts;      // NS answers
  std::vector<std::string> referrals;  // NS records of the authority section
};

TDnsReply ParseDnsReply(std::string_view packet, std::uint16_t id, std::string_view name, std::uint16_t type);

}  // namespace ruvex
