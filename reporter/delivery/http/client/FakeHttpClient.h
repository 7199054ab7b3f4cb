#pragma once
// An IHttpClient for tests: answers from a script (the last one repeats)
// and records each request with the body bytes it streamed.
#include <deque>
#include <string>
#include <vector>

#include "reporter/delivery/http/client/HttpClient.h"

namespace ruvex {

class TFakeHttpClient final : public IHttpClient {
 public:
  std::deque<THttpReply> replies;
  std::vector<THttpRequest> requests;
  std::vector<std::string> bodies;

  THttpReply Exchange(const THttpRequest& request, const TBodyProgress& progress) override {
    requests.push_back(request);
    std::string body;
    if (request.body) StreamBody(*request.body, [&](std::string_view b) { body += b; return true; }, progress);
    bodies.push_back(body);
    if (requests.size() > 50 || replies.empty()) return {};  // a runaway loop ends the test
    THttpReply reply = replies.front();
    if (replies.size() > 1) replies.pop_front();
    return reply;
  }

  static THttpReply Answer(int status, std::string body = {}) {
    THttpReply reply;
    reply.answered = true;
    reply.status = status;
    reply.body = std::move(body);
    return reply;
  }
};

}  // namespace ruvex
