#pragma once
// The platform's HTTP library (WinHTTP, loaded at run time) as an
// IHttpClient: proxies, the system's certificate checks, every
// authentication scheme the library knows.
#include <memory>
#include <string>

#include "reporter/delivery/http/client/HttpClient.h"
#include "reporter/delivery/http/client/HttpTarget.h"

namespace ruvex {

struct TWinHttpOptions {
  std::string proxyServer, proxyBypass;  // HttpProxyServer, HttpProxyBypass; empty: the system's setting
  // HttpStrictCerts: certificates are checked unless a host program asks
  // otherwise; an unchecked certificate lets anyone on the way read the report.
  bool strictCerts = true;
  bool followRedirects = false;          // HttpFollowRedirects
  std::size_t maxAnswerBytes = 16 * 1024 * 1024;
  // Each of name lookup, connecting, sending and receiving; a stalled
  // server must not hold the crashed program for ever.
  int timeoutMilliseconds = 30000;
};

// Null when the library is not there (off Windows always).
std::unique_ptr<IHttpClient> CreateWinHttpClient(THttpTarget target, TWinHttpOptions options = {});

}  // namespace ruvex
