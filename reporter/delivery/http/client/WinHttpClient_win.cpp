#include "reporter/delivery/http/client/WinHttpClient.h"

#include <winsock2.h>
#include <windows.h>
#include <winhttp.h>

#include "common/text/Utf.h"
#include "common/win/WinHandle_win.h"
#include "common/win/WinText_win.h"

namespace ruvex {
namespace {

// The entry points, looked up once per process; the library stays loaded.
struct TWinHttpApi {
  decltype(&::WinHttpOpen) Open = nullptr;
  decltype(&::WinHttpConnect) Connect = nullptr;
  decltype(&::WinHttpOpenRequest) OpenRequest = nullptr;
  decltype(&::WinHttpAddRequestHeaders) AddRequestHeaders = nullptr;
  decltype(&::WinHttpSendRequest) SendRequest = nullptr;
  decltype(&::WinHttpSetOption) SetOption = nullptr;
  decltype(&::WinHttpSetTimeouts) SetTimeouts = nullptr;
  decltype(&::WinHttpWriteData) WriteData = nullptr;
  decltype(&::WinHttpReceiveResponse) ReceiveResponse = nullptr;
  decltype(&::WinHttpQueryHeaders) QueryHeaders = nullptr;
  decltype(&::WinHttpQueryAuthSchemes) QueryAuthSchemes = nullptr;
  decltype(&::WinHttpSetCredentials) SetCredentials = nullptr;
  decltype(&::WinHttpQueryDataAvailable) QueryDataAvailable = nullptr;
  decltype(&::WinHttpReadData) ReadData = nullptr;
  decltype(&::WinHttpCloseHandle) CloseHandle = nullptr;
  // Proxy detection is optional: without it only a configured proxy is used.
  decltype(&::WinHttpGetIEProxyConfigForCurrentUser) GetIEProxyConfig = nullptr;
  decltype(&::WinHttpGetProxyForUrl) GetProxyForUrl = nullptr;
  kelvane::TLibrary library;
  bool complete = false;

  TWinHttpApi() : library(LoadLibraryW(L"winhttp.dll")) {
    if (!library) return;
    complete = Load(Open, "WinHttpOpen") && Load(Connect, "WinHttpConnect") &&
               Load(OpenRequest, "WinHttpOpenRequest") && Load(AddRequestHeaders, "WinHttpAddRequestHeaders") &&
               Load(SendRequest, "WinHttpSendRequest") && Load(SetOption, "WinHttpSetOption") &&
               Load(SetTimeouts, "WinHttpSetTimeouts") &&
               Load(WriteData, "WinHttpWriteData") && Load(ReceiveResponse, "WinHttpReceiveResponse") &&
               Load(QueryHeaders, "WinHttpQueryHeaders") && Load(QueryAuthSchemes, "WinHttpQueryAuthSchemes") &&
               Load(SetCredentials, "WinHttpSetCredentials") &&
               Load(QueryDataAvailable, "WinHttpQueryDataAvailable") && Load(ReadData, "WinHttpReadData") &&
               Load(CloseHandle, "WinHttpCloseHandle");
    Load(GetIEProxyConfig, "WinHttpGetIEProxyConfigForCurrentUser");
    Load(GetProxyForUrl, "WinHttpGetProxyForUrl");
  }

  template <typename F>
  bool Load(F& function, const char* name) {
    function = reinterpret_cast<F>(reinterpret_cast<void*>(GetProcAddress(library.Get(), name)));
    return function != nullptr;
  }
};

const TWinHttpApi& Api() {
  static const TWinHttpApi api;
  return api;
}

class TInternetHandle {
 public:
  TInternetHandle() = default;
  explicit TInternetHandle(HINTERNET handle) : handle_(handle) {}
  ~TInternetHandle() { Reset(); }
  TInternetHandle(const TInternetHandle&) = delete;
  TInternetHandle& operator=(const TInternetHandle&) = delete;
  void Reset(HINTERNET handle = nullptr) {
    if (handle_) Api().CloseHandle(handle_);
    handle_ = handle;
  }
  HINTERNET Get() const { return handle_; }
  explicit operator bool() const { return handle_ != nullptr; }

