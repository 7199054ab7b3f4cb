#include "reporter/delivery/smtp/SmtpReply.h"

#include <vector>

namespace ruvex {
namespace {

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

bool IsContinuation(std::string_view line) {
  return line.size() >= 4 && IsDigit(line[0]) && IsDigit(line[1]) && IsDigit(line[2]) && line[3] == '-';
}

std::vector<std::string_view> Lines(std::string_view reply) {
  std::vector<std::string_view> lines;
  while (!reply.empty()) {
    const std::size_t end = reply.find("\r\n");
    lines.push_back(reply.substr(0, end));
    if (end == std::string_view::npos) break;
    reply.remove_prefix(end + 2);
  }
  return lines;
}

std::string Upper(std::string_view s) {
  std::string out(s);
  for (char& c : out)
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 32);
  return out;
}

// The words of an extension line, "=" counting as a blank (older AUTH form).
std::vector<std::string> Words(std::string_view text) {
  std::vector<std::string> words;
  std::string word;
  for (const char c : text) {
    if (c == ' ' || c == '=' || c == '\t') {
      if (!word.empty()) words.push_back(Upper(word));
      word.clear();
    } else {
      word.push_back(c);
    }
  }
  if (!word.empty()) words.push_back(Upper(word));
  return words;
}

}  // namespace

bool IsCompleteReply(std::string_view reply) {
  if (reply.size() < 2 || reply.substr(reply.size() - 2) != "\r\n") return false;
  const std::string_view body = reply.substr(0, reply.size() - 2);
  const std::size_t lastBreak = body.rfind("\r\n");
  const std::string_view last = lastBreak == std::string_view::npos ? body : body.substr(lastBreak + 2);
  return !IsContinuation(last);
}

bool ReplyHasCode(std::string_view reply, std::string_view code) {
  if (code.size() != 3 || reply.size() < 3 || reply.substr(0, 3) != code) return false;
  return reply.size() == 3 || reply[3] == ' ' || reply[3] == '-' || reply[3] == '\r';
}

std::u16string FirstReplyLine(std::string_view reply) {
  constexpr std::size_t kMaxShown = 200;
  std::string_view line = reply.substr(0, reply.find_first_of("\r\n"));
  while (!line.empty() && static_cast<unsigned char>(line.front()) <= 32) line.remove_prefix(1);
  while (!line.empty() && static_cast<unsigned char>(line.back()) <= 32) line.remove_suffix(1);
  std::u16string out;
  for (std::size_t i = 0; i < line.size() && i < kMaxShown; ++i) {
    const auto b = static_cast<unsigned char>(line[i]);
    // Bytes as Latin-1; what a reader may not see becomes "?".
    out.push_back(b < 32 || b == 127 || (b >= 0x80 && b < 0xA0) ? u'?' : static_cast<char16_t>(b));
  }
  return out;
}

TEhloOffer ReadEhloOffer(std::string_view reply) {
  TEhloOffer offer;
  const auto lines = Lines(reply);
  for (std::size_t i = 1; i < lines.size(); ++i) {
    const std::string_view line = lines[i];
    if (line.size() < 4 || line.substr(0, 3) != "250" || (line[3] != ' ' && line[3] != '-')) continue;
    const auto words = Words(line.substr(4));
    if (words.empty()) continue;
    if (words[0] == "STARTTLS" && words.size() == 1) offer.startTls = true;
    if (words[0] == "AUTH")
      for (std::size_t k = 1; k < words.size(); ++k) offer.authLogin = offer.authLogin || words[k] == "LOGIN";
  }
  return offer;
}

}  // namespace ruvex
