#include "reporter/delivery/http/client/HttpTarget.h"

#include <cctype>


namespace ruvex {
namespace {

bool StartsWithNoCase(std::string_view text, std::string_view prefix) {
  if (text.size() < prefix.size()) return false;
  for (std::size_t i = 0; i < prefix.size(); ++i)
    if (std::tolower(static_cast<unsigned char>(text[i])) != prefix[i]) return false;
  return true;
}

// "host:port" with digits only after the last colon.
void TakePortFromHost(THttpTarget& target) {
  const std::size_t colon = target.host.rfind(':');
  if (colon == std::string::npos || colon + 1 == target.host.size()) return;
  unsigned value = 0;
  for (std::size_t i = colon + 1; i < target.host.size(); ++i) {
    if (!std::isdigit(static_cast<unsigned char>(target.host[i]))) return;
    value = value * 10 + static_cast<unsigned>(target.host[i] - '0');
    if (value > 65535) return;
  }
  if (target.port == 0 && value != 0) target.port = static_cast<std::uint16_t>(value);
  target.host.resize(colon);
}

}  // namespace

THttpTarget SplitHttpServer(std::string_view httpServer, std::uint16_t httpPort, bool httpSsl) {
  THttpTarget target;
  target.secure = httpSsl || StartsWithNoCase(httpServer, "https://");
  target.port = httpPort;
  const std::size_t scheme = httpServer.find("://");
  if (scheme != std::string_view::npos) httpServer.remove_prefix(scheme + 3);
  const std::size_t slash = httpServer.find('/');
  target.host = std::string(httpServer.substr(0, slash));
  if (slash != std::string_view::npos) target.path = std::string(httpServer.substr(slash));
  TakePortFromHost(target);
  if (target.port == 0) target.port = target.secure ? 443 : 80;
  return target;
}

std::string RequestPath(std::string_view path) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string out;
  if (path.empty() || path.front() != '/') out.push_back('/');
  for (char c : path) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte <= 32 || byte >= 127) {
      out.push_back('%');
      out.push_back(kHex[byte >> 4]);
      out.push_back(kHex[byte & 15]);
    } else {
      out.push_back(c);
    }
  }
  return out;
}

}  // namespace ruvex
