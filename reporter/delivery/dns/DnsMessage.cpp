#include "reporter/delivery/dns/DnsMessage.h"

namespace ruvex {
namespace {

constexpr std::size_t kHeaderSize = 12;
constexpr std::size_t kMaxNameWire = 255;  // length bytes and labels, the root byte included
constexpr int kMaxPointerHops = 64;
constexpr std::size_t kMaxAliases = 8;

std::uint16_t Be16(std::string_view s, std::size_t at) {
  return static_cast<std::uint16_t>((static_cast<std::uint8_t>(s[at]) << 8) | static_cast<std::uint8_t>(s[at + 1]));
}

void PutBe16(std::string& out, std::uint16_t v) {
  out.push_back(static_cast<char>(v >> 8));
  out.push_back(static_cast<char>(v & 0xFF));
}

bool IsLabelChar(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' || c == '_';
}

std::string Lower(std::string_view s) {
  std::string out(s);
  for (char& c : out)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c + 32);
  if (!out.empty() && out.back() == '.') out.pop_back();
  return out;
}

bool SameName(std::string_view a, std::string_view b) { return Lower(a) == Lower(b); }

// Reads a possibly compressed name at pos and moves pos behind it (behind
// the first pointer when there is one). Pointers must lead strictly
// backwards, so no chain can loop; labels may hold printable bytes except
// "." only, so that a name's text cannot stand for a different name.
std::optional<std::string> ReadName(std::string_view packet, std::size_t& pos) {
  std::string name;
  std::size_t p = pos;
  std::size_t runStart = pos;
  std::size_t wireLength = 0;
  bool jumped = false;
  int hops = 0;
  for (;;) {
    if (p >= packet.size()) return std::nullopt;
    const auto length = static_cast<std::uint8_t>(packet[p]);
    if ((length & 0xC0) == 0xC0) {
      if (p + 1 >= packet.size()) return std::nullopt;
      const std::size_t target = static_cast<std::size_t>(((length & 0x3F) << 8) | static_cast<std::uint8_t>(packet[p + 1]));
      if (target >= runStart || ++hops > kMaxPointerHops) return std::nullopt;
      if (!jumped) pos = p + 2;
      jumped = true;
      p = runStart = target;
      continue;
    }
    if (length & 0xC0) return std::nullopt;  // reserved label types
    wireLength += 1u + length;
    if (wireLength > kMaxNameWire) return std::nullopt;
    if (length == 0) {
      if (!jumped) pos = p + 1;
      return name;
    }
    if (p + 1 + length > packet.size()) return std::nullopt;
    if (!name.empty()) name.push_back('.');
    for (std::size_t i = p + 1; i < p + 1 + length; ++i) {
      const char c = packet[i];
      if (c == '.' || static_cast<std::uint8_t>(c) <= 0x20 || static_cast<std::uint8_t>(c) >= 0x7F) return std::nullopt;
      name.push_back(c);
    }
    p += 1 + length;
  }
}

// A name inside a record's data must end within that data.
std::optional<std::string> ReadNameWithin(std::string_view packet, std::size_t pos, std::size_t end) {
  auto name = ReadName(packet, pos);
  if (!name || pos > end) return std::nullopt;
  return name;
}

struct TRecordHead {
  std::string owner;
  std::uint16_t type = 0, klass = 0;
  std::size_t dataStart = 0, dataEnd = 0;
};

std::optional<TRecordHead> ReadRecordHead(std::string_view packet, std::size_t& pos) {
  TRecordHead head;
  auto owner = ReadName(packet, pos);
  if (!owner || pos + 10 > packet.size()) return std::nullopt;
  head.owner = std::move(*owner);
  head.type = Be16(packet, pos);
  head.klass = Be16(packet, pos + 2);
  const std::uint16_t length = Be16(packet, pos + 8);
  head.dataStart = pos + 10;
  head.dataEnd = head.dataStart + length;
  if (head.dataEnd > packet.size()) return std::nullopt;
  pos = head.dataEnd;
  return head;
}

bool IsOneOf(const std::vector<std::string>& names, std::string_view name) {
  for (const auto& n : names)
    if (SameName(n, name)) return true;
  return false;
}

}  // namespace

bool IsValidDnsName(std::string_view name) {
  if (!name.empty() && name.back() == '.') name.remove_suffix(1);
  if (name.empty() || name.size() > 253) return false;
  std::size_t start = 0;
  for (;;) {
    const std::size_t dot = name.find('.', start);
    const std::string_view label = name.substr(start, dot == std::string_view::npos ? std::string_view::npos : dot - start);
    if (label.empty() || label.size() > 63 || label.front() == '-' || label.back() == '-') return false;
    for (const char c : label)
      if (!IsLabelChar(c)) return false;
    if (dot == std::string_view::npos) return true;
    start = dot + 1;
  }
}

