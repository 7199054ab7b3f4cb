#pragma once
// An HTTP/1.1 answer read from the bytes a server sent: status line,
// header fields and a body framed by Content-Length, chunks or the end of
// the connection.
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace ruvex {

struct THttpHeader {
  std::string name, value;
};

struct THttpResponse {
  int status = 0;
  std::vector<THttpHeader> headers;
  std::string body;
  // The first value of a header field, compared without regard to case.
  std::optional<std::string> Header(std::string_view name) const;
  std::vector<std::string> Headers(std::string_view name) const;
};

enum class TResponseState { rsIncomplete, rsComplete, rsMalformed };

// Reads the answer from the bytes received so far. connectionClosed tells
// whether more can come: an answer without length then ends with the bytes.
// Answers to HEAD are not asked for, so every status but 1xx, 204 and 304
// carries a body.
TResponseState ParseHttpResponse(std::string_view bytes, bool connectionClosed, THttpResponse& response);

}  // namespace ruvex
