#pragma once
// Where an upload goes: the setting "HttpServer" split into host and base
// path, with the port and whether the connection is encrypted.
#include <cstdint>
#include <string>
#include <string_view>

namespace ruvex {

struct THttpTarget {
  bool secure = false;
  std::string host;
  std::uint16_t port = 0;  // never 0 once split: the scheme's default fills in
  std::string path;        // from the first "/" on; empty when none
};

// An "https://" prefix asks for TLS whatever httpSsl says, and "http://"
// does not switch off a configured httpSsl. A port of 0 means the scheme's
// default, unless the host text carries ":port" itself.
THttpTarget SplitHttpServer(std::string_view httpServer, std::uint16_t httpPort, bool httpSsl);

// The path a request line may carry: a leading "/" added when missing, and
// blanks, controls and bytes from 128 up percent-escaped, so that no setting
// can break the request line.
std::string RequestPath(std::string_view path);

}  // namespace ruvex
