#pragma once
// The delivery channels as the program has them: SMTP through TSmtp over a
// socket with TLS, Simple MAPI and the mailto handler of the system unless
// others are given, the rest through the functions given (an unset one
// fails, silently, as a channel does).
#include <functional>

#include "reporter/delivery/reachability/Reachability.h"
#include "reporter/delivery/sending/DeliveryChannels.h"
#include "reporter/delivery/smtp/MailDelivery.h"

namespace ruvex {

struct TMailChannelParts {
  TSmtpModuleOptions smtpOptions;
  TMailServices mail;  // newStream unset: a TCP stream with TLS
  TReachabilityOptions reachability;            // AssumeOnline and the echo's limits
  std::function<bool()> loaderLockHeld;         // no connection test while it is held
  std::function<bool(bool mayDial)> reachable;  // unset: the system's check
  std::function<bool(const TUploadRequest&)> upload;
  std::function<TMapiResult(const TMailRequest&, bool silent, kelvane::TWindowHandle)> mapi;
  std::function<bool(const std::u16string&, const std::u16string&, const std::u16string&)> mailto;
  std::function<void(kelvane::TWindowHandle, const std::u16string&)> showFailure;
  std::function<void(kelvane::TWindowHandle)> makeNonTopmost;
  std::function<PProgressAlert(const std::u16string&)> createProgress;
};

class TMailChannels final : public IDeliveryChannels {
 public:
  explicit TMailChannels(TMailChannelParts parts);

  bool InternetReachable(bool mayDial) override;
  bool Upload(const TUploadRequest& request) override;
  bool SendSmtp(const TMailRequest& request, const TSmtpServer& server) override;
  TMapiResult SendMapi(const TMailRequest& request, bool silent, kelvane::TWindowHandle parent) override;
  bool SendMailto(const std::u16string& recipients, const std::u16string& subject,
                  const std::u16string& body) override;
  void ShowFailure(kelvane::TWindowHandle parent, const std::u16string& text) override;
  void MakeNonTopmost(kelvane::TWindowHandle window) override;
  PProgressAlert CreateProgress(const std::u16string& title) override;

 private:
  TMailChannelParts parts_;
};

}  // namespace ruvex
