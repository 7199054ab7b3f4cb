#include "reporter/delivery/sending/DeliverBugReport.h"

#include <atomic>

#include "common/text/Windows1252.h"
#include "reporter/core/flow/Exception.h"
#include "reporter/core/reportfile/ReportFileSettings.h"

namespace ruvex {
namespace {

std::atomic<std::uint32_t> sendCounter{0};

TSendEnvironment EnvironmentOf(const std::shared_ptr<TIRESettings>& settings, const std::u16string& bugReport,
                               TSendServices& services) {
  TSendEnvironment env;
  env.files = services.files ? services.files : &kelvane::DefaultFileSystem();
  env.sendFolder = services.tempFolder + NewSendFolderName(services.tickCount()) + u"\\";
  env.files->CreateFolders(env.sendFolder.substr(0, env.sendFolder.size() - 1));
  env.reportFile = ReportFileContextOf(*settings);
  env.reportFileOptions = ReportFileOptionsOf(*settings);
  env.expand = ReportFileSaveOf(*settings, bugReport).expand;
  env.tickCount = services.tickCount;
  // The shared pointer keeps the exception alive while a background send
  // still changes its states.
  if (auto* exception = dynamic_cast<IREExceptionEx*>(settings.get())) {
    env.getMailWasSaved = [settings, exception] { return exception->GetMailWasSaved(); };
    env.setMailWasSaved = [settings, exception](bool value) { exception->SetMailWasSaved(value); };
    env.setMailWasSent = [settings, exception](bool value) { exception->SetMailWasSent(value); };
  }
  return env;
}

}  // namespace

std::u16string NewSendFolderName(std::uint64_t tickCount) {
  const std::uint32_t number = ++sendCounter;
  return kelvane::DecodeWindows1252("send" + std::to_string(number) + "-" + std::to_string(tickCount));
}

TDeliveryResult DeliverBugReport(const std::u16string& bugReport, std::shared_ptr<INVBitmap> screenShot,
                                 kelvane::TWindowHandle parent, bool inBackground,
                                 std::shared_ptr<TIRESettings> settings, bool mayUseThread, bool silent,
                                 TSendServices& services) {
  if (bugReport.empty() || !settings || !services.channels || services.tempFolder.empty())
    return TDeliveryResult::drNotSent;
  // Read on the calling thread: the settings are the caller's.
  const TSendConfig config = ReadSendConfig(*settings, bugReport);
  TSendEnvironment env = EnvironmentOf(settings, bugReport, services);
  TSendRequest request{bugReport, std::move(screenShot), parent, inBackground, silent};

  if (mayUseThread && !inBackground && services.background && !services.loaderLockHeld()) {
    services.channels->MakeNonTopmost(parent);
    TSendRequest background = request;
    background.parent = {};
    background.inBackground = true;
    IDeliveryChannels* channels = services.channels;
    if (services.background->Start([background, config, env, channels]() mutable {
          SendBugReportNow(background, config, env, *channels);
        }))
      return TDeliveryResult::drStartedInBackground;
  }
  return SendBugReportNow(request, config, env, *services.channels);
}

}  // namespace ruvex
