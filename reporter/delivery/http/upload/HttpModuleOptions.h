#pragma once
// The process-wide HTTP options a host program may set before a report is
// sent, the results left for it afterwards, and the client they choose.
#include <cstdint>
#include <memory>
#include <string>

#include "reporter/delivery/http/client/HttpClient.h"
#include "reporter/delivery/http/client/HttpSession.h"
#include "reporter/delivery/http/client/HttpTarget.h"
#include "reporter/delivery/transport/Transport.h"

namespace ruvex {

struct THttpModuleOptions {
  std::string proxyServer, proxyBypass;     // HttpProxyServer, HttpProxyBypass
  std::u16string proxyUser, proxyPassword;  // HttpProxyUser, HttpProxyPassword
  bool strictCerts = true;                  // HttpStrictCerts
  bool followRedirects = false;             // HttpFollowRedirects
  bool openRedirects = true;                // HttpOpenRedirects
  bool rawUtf8Fields = true;                // HttpRawUtf8Fields
  bool bareMailFields = true;               // HttpBareMailFields
};

struct THttpResults {
  std::int64_t lastErrorNo = 0;   // HttpLastErrorNo
  std::u16string lastErrorText;   // HttpLastErrorText
  std::string lastRedirectUrl;    // HttpLastRedirectUrl
  std::string lastResponse;       // HttpLastResponse
  std::string mantisLastIssueId;  // MantisLastIssueId
};

// The platform's HTTP library where there is one, else HTTP over the
// transport's sockets (which refuses https rather than send in the clear).
std::unique_ptr<IHttpClient> CreatePlatformHttpClient(const THttpTarget& target, const THttpModuleOptions& options);

// A session's last error and redirect copied into the results.
void KeepSessionResults(const THttpSession& session, THttpResults& results);

}  // namespace ruvex
