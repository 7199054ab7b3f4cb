#pragma once
// IHttpClient: one HTTP exchange, request out and answer in, on a
// connection the client keeps. Authentication, retries and the meaning of
// status codes are decided above it (THttpSession), so that a socket client
// and the platform's HTTP library behave the same.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "reporter/delivery/http/client/HttpBody.h"

namespace ruvex {

// The authentication schemes in the order of preference.
enum class THttpAuthScheme { asNegotiate, asNtlm, asPassport, asDigest, asBasic };

struct THttpCredentials {
  THttpAuthScheme scheme = THttpAuthScheme::asBasic;
  std::u16string user, password;
};

struct THttpRequest {
  std::string verb = "GET";
  std::string path = "/";
  std::vector<std::string> headerLines;  // without CR LF
  const THttpBody* body = nullptr;       // none: an empty body
  std::optional<THttpCredentials> server, proxy;
};

// System error numbers of the platform's HTTP library that the retry
// logic knows, kept as numbers so the portable side can name them.
inline constexpr std::uint32_t kErrorResendRequest = 12032;
inline constexpr std::uint32_t kErrorSecureFailure = 12175;
inline constexpr std::uint32_t kErrorCannotConnect = 12029;
inline constexpr std::uint32_t kErrorConnectionError = 12030;
inline constexpr std::uint32_t kErrorInvalidServerResponse = 12152;
inline constexpr std::uint32_t kErrorNameNotResolved = 12007;

struct THttpReply {
  // False when no status line came: errorNo and errorText say why.
  bool answered = false;
  std::uint32_t errorNo = 0;
  std::u16string errorText;
  int status = 0;
  std::string location;
  std::vector<THttpAuthScheme> serverSchemes, proxySchemes;  // offered by the challenge
  std::string body;
};

class IHttpClient {
 public:
  virtual ~IHttpClient() = default;
  virtual THttpReply Exchange(const THttpRequest& request, const TBodyProgress& progress) = 0;
};

}  // namespace ruvex
