// TLS through Schannel (the security support provider interface) over any
// byte stream.
#define SECURITY_WIN32
#include <windows.h>
#include <wincrypt.h>
#include <schannel.h>
#include <security.h>
#include <sspi.h>

#include <algorithm>
#include <string>

#include "common/win/WinText_win.h"
#include "reporter/delivery/transport/TlsStream.h"

namespace ruvex {
namespace {

using TClock = std::chrono::steady_clock;

constexpr std::size_t kMaxPendingBytes = 1 << 20;  // a handshake or record never needs more
constexpr DWORD kRequestFlags = ISC_REQ_SEQUENCE_DETECT | ISC_REQ_REPLAY_DETECT | ISC_REQ_CONFIDENTIALITY |
                                ISC_REQ_ALLOCATE_MEMORY | ISC_REQ_EXTENDED_ERROR | ISC_REQ_STREAM |
                                ISC_REQ_MANUAL_CRED_VALIDATION;

TMilliseconds Left(TClock::time_point deadline) {
  return std::max(TMilliseconds(0), std::chrono::duration_cast<TMilliseconds>(deadline - TClock::now()));
}

// An output token Schannel allocated, freed however the step ends.
class TContextBuffer {
 public:
  TContextBuffer() { buffer_ = {0, SECBUFFER_TOKEN, nullptr}; }
  ~TContextBuffer() {
    if (buffer_.pvBuffer) ::FreeContextBuffer(buffer_.pvBuffer);
  }
  TContextBuffer(const TContextBuffer&) = delete;
  TContextBuffer& operator=(const TContextBuffer&) = delete;
  SecBuffer* Get() { return &buffer_; }
  std::string_view Bytes() const {
    return buffer_.pvBuffer ? std::string_view(static_cast<const char*>(buffer_.pvBuffer), buffer_.cbBuffer)
                            : std::string_view();
  }

 private:
  SecBuffer buffer_;
};

// The server's certificate chains to a trusted root and names the server.
bool ServerCertificateValid(CtxtHandle& context, const std::u16string& serverName) {
  PCCERT_CONTEXT remote = nullptr;
  if (::QueryContextAttributesW(&context, SECPKG_ATTR_REMOTE_CERT_CONTEXT, &remote) != SEC_E_OK || !remote)
    return false;
  char serverAuth[] = szOID_PKIX_KP_SERVER_AUTH;
  LPSTR usages[] = {serverAuth};
  CERT_CHAIN_PARA chainPara{};
  chainPara.cbSize = sizeof chainPara;
  chainPara.RequestedUsage.dwType = USAGE_MATCH_TYPE_OR;
  chainPara.RequestedUsage.Usage.cUsageIdentifier = 1;
  chainPara.RequestedUsage.Usage.rgpszUsageIdentifier = usages;
  PCCERT_CHAIN_CONTEXT chain = nullptr;
  bool valid = false;
  if (::CertGetCertificateChain(nullptr, remote, nullptr, remote->hCertStore, &chainPara, 0, nullptr, &chain)) {
    std::wstring name(kelvane::Wide(serverName));
    SSL_EXTRA_CERT_CHAIN_POLICY_PARA ssl{};
    ssl.cbSize = sizeof ssl;
    ssl.dwAuthType = AUTHTYPE_SERVER;
    ssl.pwszServerName = name.data();
    CERT_CHAIN_POLICY_PARA policy{};
    policy.cbSize = sizeof policy;
    policy.pvExtraPolicyPara = &ssl;
    CERT_CHAIN_POLICY_STATUS status{};
    status.cbSize = sizeof status;
    // Wine's SSL policy passes a chain to an unknown root; the chain's own
    // status says so on every system. Revocation is not asked for.
    const DWORD chainErrors = chain->TrustStatus.dwErrorStatus &
                              ~static_cast<DWORD>(CERT_TRUST_REVOCATION_STATUS_UNKNOWN | CERT_TRUST_IS_OFFLINE_REVOCATION);
    valid = chainErrors == CERT_TRUST_NO_ERROR &&
            ::CertVerifyCertificateChainPolicy(CERT_CHAIN_POLICY_SSL, chain, &policy, &status) && status.dwError == 0;
    ::CertFreeCertificateChain(chain);
  }
  ::CertFreeCertificateContext(remote);
  return valid;
}

class TSchannelStream final : public IByteStream {
 public:
  TSchannelStream(std::unique_ptr<IByteStream> inner, TTlsOptions options)
      : inner_(std::move(inner)), options_(options) {}
  ~TSchannelStream() override { Close(); }

