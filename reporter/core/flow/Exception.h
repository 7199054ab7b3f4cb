#pragma once
// The exception object: the settings of the module the exception happened
// in (with a private layer that handlers may change for this exception),
// the exception's data, the bug report's header and sections, the screen
// shot slot and the user actions.
#include <atomic>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "reporter/core/fields/Fields.h"
#include "reporter/core/flow/ExceptTypes.h"
#include "reporter/core/flow/FlowServices.h"
#include "reporter/core/properties/Properties.h"
#include "reporter/core/settings/Settings.h"
#include "reporter/core/threads/ThreadStack.h"

namespace ruvex {

class INVBitmap;

// What the handling thread knows of one exception.
struct TExceptionData {
  TExceptType type = etNormal;
  std::uintptr_t exceptObject = 0;
  std::vector<std::u16string> classChain;  // the class first, then its ancestors; empty: no object
  std::u16string message;
  std::uintptr_t address = 0;
  bool canContinue = true;
  std::uint32_t crashedThreadId = 0;
  std::uintptr_t stackPointer = 0, framePointer = 0;
  TExceptSource source = esManual;
  std::uintptr_t relatedObject = 0;
  ModuleHandle package;
  // Web and service callers: receives the complete report.
  std::u16string* resultText = nullptr;
};

// The class as shown: "EFrozen" for freezes, "Unknown" without an object.
std::u16string ShownExceptClass(TExceptType type, const std::vector<std::u16string>& classChain);
// Trailing "." and "!" give way to one ".".
std::u16string ShownExceptMessage(std::u16string_view message);
// Whether the class or an ancestor is the abort exception ("EAbort").
bool IsAbortException(const std::vector<std::u16string>& classChain);

using TBugReportCallback = std::function<void(bool complete, const std::u16string& bugReport, class IREException&)>;

class IREException : public IRESettings {
 public:
  virtual TExceptPhase GetPhase() const = 0;
  virtual bool GetCanContinue() const = 0;
  virtual void SetCanContinue(bool value) = 0;
  virtual TExceptType GetExceptType() const = 0;
  virtual std::uintptr_t GetExceptObject() const = 0;
  virtual std::u16string GetExceptClass() const = 0;
  virtual std::u16string GetExceptMessage() const = 0;
  virtual void SetExceptMessage(std::u16string_view value) = 0;
  virtual std::uintptr_t GetExceptAddr() const = 0;
  virtual std::uint32_t GetCrashedThreadId() const = 0;
  virtual TExceptSource GetSource() const = 0;
  virtual std::uintptr_t GetRelatedObject() const = 0;
  virtual ModuleHandle GetPackage() const = 0;
  virtual std::shared_ptr<IREFields> GetBugReportHeader() = 0;
  virtual std::shared_ptr<IREFields> GetBugReportSections() = 0;
  // The report; with mustBeComplete it waits up to timeoutMs (-1: no limit).
  virtual std::u16string GetBugReport(bool mustBeComplete, int timeoutMs) = 0;
  virtual void SetBugReport(std::u16string_view value) = 0;
  virtual std::shared_ptr<INVBitmap> GetScreenShot() const = 0;
  virtual void SetScreenShot(std::shared_ptr<INVBitmap> value) = 0;
  // Callbacks are known by a key (the handler's identity).
  virtual void RegisterBugReportCallback(const void* key, TBugReportCallback callback, bool critical) = 0;
  virtual void UnregisterBugReportCallback(const void* key) = 0;
  virtual bool GetCreateBugReport() const = 0;
  virtual void SetCreateBugReport(bool value) = 0;
  virtual bool GetCreateScreenShot() const = 0;
  virtual void SetCreateScreenShot(bool value) = 0;
  virtual bool GetCallHandlers() const = 0;
  virtual void SetCallHandlers(bool value) = 0;
  // Moves to `phase` and fires that phase's exception handlers.
  virtual void FireHandlers(TExceptPhase phase, bool& handled) = 0;
  virtual bool GetAppendScreenShot() const = 0;
  virtual void SetAppendScreenShot(bool value) = 0;
  virtual TREShowSetting GetShowSetting() const = 0;
  virtual void SetShowSetting(TREShowSetting value) = 0;
  virtual std::u16string GetShowAssistant() const = 0;
  virtual void SetShowAssistant(std::u16string_view value) = 0;
  // User actions; each returns whether it was carried out.
  virtual bool ShowBugReport(TWindowHandle parent = {}) = 0;
  virtual bool SendBugReport(TWindowHandle parent = {}) = 0;
  virtual bool SaveBugReport(TWindowHandle parent = {}) = 0;
  virtual bool PrintBugReport(TWindowHandle parent = {}) = 0;
  virtual bool ContinueApplication(TWindowHandle parent = {}) = 0;
  virtual bool RestartApplication(TWindowHandle parent = {}) = 0;
  virtual bool CloseApplication(TWindowHandle parent = {}) = 0;
};

class IREExceptionEx {
 public:
  virtual ~IREExceptionEx() = default;
  virtual bool CriticalBugReportCallbackExists() const = 0;
  virtual void SetPhase(TExceptPhase value) = 0;
  virtual bool GetMailWasSent() const = 0;
  virtual void SetMailWasSent(bool value) = 0;
  virtual bool GetMailWasSaved() const = 0;
  virtual void SetMailWasSaved(bool value) = 0;
  // Each is true on its first call only.
  virtual bool FirstCompleteCallback() = 0;
  virtual bool FirstAutoSave() = 0;
};

class TIREException final : public TIRESettings, public IREException, public IREExceptionEx {
 public:
  TIREException(TSettingsEnvironment& environment, std::shared_ptr<TIRESettings> moduleSettings,
                TExceptionData data, TFlowServices& services);
  ~TIREException() override;