 private:
  HINTERNET handle_ = nullptr;
};

// Request lines are bytes; each byte stands for the character of that code.
std::u16string Widen(std::string_view bytes) {
  std::u16string wide;
  for (unsigned char c : bytes) wide.push_back(c);
  return wide;
}

std::u16string ErrorText(DWORD code) {
  wchar_t* buffer = nullptr;
  const DWORD flags = FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS |
                      FORMAT_MESSAGE_FROM_HMODULE;
  const DWORD length = FormatMessageW(flags, Api().library.Get(), code, 0, reinterpret_cast<wchar_t*>(&buffer), 0,
                                      nullptr);
  std::u16string text = length ? kelvane::FromWide(buffer, length) : u"error " + Widen(std::to_string(code));
  if (buffer) LocalFree(buffer);
  while (!text.empty() && text.back() <= u' ') text.pop_back();
  return text;
}

THttpReply LastFailure() {
  THttpReply reply;
  reply.errorNo = GetLastError();
  // Some implementations of the library pass the socket's own time-out on.
  if (reply.errorNo == WSAETIMEDOUT) reply.errorNo = ERROR_WINHTTP_TIMEOUT;
  reply.errorText = ErrorText(reply.errorNo);
  return reply;
}

DWORD SchemeFlag(THttpAuthScheme scheme) {
  switch (scheme) {
    case THttpAuthScheme::asNegotiate: return WINHTTP_AUTH_SCHEME_NEGOTIATE;
    case THttpAuthScheme::asNtlm: return WINHTTP_AUTH_SCHEME_NTLM;
    case THttpAuthScheme::asPassport: return WINHTTP_AUTH_SCHEME_PASSPORT;
    case THttpAuthScheme::asDigest: return WINHTTP_AUTH_SCHEME_DIGEST;
    case THttpAuthScheme::asBasic: return WINHTTP_AUTH_SCHEME_BASIC;
  }
  return WINHTTP_AUTH_SCHEME_BASIC;
}

std::vector<THttpAuthScheme> SchemesOf(DWORD supported) {
  std::vector<THttpAuthScheme> schemes;
  for (THttpAuthScheme scheme : {THttpAuthScheme::asNegotiate, THttpAuthScheme::asNtlm, THttpAuthScheme::asPassport,
                                 THttpAuthScheme::asDigest, THttpAuthScheme::asBasic})
    if (supported & SchemeFlag(scheme)) schemes.push_back(scheme);
  return schemes;
}

class TWinHttpClient final : public IHttpClient {
 public:
  TWinHttpClient(THttpTarget target, TWinHttpOptions options)
      : target_(std::move(target)), options_(std::move(options)) {}

  THttpReply Exchange(const THttpRequest& request, const TBodyProgress& progress) override {
    if (!Connect()) return LastFailure();
    TInternetHandle handle(Api().OpenRequest(connection_.Get(), kelvane::Wide(Widen(request.verb)),
                                             kelvane::Wide(Widen(RequestPath(request.path))), nullptr,
                                             WINHTTP_NO_REFERER, WINHTTP_DEFAULT_ACCEPT_TYPES,
                                             target_.secure ? WINHTTP_FLAG_SECURE : 0));
    if (!handle || !Prepare(handle.Get(), request)) return LastFailure();
    return Transmit(handle.Get(), request, progress);
  }

 private:
  bool Connect() {
    if (!session_) {
      // A configured proxy belongs to the session as well: some versions of
      // the library take it only there and would otherwise connect directly.
      const std::u16string proxy = Widen(options_.proxyServer), bypass = Widen(options_.proxyBypass);
      session_.Reset(proxy.empty() ? Api().Open(L"RuvexExcept/4.0", WINHTTP_ACCESS_TYPE_DEFAULT_PROXY,
                                                WINHTTP_NO_PROXY_NAME, WINHTTP_NO_PROXY_BYPASS, 0)
                                   : Api().Open(L"RuvexExcept/4.0", WINHTTP_ACCESS_TYPE_NAMED_PROXY, kelvane::Wide(proxy),
                                                kelvane::WideOrNull(bypass), 0));
    }
    if (session_ && !timeoutsSet_) {
      // The library waits for a name lookup without end by default.
      const int limit = options_.timeoutMilliseconds;
      if (!Api().SetTimeouts(session_.Get(), limit, limit, limit, limit)) return false;
      timeoutsSet_ = true;
    }
    if (session_ && !connection_)
      connection_.Reset(Api().Connect(session_.Get(), kelvane::Wide(Widen(target_.host)), target_.port, 0));
    return static_cast<bool>(connection_);
  }