  TConnectOutcome Connect(const std::string& host, std::uint16_t port, TMilliseconds timeout) override {
    Close();
    return inner_->Connect(host, port, timeout);
  }

  bool StartTls(const std::u16string& serverName, TMilliseconds timeout) override {
    if (tlsUp_ || credsValid_ || tlsFailed_) return false;
    const auto deadline = TClock::now() + timeout;
    serverName_ = serverName;
    // Whatever went wrong, the stream carries nothing more in clear.
    tlsFailed_ = true;
    if (!AcquireCredentials() || !Handshake(deadline, true)) {
      ReleaseSecurity();
      inner_->Close();
      return false;
    }
    if (::QueryContextAttributesW(&context_, SECPKG_ATTR_STREAM_SIZES, &sizes_) != SEC_E_OK ||
        sizes_.cbMaximumMessage == 0 ||
        (options_.checkCertificate && !ServerCertificateValid(context_, serverName_))) {
      ReleaseSecurity();
      inner_->Close();  // a refused server gets nothing more
      return false;
    }
    tlsUp_ = true;
    tlsFailed_ = false;
    return true;
  }

  bool Send(std::string_view bytes, TMilliseconds timeout) override {
    if (!tlsUp_) return !tlsFailed_ && inner_->Send(bytes, timeout);
    const auto deadline = TClock::now() + timeout;
    while (!bytes.empty()) {
      const std::size_t piece = std::min<std::size_t>(bytes.size(), sizes_.cbMaximumMessage);
      std::string record(sizes_.cbHeader + piece + sizes_.cbTrailer, '\0');
      std::copy_n(bytes.data(), piece, record.data() + sizes_.cbHeader);
      SecBuffer buffers[4] = {
          {sizes_.cbHeader, SECBUFFER_STREAM_HEADER, record.data()},
          {static_cast<unsigned long>(piece), SECBUFFER_DATA, record.data() + sizes_.cbHeader},
          {sizes_.cbTrailer, SECBUFFER_STREAM_TRAILER, record.data() + sizes_.cbHeader + piece},
          {0, SECBUFFER_EMPTY, nullptr}};
      SecBufferDesc desc{SECBUFFER_VERSION, 4, buffers};
      if (::EncryptMessage(&context_, 0, &desc, 0) != SEC_E_OK) return false;
      record.resize(buffers[0].cbBuffer + buffers[1].cbBuffer + buffers[2].cbBuffer);
      if (!inner_->Send(record, Left(deadline))) return false;
      bytes.remove_prefix(piece);
    }
    return true;
  }

  TReceiveStatus Receive(std::string& appendTo, std::size_t maxBytes, TMilliseconds timeout) override {
    if (!tlsUp_) return tlsFailed_ ? TReceiveStatus::rsError : inner_->Receive(appendTo, maxBytes, timeout);
    const auto deadline = TClock::now() + timeout;
    while (plain_.empty()) {
      if (peerClosed_) return TReceiveStatus::rsClosed;
      if (!pending_.empty() && !needMore_) {
        const TReceiveStatus status = DecryptPending(deadline);
        if (status != TReceiveStatus::rsData) return status;
        continue;
      }
      const TReceiveStatus status = ReceiveMore(deadline);
      if (status == TReceiveStatus::rsClosed)
        return pending_.empty() ? TReceiveStatus::rsClosed : TReceiveStatus::rsError;  // a record cut short
      if (status != TReceiveStatus::rsData) return status;
    }
    const std::size_t n = std::min(maxBytes, plain_.size());
    appendTo.append(plain_, 0, n);
    plain_.erase(0, n);
    return TReceiveStatus::rsData;
  }

