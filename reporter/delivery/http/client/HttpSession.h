#pragma once
// The requests of one delivery on one IHttpClient: the meaning of each
// status, one retry with credentials per kind of challenge, the last error
// and the last redirect.
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "reporter/delivery/http/client/HttpClient.h"

namespace ruvex {

struct THttpAccounts {
  std::u16string httpUser, httpPassword;    // "HttpAccount", "HttpPassword"
  std::u16string proxyUser, proxyPassword;  // HttpProxyUser, HttpProxyPassword
};

struct THttpOutcome {
  bool ok = false;             // any 2xx, or a redirect 301 to 303
  int status = 0;              // 0 when no answer came
  // The body as received, also of a failed status: XML answers are parsed
  // first and each value decoded on its own (a decoded "&lt;" must not
  // become markup).
  std::string answer;
  std::string redirectUrl;     // the Location of a redirect
};

// Before each attempt, so that a resent body starts its progress afresh.
using TBeforeAttempt = std::function<void()>;

class THttpSession {
 public:
  THttpSession(IHttpClient& client, THttpAccounts accounts) : client_(client), accounts_(std::move(accounts)) {}

  THttpOutcome Send(const std::string& verb, const std::string& path, const std::vector<std::string>& headerLines,
                    const THttpBody* body, const TBodyProgress& progress = {}, const TBeforeAttempt& before = {});
  THttpOutcome Get(const std::string& path) { return Send("GET", path, {}, nullptr); }

  // A tracker's own error message: number -1; an empty text clears.
  void SetTrackerError(const std::u16string& message);
  std::int64_t LastErrorNo() const { return lastErrorNo_; }
  const std::u16string& LastErrorText() const { return lastErrorText_; }
  const std::string& LastRedirectUrl() const { return lastRedirectUrl_; }
  bool AuthRequested() const { return authRequested_; }
  bool AuthAccepted() const { return authAccepted_; }

 private:
  enum class TNext { nDone, nRetry };
  TNext Judge(const THttpReply& reply, THttpOutcome& outcome);
  TNext OnServerChallenge(const THttpReply& reply);
  TNext OnProxyChallenge(const THttpReply& reply);
  void SetError(std::int64_t number, std::u16string text);

  IHttpClient& client_;
  THttpAccounts accounts_;
  std::optional<THttpCredentials> server_, proxy_;
  bool serverAuthDone_ = false, proxyAuthDone_ = false, resendDone_ = false;
  bool authRequested_ = false, authAccepted_ = false;
  std::int64_t lastErrorNo_ = 0;
  std::u16string lastErrorText_;
  std::string lastRedirectUrl_;
};

// The server's preferred scheme among those offered: Negotiate, NTLM,
// Passport, Digest, Basic.
std::optional<THttpAuthScheme> ChooseAuthScheme(const std::vector<THttpAuthScheme>& offered);

// Answers as text: "&quot;", "&amp;", "&apos;", "&lt;" and "&gt;" replaced in
// one pass, so that an escaped entity ("&amp;lt;") stays the entity it stands for.
std::string DecodeEntities(std::string_view text);

}  // namespace ruvex
