#include "reporter/core/flow/Exception.h"

#include <algorithm>
#include <chrono>
#include <cstring>

#include "common/text/Windows1252.h"
#include "reporter/core/report/ReportText.h"

namespace ruvex {

std::u16string ShownExceptClass(TExceptType type, const std::vector<std::u16string>& classChain) {
  if (type == etFrozen) return u"EFrozen";
  return classChain.empty() ? u"Unknown" : classChain.front();
}

std::u16string ShownExceptMessage(std::u16string_view message) {
  std::u16string shown(message);
  while (!shown.empty() && (shown.back() == u'.' || shown.back() == u'!')) shown.pop_back();
  shown.push_back(u'.');
  return shown;
}

bool IsAbortException(const std::vector<std::u16string>& classChain) {
  return std::any_of(classChain.begin(), classChain.end(),
                     [](const std::u16string& cls) { return kelvane::EqualsIgnoreCase(cls, u"EAbort"); });
}

TIREException::TIREException(TSettingsEnvironment& environment, std::shared_ptr<TIRESettings> moduleSettings,
                             TExceptionData data, TFlowServices& services)
    : TIRESettings(environment, moduleSettings ? moduleSettings->Module() : ModuleHandle{}),
      FModuleSettings(std::move(moduleSettings)),
      services_(services),
      data_(std::move(data)),
      FCanContinue(data_.canContinue),
      FExceptMessage(data_.message) {
  header_->SetOnChange([this] { ReportChanged(); });
  sections_->SetOnChange([this] { ReportChanged(); });
}

TIREException::~TIREException() {
  abort_ = true;
  // A handler on the completion thread may drop the last reference: that
  // thread cannot wait for itself, and ends on its own right after.
  if (completion_.joinable()) {
    if (completion_.get_id() == std::this_thread::get_id())
      completion_.detach();
    else
      completion_.join();
  }
  // The lists may be held longer by the box or a handler.
  header_->ClearExcParent();
  sections_->ClearExcParent();
}

std::optional<TREProperty> TIREException::LookupProp(const char* name) const {
  {
    std::lock_guard<std::mutex> hold(FSection);
    for (const auto& p : FSettingsBuf)
      if (p.name == name) return p;
  }
  if (FModuleSettings) return static_cast<const IRESettingsEx&>(*FModuleSettings).LookupProp(name);
  return TIRESettings::LookupProp(name);
}

bool TIREException::WritePrivate(const char* name, TPropertyType type,
                                 const std::function<void(TREProperty&)>& fill) {
  std::lock_guard<std::mutex> hold(FSection);
  auto it = std::find_if(FSettingsBuf.begin(), FSettingsBuf.end(), [&](const TREProperty& p) { return p.name == name; });
  if (it == FSettingsBuf.end()) {
    TREProperty added;
    added.name = name;
    FSettingsBuf.push_back(std::move(added));
    it = FSettingsBuf.end() - 1;
  }
  it->typ = type;
  fill(*it);
  return true;
}

bool TIREException::SetPropBool(const char* name, bool value) {
  return WritePrivate(name, ptBoolean, [value](TREProperty& p) { p.vBool = value; });
}

bool TIREException::SetPropInt(const char* name, std::int32_t value) {
  return WritePrivate(name, ptInteger, [value](TREProperty& p) { p.vInt = value; });
}

bool TIREException::SetPropDw(const char* name, std::uint32_t value) {
  return SetPropInt(name, static_cast<std::int32_t>(value));
}

bool TIREException::SetPropStr(const char* name, const std::u16string& value) {
  auto text = value.empty() ? nullptr : std::make_shared<const std::u16string>(value);
  return WritePrivate(name, ptString, [&text](TREProperty& p) { p.vStr = text; });
}

#define RE_GUARDED_GET(type, method, field) \
  type TIREException::method() const {      \
    std::lock_guard<std::mutex> hold(FSection); \
    return field;                           \
  }
#define RE_GUARDED_SET(type, method, field)  \
  void TIREException::method(type value) {   \
    std::lock_guard<std::mutex> hold(FSection); \
    field = value;                           \
  }
RE_GUARDED_GET(TExceptPhase, GetPhase, FPhase)
RE_GUARDED_SET(TExceptPhase, SetPhase, FPhase)
RE_GUARDED_GET(bool, GetCanContinue, FCanContinue)
RE_GUARDED_SET(bool, SetCanContinue, FCanContinue)
RE_GUARDED_GET(std::shared_ptr<INVBitmap>, GetScreenShot, FScreenShot)
RE_GUARDED_GET(bool, GetCreateBugReport, FCreateBugReport)
RE_GUARDED_SET(bool, SetCreateBugReport, FCreateBugReport)
RE_GUARDED_GET(bool, GetCreateScreenShot, FCreateScreenShot)
RE_GUARDED_SET(bool, SetCreateScreenShot, FCreateScreenShot)
RE_GUARDED_GET(bool, GetCallHandlers, FCallHandlers)
RE_GUARDED_SET(bool, SetCallHandlers, FCallHandlers)
RE_GUARDED_GET(bool, GetAppendScreenShot, FAppendScreenShot)
RE_GUARDED_SET(bool, SetAppendScreenShot, FAppendScreenShot)
RE_GUARDED_GET(TREShowSetting, GetShowSetting, FShowSetting)
RE_GUARDED_SET(TREShowSetting, SetShowSetting, FShowSetting)
RE_GUARDED_GET(std::u16string, GetShowAssistant, FShowAssis)
RE_GUARDED_GET(bool, GetMailWasSent, FMailWasSent)
RE_GUARDED_SET(bool, SetMailWasSent, FMailWasSent)
RE_GUARDED_GET(bool, GetMailWasSaved, FMailWasSaved)
RE_GUARDED_SET(bool, SetMailWasSaved, FMailWasSaved)
RE_GUARDED_GET(bool, IsComplete, FComplete)
#undef RE_GUARDED_GET
#undef RE_GUARDED_SET

void TIREException::SetScreenShot(std::shared_ptr<INVBitmap> value) {
  std::lock_guard<std::mutex> hold(FSection);
  FScreenShot = std::move(value);
}

void TIREException::SetShowAssistant(std::u16string_view value) {
  std::lock_guard<std::mutex> hold(FSection);
  FShowAssis = value;
}

std::u16string TIREException::GetExceptClass() const { return ShownExceptClass(data_.type, data_.classChain); }

std::u16string TIREException::GetExceptMessage() const {
  if (data_.type == etFrozen) return GetPropStr("FrozenMsg");
  std::lock_guard<std::mutex> hold(FSection);
  return ShownExceptMessage(FExceptMessage);
}

void TIREException::SetExceptMessage(std::u16string_view value) {
  std::lock_guard<std::mutex> hold(FSection);
  FExceptMessage = value;
}

bool TIREException::FirstCompleteCallback() {
  std::lock_guard<std::mutex> hold(FSection);
  return ++FFirstCompleteCallback == 0;
}

bool TIREException::FirstAutoSave() {
  std::lock_guard<std::mutex> hold(FSection);
  return ++FFirstAutoSave == 0;
}

void TIREException::FireHandlers(TExceptPhase phase, bool& handled) {
  SetPhase(phase);
  services_.firing.FireExceptionHandlers(*this, handled);
}

std::u16string TIREException::RenderReport() {
  // Header first, then sections: one order for every rendering.
  const TReportItems header = header_->Items();
  return RenderBugReport(header, sections_->Items());
}

std::u16string TIREException::GetBugReport(bool mustBeComplete, int timeoutMs) {
  if (mustBeComplete) WaitComplete(timeoutMs);
  std::uint64_t changesBefore;
  {
    std::lock_guard<std::mutex> hold(FSection);
    if (cacheValid_) return FBugReport;
    changesBefore = FChangeCount;
  }
  std::u16string text = RenderReport();
  std::lock_guard<std::mutex> hold(FSection);
  // A change during the rendering may be missing from this text.
  if (FChangeCount == changesBefore) {
    FBugReport = text;
    cacheValid_ = true;
  }
  return text;
}

std::uint64_t TIREException::ChangeCount() const {
  std::lock_guard<std::mutex> hold(FSection);
  return FChangeCount;
}

bool TIREException::StartCompletionThread(std::function<void()> work) {
  std::lock_guard<std::mutex> hold(FSection);
  if (completion_.joinable()) return false;
  completion_ = std::thread(std::move(work));
  return true;
}

void TIREException::SetBugReport(std::u16string_view value) {
  std::lock_guard<std::mutex> hold(FSection);
  FBugReport = value;
  cacheValid_ = true;
}

bool TIREException::WaitComplete(int timeoutMs) const {
  std::unique_lock<std::mutex> hold(FSection);
  auto complete = [this] { return completeDelivered_; };
  if (timeoutMs < 0) {
    completeChanged_.wait(hold, complete);
    return true;
  }
  return completeChanged_.wait_for(hold, std::chrono::milliseconds(timeoutMs), complete);
}

void TIREException::MarkComplete() {
  {
    std::lock_guard<std::mutex> hold(FSection);
    FComplete = true;
    cacheValid_ = false;
    ++FChangeCount;
  }
  NotifyCallbacks();
  // Waiters go on only after the callbacks saw the complete report, so the
  // automatic send has happened before the flow asks whether it did.
  {
    std::lock_guard<std::mutex> hold(FSection);
    completeDelivered_ = true;
  }
  completeChanged_.notify_all();
}

void TIREException::ReportChanged() {
  {
    std::lock_guard<std::mutex> hold(FSection);
    cacheValid_ = false;
    ++FChangeCount;
  }
  NotifyCallbacks();
}

void TIREException::NotifyCallbacks() {
  std::vector<TCallbackEntry> callbacks;
  bool complete;
  {
    std::lock_guard<std::mutex> hold(FSection);
    callbacks = FBugReportCallbacks;
    complete = FComplete;
  }
  if (callbacks.empty()) return;
  const std::u16string report = GetBugReport(false, 0);
  // A callback may unregister itself or others; it works on the copy.
  for (const auto& entry : callbacks) entry.callback(complete, report, *this);
}

void TIREException::RegisterBugReportCallback(const void* key, TBugReportCallback callback, bool critical) {
  {
    std::lock_guard<std::mutex> hold(FSection);
    for (auto& entry : FBugReportCallbacks)
      if (entry.key == key) {
        entry.critical = critical;
        return;
      }
    FBugReportCallbacks.push_back({key, callback, critical});
  }
  const bool complete = IsComplete();
  callback(complete, GetBugReport(false, 0), *this);
}

void TIREException::UnregisterBugReportCallback(const void* key) {
  std::lock_guard<std::mutex> hold(FSection);
  std::erase_if(FBugReportCallbacks, [key](const TCallbackEntry& entry) { return entry.key == key; });
}

bool TIREException::CriticalBugReportCallbackExists() const {
  std::lock_guard<std::mutex> hold(FSection);
  return std::any_of(FBugReportCallbacks.begin(), FBugReportCallbacks.end(),
                     [](const TCallbackEntry& entry) { return entry.critical; });
}

}  // namespace ruvex