std::optional<std::string> BuildDnsQuery(std::uint16_t id, std::string_view name, std::uint16_t type) {
  if (!IsValidDnsName(name)) return std::nullopt;
  if (name.back() == '.') name.remove_suffix(1);
  std::string packet;
  PutBe16(packet, id);
  PutBe16(packet, 0x0100);  // a standard query, recursion desired
  PutBe16(packet, 1);
  PutBe16(packet, 0);
  PutBe16(packet, 0);
  PutBe16(packet, 0);
  std::size_t start = 0;
  for (;;) {
    const std::size_t dot = name.find('.', start);
    const std::string_view label = name.substr(start, dot == std::string_view::npos ? std::string_view::npos : dot - start);
    packet.push_back(static_cast<char>(label.size()));
    packet.append(label);
    if (dot == std::string_view::npos) break;
    start = dot + 1;
  }
  packet.push_back('\0');
  PutBe16(packet, type);
  PutBe16(packet, kDnsClassIn);
  return packet;
}

TDnsReply ParseDnsReply(std::string_view packet, std::uint16_t id, std::string_view name, std::uint16_t type) {
  TDnsReply reply;
  if (packet.size() < kHeaderSize) return reply;
  const std::uint16_t flags = Be16(packet, 2);
  const bool isResponse = (flags & 0x8000) != 0;
  const int opcode = (flags >> 11) & 0xF;
  const int rcode = flags & 0xF;
  const std::uint16_t questions = Be16(packet, 4);
  const std::uint16_t answers = Be16(packet, 6);
  const std::uint16_t authorities = Be16(packet, 8);
  if (Be16(packet, 0) != id || !isResponse || opcode != 0) {
    reply.status = TDnsReplyStatus::drsMismatch;
    return reply;
  }
  // A server that fails may leave the question out; that answer tells nothing anyway.
  if (questions == 0 && rcode != 0 && rcode != 3) {
    reply.status = TDnsReplyStatus::drsFailure;
    return reply;
  }
  std::size_t pos = kHeaderSize;
  const auto questionName = ReadName(packet, pos);
  if (!questionName || pos + 4 > packet.size()) return reply;
  if (questions != 1 || !SameName(*questionName, name) || Be16(packet, pos) != type ||
      Be16(packet, pos + 2) != kDnsClassIn) {
    reply.status = TDnsReplyStatus::drsMismatch;
    return reply;
  }
  pos += 4;
  if (flags & 0x0200) {
    reply.status = TDnsReplyStatus::drsTruncated;
    return reply;
  }
  if (rcode != 0) {
    reply.status = rcode == 3 ? TDnsReplyStatus::drsNoSuchName : TDnsReplyStatus::drsFailure;
    return reply;
  }

  // The name asked for and the aliases it leads to, CNAME by CNAME.
  std::vector<std::string> owners{std::string(name)};
  for (std::size_t i = 0; i < std::size_t(answers) + authorities; ++i) {
    const auto head = ReadRecordHead(packet, pos);
    if (!head) return TDnsReply{};
    const bool inAnswer = i < answers;
    if (head->klass != kDnsClassIn) continue;
    if (inAnswer && head->type == kDnsTypeCname && type != kDnsTypeCname && IsOneOf(owners, head->owner)) {
      const auto alias = ReadNameWithin(packet, head->dataStart, head->dataEnd);
      if (!alias) return TDnsReply{};
      if (owners.size() <= kMaxAliases) owners.push_back(*alias);
    } else if (inAnswer && head->type == type && type == kDnsTypeMx && IsOneOf(owners, head->owner)) {
      if (head->dataEnd - head->dataStart < 3) return TDnsReply{};
      const auto host = ReadNameWithin(packet, head->dataStart + 2, head->dataEnd);
      if (!host) return TDnsReply{};
      if (host->empty() || IsValidDnsName(*host)) reply.mx.push_back({Be16(packet, head->dataStart), *host});
    } else if (head->type == kDnsTypeNs && type == kDnsTypeNs && (!inAnswer || IsOneOf(owners, head->owner))) {
      const auto host = ReadNameWithin(packet, head->dataStart, head->dataEnd);
      if (!host) return TDnsReply{};
      if (IsValidDnsName(*host)) (inAnswer ? reply.hosts : reply.referrals).push_back(*host);
    }
  }
  reply.status = TDnsReplyStatus::drsAnswer;
  return reply;
}

}  // namespace ruvex