  void Close() override {
    if (tlsUp_) SendCloseNotify();
    ReleaseSecurity();
    tlsUp_ = tlsFailed_ = peerClosed_ = needMore_ = false;
    pending_.clear();
    plain_.clear();
    inner_->Close();
  }

 private:
  bool AcquireCredentials() {
    SCHANNEL_CRED cred{};
    cred.dwVersion = SCHANNEL_CRED_VERSION;
    // The certificate is judged here, after the handshake, the same way on
    // every system.
    cred.dwFlags = SCH_CRED_NO_DEFAULT_CREDS | SCH_CRED_MANUAL_CRED_VALIDATION;
    TimeStamp expiry;
    credsValid_ = ::AcquireCredentialsHandleW(nullptr, const_cast<wchar_t*>(UNISP_NAME_W), SECPKG_CRED_OUTBOUND,
                                              nullptr, &cred, nullptr, nullptr, &creds_, &expiry) == SEC_E_OK;
    return credsValid_;
  }

  void ReleaseSecurity() {
    if (contextValid_) ::DeleteSecurityContext(&context_);
    if (credsValid_) ::FreeCredentialsHandle(&creds_);
    contextValid_ = credsValid_ = false;
  }

  TReceiveStatus ReceiveMore(TClock::time_point deadline) {
    if (pending_.size() > kMaxPendingBytes) return TReceiveStatus::rsError;
    const TReceiveStatus status = inner_->Receive(pending_, 16 * 1024 + 512, Left(deadline));
    if (status == TReceiveStatus::rsData) needMore_ = false;
    return status;
  }

  // The handshake loop; first: the opening call without a server token.
  bool Handshake(TClock::time_point deadline, bool first) {
    std::wstring target(kelvane::Wide(serverName_));
    if (first) {
      TContextBuffer out;
      SecBufferDesc outDesc{SECBUFFER_VERSION, 1, out.Get()};
      ULONG attributes = 0;
      TimeStamp expiry;
      const SECURITY_STATUS status = ::InitializeSecurityContextW(&creds_, nullptr, target.data(), kRequestFlags, 0,
                                                                  0, nullptr, 0, &context_, &outDesc, &attributes,
                                                                  &expiry);
      if (status != SEC_I_CONTINUE_NEEDED) return false;
      contextValid_ = true;
      if (!inner_->Send(out.Bytes(), Left(deadline))) return false;
      needMore_ = true;
    }
    for (;;) {
      if (pending_.empty() || needMore_) {
        if (ReceiveMore(deadline) != TReceiveStatus::rsData) return false;
      }
      SecBuffer in[2] = {{static_cast<unsigned long>(pending_.size()), SECBUFFER_TOKEN, pending_.data()},
                         {0, SECBUFFER_EMPTY, nullptr}};
      SecBufferDesc inDesc{SECBUFFER_VERSION, 2, in};
      TContextBuffer out;
      SecBufferDesc outDesc{SECBUFFER_VERSION, 1, out.Get()};
      ULONG attributes = 0;
      TimeStamp expiry;
      const SECURITY_STATUS status = ::InitializeSecurityContextW(&creds_, &context_, target.data(), kRequestFlags,
                                                                  0, 0, &inDesc, 0, nullptr, &outDesc, &attributes,
                                                                  &expiry);
      if (status == SEC_E_INCOMPLETE_MESSAGE) {
        needMore_ = true;
        continue;
      }
      // A token goes out even with a failure: it may be the alert that tells the server why.
      if (!out.Bytes().empty() && !inner_->Send(out.Bytes(), Left(deadline))) return false;
      KeepExtra(in[1]);
      if (status == SEC_E_OK) return true;
      if (status == SEC_I_CONTINUE_NEEDED || status == SEC_I_INCOMPLETE_CREDENTIALS) {
        needMore_ = pending_.empty();
        continue;
      }
      return false;
    }
  }

