#pragma once
// HTTP/1.1 over a byte stream of the transport: one connection per
// exchange ("Connection: close"), Basic authentication only. It serves
// where the platform's HTTP library is not at hand, and the tests.
#include <functional>
#include <memory>

#include "reporter/delivery/http/client/HttpClient.h"
#include "reporter/delivery/http/client/HttpTarget.h"
#include "reporter/delivery/transport/Transport.h"

namespace ruvex {

struct TSocketHttpOptions {
  TMilliseconds timeout{30000};
  std::size_t maxAnswerBytes = 16 * 1024 * 1024;  // a larger answer is refused
};

std::unique_ptr<IHttpClient> CreateSocketHttpClient(THttpTarget target,
                                                    std::function<std::unique_ptr<IByteStream>()> newStream,
                                                    TSocketHttpOptions options = {});

// The head of a request as the socket client writes it, for the record.
std::string RequestHead(const THttpTarget& target, const THttpRequest& request, std::uint64_t bodyLength);

// The schemes named by challenge header values ("Basic realm=...").
std::vector<THttpAuthScheme> ChallengeSchemes(const std::vector<std::string>& challenges);

}  // namespace ruvex