  bool Prepare(HINTERNET handle, const THttpRequest& request) {
    // The session's receive limit covers each read of the body; the wait
    // for the answer's headers has a limit of its own (90 s by default).
    DWORD answerLimit = static_cast<DWORD>(options_.timeoutMilliseconds);
    if (!Api().SetOption(handle, WINHTTP_OPTION_RECEIVE_RESPONSE_TIMEOUT, &answerLimit, sizeof answerLimit))
      return false;
    if (!options_.strictCerts) {
      DWORD flags = SECURITY_FLAG_IGNORE_UNKNOWN_CA | SECURITY_FLAG_IGNORE_CERT_DATE_INVALID |
                    SECURITY_FLAG_IGNORE_CERT_CN_INVALID;
      if (!Api().SetOption(handle, WINHTTP_OPTION_SECURITY_FLAGS, &flags, sizeof flags)) return false;
    }
    if (!options_.followRedirects) {
      DWORD feature = WINHTTP_DISABLE_REDIRECTS;
      if (!Api().SetOption(handle, WINHTTP_OPTION_DISABLE_FEATURE, &feature, sizeof feature)) return false;
    }
    if (!options_.proxyServer.empty() && proxyName_.empty()) {
      proxyName_ = Widen(options_.proxyServer);
      proxyBypass_ = Widen(options_.proxyBypass);
    }
    if (!proxyName_.empty() && !SetProxy(handle)) return false;
    if (request.server && !SetCredentials(handle, WINHTTP_AUTH_TARGET_SERVER, *request.server)) return false;
    if (request.proxy && !SetCredentials(handle, WINHTTP_AUTH_TARGET_PROXY, *request.proxy)) return false;
    std::string lines;
    for (const std::string& line : request.headerLines) {
      if (line.find_first_of("\r\n") != std::string::npos) {
        SetLastError(ERROR_WINHTTP_INVALID_HEADER);
        return false;
      }
      lines += line + "\r\n";
    }
    return lines.empty() || Api().AddRequestHeaders(handle, kelvane::Wide(Widen(lines)), static_cast<DWORD>(-1),
                                                    WINHTTP_ADDREQ_FLAG_ADD);
  }

  bool SetProxy(HINTERNET handle) {
    WINHTTP_PROXY_INFO info{WINHTTP_ACCESS_TYPE_NAMED_PROXY, const_cast<wchar_t*>(kelvane::Wide(proxyName_)),
                            const_cast<wchar_t*>(kelvane::WideOrNull(proxyBypass_))};
    return Api().SetOption(handle, WINHTTP_OPTION_PROXY, &info, sizeof info);
  }

  static std::u16string TakeGlobalText(LPWSTR text) {
    if (!text) return {};
    std::u16string copy = kelvane::FromWide(text);
    GlobalFree(text);
    return copy;
  }

  // The browser's proxy setting, else automatic detection (DHCP, DNS and a
  // configuration script); true when a proxy resulted.
  bool DetectProxy() {
    if (!Api().GetIEProxyConfig || !Api().GetProxyForUrl) return false;
    WINHTTP_CURRENT_USER_IE_PROXY_CONFIG browser{};
    std::u16string scriptUrl;
    if (Api().GetIEProxyConfig(&browser)) {
      proxyName_ = TakeGlobalText(browser.lpszProxy);
      proxyBypass_ = TakeGlobalText(browser.lpszProxyBypass);
      scriptUrl = TakeGlobalText(browser.lpszAutoConfigUrl);
      if (!proxyName_.empty()) return true;
    }
    WINHTTP_AUTOPROXY_OPTIONS automatic{};
    automatic.dwFlags = WINHTTP_AUTOPROXY_AUTO_DETECT | (scriptUrl.empty() ? 0 : WINHTTP_AUTOPROXY_CONFIG_URL);
    automatic.dwAutoDetectFlags = WINHTTP_AUTO_DETECT_TYPE_DHCP | WINHTTP_AUTO_DETECT_TYPE_DNS_A;
    automatic.lpszAutoConfigUrl = kelvane::WideOrNull(scriptUrl);
    automatic.fAutoLogonIfChallenged = TRUE;
    const std::u16string url = Widen((target_.secure ? "https://" : "http://") + target_.host + "/");
    WINHTTP_PROXY_INFO found{};
    if (!Api().GetProxyForUrl(session_.Get(), kelvane::Wide(url), &automatic, &found)) return false;
    proxyName_ = TakeGlobalText(found.lpszProxy);
    proxyBypass_ = TakeGlobalText(found.lpszProxyBypass);
    return !proxyName_.empty();
  }

