#pragma once
// IDeliveryChannels for tests: every call is recorded in order as a short
// word, each channel answers as told, and the files a channel is handed are
// read while the call lasts (they are gone after the send).
#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "common/text/Utf.h"
#include "reporter/delivery/sending/DeliveryChannels.h"
#include "reporter/ui/RecordingProgressAlert.h"

namespace ruvex {

class TFakeDeliveryChannels final : public IDeliveryChannels {
 public:
  bool reachable = true, uploadOk = false, smtpOk = false, mailtoOk = false;
  TMapiResult mapi = TMapiResult::mrFailed;
  kelvane::IFileSystem* files = nullptr;  // to read what a channel is handed
  std::function<void()> duringMapi;       // runs inside the MAPI call

  struct THanded {
    std::u16string sendAs, field;
    std::string content;
  };
  std::vector<std::string> calls;     // "reach", "upload", "smtp", "smtp-mx", "mapi", "mailto", "fail"
  std::vector<THanded> handed;        // the files of the last channel with files
  std::vector<std::u16string> paths;  // their paths
  TMailRequest lastMail;
  TUploadRequest lastUpload;
  TSmtpServer lastServer;
  bool lastMapiSilent = false;
  std::u16string mailtoBody, failureText;
  std::vector<std::shared_ptr<TRecordingProgressAlert>> progresses;

  bool InternetReachable(bool) override {
    Record("reach");
    return reachable;
  }
  bool Upload(const TUploadRequest& request) override {
    Record("upload");
    lastUpload = request;
    Take(*request.attachments);
    return uploadOk;
  }
  bool SendSmtp(const TMailRequest& request, const TSmtpServer& server) override {
    Record(server.host.empty() ? "smtp-mx" : "smtp");
    lastMail = request;
    lastServer = server;
    Take(*request.attachments);
    return smtpOk;
  }
  TMapiResult SendMapi(const TMailRequest& request, bool silent, kelvane::TWindowHandle) override {
    Record("mapi");
    lastMail = request;
    lastMapiSilent = silent;
    Take(*request.attachments);
    if (duringMapi) duringMapi();
    return mapi;
  }
  bool SendMailto(const std::u16string&, const std::u16string&, const std::u16string& body) override {
    Record("mailto");
    mailtoBody = body;
    return mailtoOk;
  }
  void ShowFailure(kelvane::TWindowHandle, const std::u16string& text) override {
    Record("fail");
    failureText = text;
  }
  void MakeNonTopmost(kelvane::TWindowHandle) override {}
  PProgressAlert CreateProgress(const std::u16string& title) override {
    auto progress = std::make_shared<TRecordingProgressAlert>();
    progress->title = title;
    std::lock_guard<std::mutex> hold(lock_);
    progresses.push_back(progress);
    return progress;
  }

  // Forgets what was recorded; the answers stay.
  void ClearRecord() {
    std::lock_guard<std::mutex> hold(lock_);
    calls.clear();
    handed.clear();
    paths.clear();
    progresses.clear();
  }

  std::string Calls() {
    std::lock_guard<std::mutex> hold(lock_);
    std::string all;
    for (const auto& call : calls) all += (all.empty() ? "" : ",") + call;
    return all;
  }

 private:
  void Record(const char* call) {
    std::lock_guard<std::mutex> hold(lock_);
    calls.push_back(call);
  }
  void Take(const TPreparedAttachments& attachments) {
    std::lock_guard<std::mutex> hold(lock_);
    handed.clear();
    paths = attachments.paths;
    for (std::size_t i = 0; i < attachments.paths.size(); ++i) {
      const auto content = files ? kelvane::ReadWholeFile(*files, attachments.paths[i], 1u << 24) : std::nullopt;
      handed.push_back({attachments.sendAsNames[i], attachments.fieldNames[i], content.value_or("<missing>")});
    }
  }

  std::mutex lock_;
};

}  // namespace ruvex