  // IRESettings: private layer, then the module's settings, then defaults.
  ModuleHandle Module() const override { return TIRESettings::Module(); }
  bool IsValid() const override { return true; }
  bool GetPropBool(const char* name) const override { return TIRESettings::GetPropBool(name); }
  std::int32_t GetPropInt(const char* name) const override { return TIRESettings::GetPropInt(name); }
  std::uint32_t GetPropDw(const char* name) const override { return TIRESettings::GetPropDw(name); }
  std::u16string GetPropStr(const char* name) const override { return TIRESettings::GetPropStr(name); }
  bool SetPropBool(const char* name, bool value) override;
  bool SetPropInt(const char* name, std::int32_t value) override;
  bool SetPropDw(const char* name, std::uint32_t value) override;
  bool SetPropStr(const char* name, const std::u16string& value) override;
  std::shared_ptr<IREFields> GetAdditionalFields() override { return TIRESettings::GetAdditionalFields(); }
  std::shared_ptr<IREAttachments> GetAdditionalAttachments() override {
    return TIRESettings::GetAdditionalAttachments();
  }
  std::u16string VersionVar() const override { return TIRESettings::VersionVar(); }
  std::optional<TAssistantSpec> GetAssistant(std::u16string_view name) const override {
    return TIRESettings::GetAssistant(name);
  }
  std::optional<TREProperty> LookupProp(const char* name) const override;

  TExceptPhase GetPhase() const override;
  bool GetCanContinue() const override;
  void SetCanContinue(bool value) override;
  TExceptType GetExceptType() const override { return data_.type; }
  std::uintptr_t GetExceptObject() const override { return data_.exceptObject; }
  std::u16string GetExceptClass() const override;
  std::u16string GetExceptMessage() const override;
  void SetExceptMessage(std::u16string_view value) override;
  std::uintptr_t GetExceptAddr() const override { return data_.address; }
  std::uint32_t GetCrashedThreadId() const override { return data_.crashedThreadId; }
  TExceptSource GetSource() const override { return data_.source; }
  std::uintptr_t GetRelatedObject() const override { return data_.relatedObject; }
  ModuleHandle GetPackage() const override { return data_.package; }
  std::shared_ptr<IREFields> GetBugReportHeader() override { return header_; }
  std::shared_ptr<IREFields> GetBugReportSections() override { return sections_; }
  std::u16string GetBugReport(bool mustBeComplete, int timeoutMs) override;
  void SetBugReport(std::u16string_view value) override;
  std::shared_ptr<INVBitmap> GetScreenShot() const override;
  void SetScreenShot(std::shared_ptr<INVBitmap> value) override;
  void RegisterBugReportCallback(const void* key, TBugReportCallback callback, bool critical) override;
  void UnregisterBugReportCallback(const void* key) override;
  bool GetCreateBugReport() const override;
  void SetCreateBugReport(bool value) override;
  bool GetCreateScreenShot() const override;
  void SetCreateScreenShot(bool value) override;
  bool GetCallHandlers() const override;
  void SetCallHandlers(bool value) override;
  void FireHandlers(TExceptPhase phase, bool& handled) override;
  bool GetAppendScreenShot() const override;
  void SetAppendScreenShot(bool value) override;
  TREShowSetting GetShowSetting() const override;
  void SetShowSetting(TREShowSetting value) override;
  std::u16string GetShowAssistant() const override;
  void SetShowAssistant(std::u16string_view value) override;
  bool ShowBugReport(TWindowHandle parent = {}) override;
  bool SendBugReport(TWindowHandle parent = {}) override;
  bool SaveBugReport(TWindowHandle parent = {}) override;
  bool PrintBugReport(TWindowHandle parent = {}) override;
  bool ContinueApplication(TWindowHandle parent = {}) override;
  bool RestartApplication(TWindowHandle parent = {}) override;
  bool CloseApplication(TWindowHandle parent = {}) override;

