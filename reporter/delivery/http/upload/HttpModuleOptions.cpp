#include "reporter/delivery/http/upload/HttpModuleOptions.h"

#include "reporter/delivery/http/client/SocketHttpClient.h"
#include "reporter/delivery/http/client/WinHttpClient.h"

namespace ruvex {

std::unique_ptr<IHttpClient> CreatePlatformHttpClient(const THttpTarget& target, const THttpModuleOptions& options) {
  TWinHttpOptions winHttp;
  winHttp.proxyServer = options.proxyServer;
  winHttp.proxyBypass = options.proxyBypass;
  winHttp.strictCerts = options.strictCerts;
  winHttp.followRedirects = options.followRedirects;
  if (std::unique_ptr<IHttpClient> client = CreateWinHttpClient(target, winHttp)) return client;
  return CreateSocketHttpClient(target, [] { return CreateTcpStream(); });
}

void KeepSessionResults(const THttpSession& session, THttpResults& results) {
  results.lastErrorNo = session.LastErrorNo();
  results.lastErrorText = session.LastErrorText();
  results.lastRedirectUrl = session.LastRedirectUrl();
}

}  // namespace ruvex