  // What the last call did not consume stays for the next one.
  void KeepExtra(const SecBuffer& extra) {
    if (extra.BufferType == SECBUFFER_EXTRA && extra.cbBuffer > 0 && extra.cbBuffer <= pending_.size())
      pending_.erase(0, pending_.size() - extra.cbBuffer);
    else
      pending_.clear();
  }

  TReceiveStatus DecryptPending(TClock::time_point deadline) {
    SecBuffer buffers[4] = {{static_cast<unsigned long>(pending_.size()), SECBUFFER_DATA, pending_.data()},
                            {0, SECBUFFER_EMPTY, nullptr},
                            {0, SECBUFFER_EMPTY, nullptr},
                            {0, SECBUFFER_EMPTY, nullptr}};
    SecBufferDesc desc{SECBUFFER_VERSION, 4, buffers};
    const SECURITY_STATUS status = ::DecryptMessage(&context_, &desc, 0, nullptr);
    if (status == SEC_E_INCOMPLETE_MESSAGE) {
      needMore_ = true;
      return TReceiveStatus::rsData;
    }
    if (status == SEC_I_CONTEXT_EXPIRED) {
      peerClosed_ = true;
      pending_.clear();
      return TReceiveStatus::rsClosed;
    }
    if (status != SEC_E_OK && status != SEC_I_RENEGOTIATE) return TReceiveStatus::rsError;
    std::string extra;
    for (const SecBuffer& b : buffers) {
      if (b.BufferType == SECBUFFER_DATA && b.pvBuffer) plain_.append(static_cast<const char*>(b.pvBuffer), b.cbBuffer);
      if (b.BufferType == SECBUFFER_EXTRA && b.pvBuffer) extra.assign(static_cast<const char*>(b.pvBuffer), b.cbBuffer);
    }
    pending_ = std::move(extra);
    if (status == SEC_I_RENEGOTIATE) {
      // The server's handshake messages after the first (a new session
      // ticket, new keys) go through the handshake loop.
      needMore_ = pending_.empty();
      if (!Handshake(deadline, false)) return TReceiveStatus::rsError;
    }
    return TReceiveStatus::rsData;
  }

  void SendCloseNotify() {
    DWORD shutdown = SCHANNEL_SHUTDOWN;
    SecBuffer token{sizeof shutdown, SECBUFFER_TOKEN, &shutdown};
    SecBufferDesc tokenDesc{SECBUFFER_VERSION, 1, &token};
    if (::ApplyControlToken(&context_, &tokenDesc) != SEC_E_OK) return;
    std::wstring target(kelvane::Wide(serverName_));
    TContextBuffer out;
    SecBufferDesc outDesc{SECBUFFER_VERSION, 1, out.Get()};
    ULONG attributes = 0;
    TimeStamp expiry;
    const SECURITY_STATUS status = ::InitializeSecurityContextW(&creds_, &context_, target.data(), kRequestFlags, 0,
                                                                0, nullptr, 0, nullptr, &outDesc, &attributes, &expiry);
    if ((status == SEC_E_OK || status == SEC_I_CONTEXT_EXPIRED) && !out.Bytes().empty())
      inner_->Send(out.Bytes(), TMilliseconds(1000));
  }

  std::unique_ptr<IByteStream> inner_;
  TTlsOptions options_;
  std::u16string serverName_;
  CredHandle creds_{};
  CtxtHandle context_{};
  bool credsValid_ = false, contextValid_ = false;
  bool tlsUp_ = false;       // the handshake and the certificate check passed
  bool tlsFailed_ = false;   // a handshake was begun and did not pass
  bool peerClosed_ = false;  // the server ended the encrypted channel
  bool needMore_ = false;    // pending_ holds only part of a message
  SecPkgContext_StreamSizes sizes_{};
  std::string pending_;  // received, not yet decrypted or consumed
  std::string plain_;    // decrypted, not yet delivered
};

}  // namespace

std::unique_ptr<IByteStream> CreateTlsStream(std::unique_ptr<IByteStream> inner, TTlsOptions options) {
  return std::make_unique<TSchannelStream>(std::move(inner), options);
}

}  // namespace ruvex
