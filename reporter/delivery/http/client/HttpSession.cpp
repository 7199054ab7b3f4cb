#include "reporter/delivery/http/client/HttpSession.h"

#include <algorithm>

#include "common/text/Utf.h"

namespace ruvex {

std::optional<THttpAuthScheme> ChooseAuthScheme(const std::vector<THttpAuthScheme>& offered) {
  if (offered.empty()) return std::nullopt;
  return *std::min_element(offered.begin(), offered.end());
}

std::string DecodeEntities(std::string_view text) {
  static const std::pair<std::string_view, char> kEntities[] = {
      {"&quot;", '"'}, {"&amp;", '&'}, {"&apos;", '\''}, {"&lt;", '<'}, {"&gt;", '>'}};
  std::string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size();) {
    bool replaced = false;
    if (text[i] == '&') {
      for (const auto& [entity, character] : kEntities) {
        if (text.substr(i, entity.size()) == entity) {
          out.push_back(character);
          i += entity.size();
          replaced = true;
          break;
        }
      }
    }
    if (!replaced) out.push_back(text[i++]);
  }
  return out;
}

THttpOutcome THttpSession::Send(const std::string& verb, const std::string& path,
                                const std::vector<std::string>& headerLines, const THttpBody* body,
                                const TBodyProgress& progress, const TBeforeAttempt& before) {
  THttpRequest request;
  request.verb = verb;
  request.path = path;
  request.headerLines = headerLines;
  request.body = body;
  THttpOutcome outcome;
  // Every retry consumes a one-time allowance (server, proxy, resend), so
  // the loop ends after at most four attempts, whatever the server says.
  for (;;) {
    if (before) before();
    request.server = server_;
    request.proxy = proxy_;
    const THttpReply reply = client_.Exchange(request, progress);
    outcome = THttpOutcome{};
    if (Judge(reply, outcome) == TNext::nDone) return outcome;
  }
}

THttpSession::TNext THttpSession::Judge(const THttpReply& reply, THttpOutcome& outcome) {
  if (!reply.answered) {
    SetError(reply.errorNo, reply.errorText);
    const bool schemeInUse = server_.has_value() || proxy_.has_value();
    if (reply.errorNo == kErrorResendRequest && !schemeInUse && !resendDone_) {
      resendDone_ = true;
      return TNext::nRetry;
    }
    return TNext::nDone;
  }
  outcome.status = reply.status;
  // Every 2xx is a delivered report: a script may answer 201 or 204.
  if (reply.status >= 200 && reply.status <= 299) {
    authAccepted_ = authRequested_;
    outcome.ok = true;
    outcome.answer = reply.body;
    return TNext::nDone;
  }
  switch (reply.status) {
    case 301:
    case 302:
    case 303:
      lastRedirectUrl_ = reply.location;
      authAccepted_ = authRequested_;
      outcome.ok = true;
      outcome.redirectUrl = reply.location;
      outcome.answer = reply.body;
      return TNext::nDone;
    case 401:
      if (authRequested_) authAccepted_ = false;
      authRequested_ = true;
      return OnServerChallenge(reply);
    case 407:
      return OnProxyChallenge(reply);
    default:
      outcome.answer = reply.body;  // a SOAP fault comes with status 500
      SetError(reply.status, u"The server answered with status " + kelvane::Utf8ToUtf16(std::to_string(reply.status)));
      return TNext::nDone;
  }
}

THttpSession::TNext THttpSession::OnServerChallenge(const THttpReply& reply) {
  SetError(401, u"The server requires authentication");
  if (serverAuthDone_ || accounts_.httpUser.empty()) return TNext::nDone;
  serverAuthDone_ = true;
  const std::optional<THttpAuthScheme> scheme = ChooseAuthScheme(reply.serverSchemes);
  if (!scheme) return TNext::nDone;
  server_ = THttpCredentials{*scheme, accounts_.httpUser, accounts_.httpPassword};
  return TNext::nRetry;
}

THttpSession::TNext THttpSession::OnProxyChallenge(const THttpReply& reply) {
  SetError(407, u"The proxy requires authentication");
  if (proxyAuthDone_ || accounts_.proxyUser.empty()) return TNext::nDone;
  proxyAuthDone_ = true;
  const std::optional<THttpAuthScheme> scheme = ChooseAuthScheme(reply.proxySchemes);
  if (!scheme) return TNext::nDone;
  proxy_ = THttpCredentials{*scheme, accounts_.proxyUser, accounts_.proxyPassword};
  return TNext::nRetry;
}

void THttpSession::SetError(std::int64_t number, std::u16string text) {
  lastErrorNo_ = number;
  lastErrorText_ = std::move(text);
}

void THttpSession::SetTrackerError(const std::u16string& message) {
  SetError(message.empty() ? 0 : -1, message);
}

}  // namespace ruvex