  static bool SetCredentials(HINTERNET handle, DWORD target, const THttpCredentials& credentials) {
    return Api().SetCredentials(handle, target, SchemeFlag(credentials.scheme), kelvane::Wide(credentials.user),
                                kelvane::Wide(credentials.password), nullptr);
  }

  THttpReply Transmit(HINTERNET handle, const THttpRequest& request, const TBodyProgress& progress) {
    const std::uint64_t length = request.body ? request.body->Length() : 0;
    if (length > 0xFFFFFFFFull) {
      SetLastError(ERROR_INVALID_PARAMETER);
      return LastFailure();
    }
    const auto send = [&] {
      return Api().SendRequest(handle, WINHTTP_NO_ADDITIONAL_HEADERS, 0, WINHTTP_NO_REQUEST_DATA, 0,
                               static_cast<DWORD>(length), 0);
    };
    if (!send()) {
      // Without a configured proxy one may stand in the way: look for it once.
      const DWORD error = GetLastError();
      const bool mayDetect = error != ERROR_WINHTTP_SECURE_FAILURE && !proxyDone_ && options_.proxyServer.empty();
      if (mayDetect) proxyDone_ = true;
      if (!mayDetect || !DetectProxy() || !SetProxy(handle) || !send()) {
        SetLastError(error);
        return LastFailure();
      }
    }
    const auto write = [handle](std::string_view bytes) {
      DWORD written = 0;
      return Api().WriteData(handle, bytes.data(), static_cast<DWORD>(bytes.size()), &written) &&
             written == bytes.size();
    };
    if (request.body && !StreamBody(*request.body, write, progress)) return LastFailure();
    if (!Api().ReceiveResponse(handle, nullptr)) return LastFailure();
    return ReadAnswer(handle);
  }

  THttpReply ReadAnswer(HINTERNET handle) {
    THttpReply reply;
    DWORD status = 0, size = sizeof status;
    if (!Api().QueryHeaders(handle, WINHTTP_QUERY_STATUS_CODE | WINHTTP_QUERY_FLAG_NUMBER,
                            WINHTTP_HEADER_NAME_BY_INDEX, &status, &size, WINHTTP_NO_HEADER_INDEX))
      return LastFailure();
    reply.answered = true;
    reply.status = static_cast<int>(status);
    reply.location = QueryLocation(handle);
    if (status == 401 || status == 407) {
      DWORD supported = 0, first = 0, target = 0;
      if (Api().QueryAuthSchemes(handle, &supported, &first, &target))
        (target == WINHTTP_AUTH_TARGET_PROXY ? reply.proxySchemes : reply.serverSchemes) = SchemesOf(supported);
    }
    for (;;) {
      DWORD available = 0;
      if (!Api().QueryDataAvailable(handle, &available) || available == 0) break;
      if (reply.body.size() + available > options_.maxAnswerBytes) break;
      const std::size_t at = reply.body.size();
      reply.body.resize(at + available);
      DWORD read = 0;
      if (!Api().ReadData(handle, reply.body.data() + at, available, &read)) read = 0;
      reply.body.resize(at + read);
      if (read == 0) break;
    }
    return reply;
  }

  static std::string QueryLocation(HINTERNET handle) {
    DWORD size = 0;
    Api().QueryHeaders(handle, WINHTTP_QUERY_LOCATION, WINHTTP_HEADER_NAME_BY_INDEX, WINHTTP_NO_OUTPUT_BUFFER, &size,
                       WINHTTP_NO_HEADER_INDEX);
    if (size == 0) return {};
    std::u16string value(size / sizeof(char16_t) + 1, u'\0');
    if (!Api().QueryHeaders(handle, WINHTTP_QUERY_LOCATION, WINHTTP_HEADER_NAME_BY_INDEX, value.data(), &size,
                            WINHTTP_NO_HEADER_INDEX))
      return {};
    value.resize(size / sizeof(char16_t));
    return kelvane::Utf16ToUtf8(value);
  }

  THttpTarget target_;
  TWinHttpOptions options_;
  TInternetHandle session_, connection_;
  bool timeoutsSet_ = false;
  std::u16string proxyName_, proxyBypass_;  // configured or detected; kept alive for the option
  bool proxyDone_ = false;
};

}  // namespace

std::unique_ptr<IHttpClient> CreateWinHttpClient(THttpTarget target, TWinHttpOptions options) {
  if (!Api().complete) return nullptr;
  return std::make_unique<TWinHttpClient>(std::move(target), std::move(options));
}

}  // namespace ruvex
