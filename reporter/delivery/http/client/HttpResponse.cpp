#include "reporter/delivery/http/client/HttpResponse.h"

#include <cctype>
#include <cstdint>

namespace ruvex {
namespace {

constexpr std::size_t kMaxHeadSize = 64 * 1024;

bool EqualsNoCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i)
    if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i]))) return false;
  return true;
}

std::string_view Trim(std::string_view text) {
  while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
  while (!text.empty() && (text.back() == ' ' || text.back() == '\t' || text.back() == '\r')) text.remove_suffix(1);
  return text;
}

// "HTTP/1.x nnn reason"
bool ParseStatusLine(std::string_view line, int& status) {
  if (line.size() < 12 || line.substr(0, 7) != "HTTP/1." || line[8] != ' ') return false;
  status = 0;
  for (std::size_t i = 9; i < 12; ++i) {
    if (!std::isdigit(static_cast<unsigned char>(line[i]))) return false;
    status = status * 10 + (line[i] - '0');
  }
  return line.size() == 12 || line[12] == ' ';
}

bool ParseDecimal(std::string_view text, std::uint64_t& value) {
  text = Trim(text);
  if (text.empty() || text.size() > 15) return false;
  value = 0;
  for (char c : text) {
    if (!std::isdigit(static_cast<unsigned char>(c))) return false;
    value = value * 10 + static_cast<unsigned>(c - '0');
  }
  return true;
}

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

// Chunks from offset on; trailers after the last chunk are skipped.
TResponseState ReadChunks(std::string_view bytes, std::size_t offset, std::string& body) {
  body.clear();
  for (;;) {
    const std::size_t lineEnd = bytes.find("\r\n", offset);
    if (lineEnd == std::string_view::npos) return TResponseState::rsIncomplete;
    std::uint64_t size = 0;
    std::size_t digits = 0;
    for (std::size_t i = offset; i < lineEnd && HexDigit(bytes[i]) >= 0; ++i, ++digits) {
      if (digits == 15) return TResponseState::rsMalformed;
      size = size * 16 + static_cast<unsigned>(HexDigit(bytes[i]));
    }
    if (digits == 0) return TResponseState::rsMalformed;
    offset = lineEnd + 2;
    if (size == 0) {
      const std::size_t end = bytes.find("\r\n", offset);
      if (end == std::string_view::npos) return TResponseState::rsIncomplete;
      if (end == offset) return TResponseState::rsComplete;
      const std::size_t trailersEnd = bytes.find("\r\n\r\n", offset);
      return trailersEnd == std::string_view::npos ? TResponseState::rsIncomplete : TResponseState::rsComplete;
    }
    if (bytes.size() - offset < size + 2) return TResponseState::rsIncomplete;
    body.append(bytes.substr(offset, static_cast<std::size_t>(size)));
    offset += static_cast<std::size_t>(size);
    if (bytes.substr(offset, 2) != "\r\n") return TResponseState::rsMalformed;
    offset += 2;
  }
}

}  // namespace

std::optional<std::string> THttpResponse::Header(std::string_view name) const {
  for (const THttpHeader& header : headers)
    if (EqualsNoCase(header.name, name)) return header.value;
  return std::nullopt;
}

std::vector<std::string> THttpResponse::Headers(std::string_view name) const {
  std::vector<std::string> values;
  for (const THttpHeader& header : headers)
    if (EqualsNoCase(header.name, name)) values.push_back(header.value);
  return values;
}

TResponseState ParseHttpResponse(std::string_view bytes, bool connectionClosed, THttpResponse& response) {
  std::size_t start = 0;
  for (;;) {
    response = THttpResponse{};
    const std::size_t headEnd = bytes.find("\r\n\r\n", start);
    if (headEnd == std::string_view::npos) {
      if (bytes.size() - start > kMaxHeadSize) return TResponseState::rsMalformed;
      return connectionClosed ? TResponseState::rsMalformed : TResponseState::rsIncomplete;
    }
    const std::string_view head = bytes.substr(start, headEnd - start);
    std::size_t lineStart = head.find("\r\n");
    if (!ParseStatusLine(head.substr(0, lineStart), response.status)) return TResponseState::rsMalformed;
    while (lineStart != std::string_view::npos) {
      lineStart += 2;
      const std::size_t lineEnd = head.find("\r\n", lineStart);
      const std::string_view line = head.substr(lineStart, lineEnd == std::string_view::npos ? std::string_view::npos
                                                                                             : lineEnd - lineStart);
      const std::size_t colon = line.find(':');
      if (colon == std::string_view::npos || colon == 0) return TResponseState::rsMalformed;
      response.headers.push_back({std::string(line.substr(0, colon)), std::string(Trim(line.substr(colon + 1)))});
      lineStart = lineEnd;
    }
    const std::size_t bodyStart = headEnd + 4;
    // An interim answer (100 Continue) precedes the real one.
    if (response.status >= 100 && response.status < 200) {
      start = bodyStart;
      continue;
    }
    if (response.status == 204 || response.status == 304) return TResponseState::rsComplete;
    const std::optional<std::string> encoding = response.Header("Transfer-Encoding");
    if (encoding && EqualsNoCase(Trim(*encoding), "chunked")) {
      const TResponseState state = ReadChunks(bytes, bodyStart, response.body);
      return state == TResponseState::rsIncomplete && connectionClosed ? TResponseState::rsMalformed : state;
    }
    if (const std::optional<std::string> length = response.Header("Content-Length")) {
      std::uint64_t size = 0;
      if (!ParseDecimal(*length, size)) return TResponseState::rsMalformed;
      if (bytes.size() - bodyStart < size)
        return connectionClosed ? TResponseState::rsMalformed : TResponseState::rsIncomplete;
      response.body = std::string(bytes.substr(bodyStart, static_cast<std::size_t>(size)));
      return TResponseState::rsComplete;
    }
    response.body = std::string(bytes.substr(bodyStart));
    return connectionClosed ? TResponseState::rsComplete : TResponseState::rsIncomplete;
  }
}

}  // namespace ruvex