  bool CriticalBugReportCallbackExists() const override;
  void SetPhase(TExceptPhase value) override;
  bool GetMailWasSent() const override;
  void SetMailWasSent(bool value) override;
  bool GetMailWasSaved() const override;
  void SetMailWasSaved(bool value) override;
  bool FirstCompleteCallback() override;
  bool FirstAutoSave() override;

  // The completion of the report marks it complete and tells the callbacks.
  void MarkComplete();
  bool IsComplete() const;
  // Waits up to timeoutMs (-1: no limit) for the complete report and its
  // delivery to the callbacks.
  bool WaitComplete(int timeoutMs) const;
  const std::vector<std::u16string>& ClassChain() const { return data_.classChain; }
  TFlowServices& Services() const { return services_; }
  std::u16string* ResultText() const { return data_.resultText; }
  // The settings accessors through one base (the object has two paths to them).
  const IREException& Settings() const { return *this; }
  // The listed threads of the report; the completion alone uses them once
  // the report has started.
  std::vector<TThreadStack>& ThreadStacks() { return FThreadStacks; }
  // Set when the exception goes away: a running completion stops.
  const std::atomic<bool>& AbortRequested() const { return abort_; }
  // Runs `work` on the completion thread, which the exception joins when it
  // goes; one per exception.
  bool StartCompletionThread(std::function<void()> work);
  // How often header or sections changed: a rendering that overlaps a
  // change is not cached.
  std::uint64_t ChangeCount() const;

 private:
  struct TCallbackEntry {
    const void* key;
    TBugReportCallback callback;
    bool critical;
  };
  using TPrivateProps = std::vector<TREProperty>;
  bool WritePrivate(const char* name, TPropertyType type, const std::function<void(TREProperty&)>& fill);
  void ReportChanged();
  std::u16string RenderReport();
  void NotifyCallbacks();

  std::shared_ptr<TIRESettings> FModuleSettings;
  TFlowServices& services_;
  TExceptionData data_;

  mutable std::mutex FSection;  // guards the state below
  mutable std::condition_variable completeChanged_;
  TPrivateProps FSettingsBuf;
  TExceptPhase FPhase = epNotHandledYet;
  bool FCanContinue;
  std::u16string FExceptMessage;
  std::u16string FBugReport;
  bool cacheValid_ = false;
  bool FComplete = false;
  bool completeDelivered_ = false;  // the callbacks were told of the complete report
  std::shared_ptr<INVBitmap> FScreenShot;
  bool FCreateBugReport = true, FCreateScreenShot = false, FCallHandlers = true, FAppendScreenShot = false;
  TREShowSetting FShowSetting = ssFullBox;
  std::u16string FShowAssis;
  bool FMailWasSent = false, FMailWasSaved = false;
  int FFirstCompleteCallback = -1, FFirstAutoSave = -1;
  std::vector<TCallbackEntry> FBugReportCallbacks;
  std::uint64_t FChangeCount = 0;
  std::vector<TThreadStack> FThreadStacks;
  std::atomic<bool> abort_{false};
  std::thread completion_;
  std::shared_ptr<TIREFields> header_ = std::make_shared<TIREFields>();
  std::shared_ptr<TIREFields> sections_ = std::make_shared<TIREFields>();
};

}  // namespace ruvex
