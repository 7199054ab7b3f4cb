#include "reporter/delivery/http/client/SocketHttpClient.h"

#include <cctype>

#include "common/text/Utf.h"
#include "reporter/delivery/http/client/HttpResponse.h"
#include "reporter/delivery/mime/Base64.h"

namespace ruvex {
namespace {

bool HasLineBreak(std::string_view text) { return text.find_first_of("\r\n") != std::string_view::npos; }

std::string BasicAuthorization(const THttpCredentials& credentials) {
  return "Basic " + Base64(kelvane::Utf16ToUtf8(credentials.user + u":" + credentials.password));
}

THttpReply Failure(std::uint32_t errorNo, std::u16string text) {
  THttpReply reply;
  reply.errorNo = errorNo;
  reply.errorText = std::move(text);
  return reply;
}

class TSocketHttpClient final : public IHttpClient {
 public:
  TSocketHttpClient(THttpTarget target, std::function<std::unique_ptr<IByteStream>()> newStream,
                    TSocketHttpOptions options)
      : target_(std::move(target)), newStream_(std::move(newStream)), options_(options) {}

  THttpReply Exchange(const THttpRequest& request, const TBodyProgress& progress) override {
    for (const std::string& line : request.headerLines)
      if (HasLineBreak(line)) return Failure(kErrorInvalidServerResponse, u"invalid header line");
    std::unique_ptr<IByteStream> stream = newStream_();
    const TConnectOutcome outcome = stream->Connect(target_.host, target_.port, options_.timeout);
    if (outcome.status == TConnectStatus::csNotFound)
      return Failure(kErrorNameNotResolved, u"The server name or address could not be resolved");
    if (outcome.status != TConnectStatus::csConnected)
      return Failure(kErrorCannotConnect, u"A connection with the server could not be established");
    // A secure target never falls back to sending in the clear.
    if (target_.secure && !stream->StartTls(kelvane::Utf8ToUtf16(target_.host), options_.timeout))
      return Failure(kErrorSecureFailure, u"A security error occurred");
    THttpReply reply = Transmit(*stream, request, progress);
    stream->Close();
    return reply;
  }

 private:
  THttpReply Transmit(IByteStream& stream, const THttpRequest& request, const TBodyProgress& progress) {
    const std::uint64_t length = request.body ? request.body->Length() : 0;
    const auto send = [&](std::string_view bytes) { return stream.Send(bytes, options_.timeout); };
    if (!send(RequestHead(target_, request, length)) ||
        (request.body && !StreamBody(*request.body, send, progress)))
      return Failure(kErrorConnectionError, u"The connection with the server was reset");
    return ReadAnswer(stream);
  }

  THttpReply ReadAnswer(IByteStream& stream) {
    std::string bytes;
    THttpResponse response;
    for (;;) {
      const TReceiveStatus status = stream.Receive(bytes, 64 * 1024, options_.timeout);
      const bool closed = status != TReceiveStatus::rsData;
      if (status == TReceiveStatus::rsTimeout || status == TReceiveStatus::rsError)
        return Failure(kErrorConnectionError, u"The connection with the server was reset");
      if (bytes.size() > options_.maxAnswerBytes)
        return Failure(kErrorInvalidServerResponse, u"The server response is too large");
      const TResponseState state = ParseHttpResponse(bytes, closed, response);
      if (state == TResponseState::rsMalformed)
        return Failure(kErrorInvalidServerResponse, u"The server response could not be parsed");
      if (state == TResponseState::rsComplete) break;
    }
    THttpReply reply;
    reply.answered = true;
    reply.status = response.status;
    reply.location = response.Header("Location").value_or("");
    reply.serverSchemes = ChallengeSchemes(response.Headers("WWW-Authenticate"));
    reply.proxySchemes = ChallengeSchemes(response.Headers("Proxy-Authenticate"));
    reply.body = std::move(response.body);
    return reply;
  }

  THttpTarget target_;
  std::function<std::unique_ptr<IByteStream>()> newStream_;
  TSocketHttpOptions options_;
};

}  // namespace

std::string RequestHead(const THttpTarget& target, const THttpRequest& request, std::uint64_t bodyLength) {
  const bool defaultPort = target.port == (target.secure ? 443 : 80);
  std::string head = request.verb + " " + RequestPath(request.path) + " HTTP/1.1\r\n";
  head += "Host: " + target.host + (defaultPort ? "" : ":" + std::to_string(target.port)) + "\r\n";
  head += "User-Agent: RuvexExcept/4.0\r\n";
  for (const std::string& line : request.headerLines) head += line + "\r\n";
  if (request.server && request.server->scheme == THttpAuthScheme::asBasic)
    head += "Authorization: " + BasicAuthorization(*request.server) + "\r\n";
  if (request.proxy && request.proxy->scheme == THttpAuthScheme::asBasic)
    head += "Proxy-Authorization: " + BasicAuthorization(*request.proxy) + "\r\n";
  if (bodyLength > 0 || request.verb != "GET") head += "Content-Length: " + std::to_string(bodyLength) + "\r\n";
  head += "Connection: close\r\n\r\n";
  return head;
}

std::vector<THttpAuthScheme> ChallengeSchemes(const std::vector<std::string>& challenges) {
  static const std::pair<const char*, THttpAuthScheme> kNames[] = {
      {"negotiate", THttpAuthScheme::asNegotiate}, {"ntlm", THttpAuthScheme::asNtlm},
      {"passport1.4", THttpAuthScheme::asPassport}, {"digest", THttpAuthScheme::asDigest},
      {"basic", THttpAuthScheme::asBasic}};
  std::vector<THttpAuthScheme> schemes;
  for (const std::string& challenge : challenges) {
    std::string name;
    for (char c : challenge) {
      if (c == ' ' || c == ',') break;
      name.push_back(static_cast<char>(std::tolower(static_cast<unsigned char>(c))));
    }
    for (const auto& [known, scheme] : kNames)
      if (name == known) schemes.push_back(scheme);
  }
  return schemes;
}

std::unique_ptr<IHttpClient> CreateSocketHttpClient(THttpTarget target,
                                                    std::function<std::unique_ptr<IByteStream>()> newStream,
                                                    TSocketHttpOptions options) {
  return std::make_unique<TSocketHttpClient>(std::move(target), std::move(newStream), options);
}

}  // namespace ruvex
