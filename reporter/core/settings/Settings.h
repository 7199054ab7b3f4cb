#pragma once
// The settings object: one module's properties, falling back to the built-in
// defaults (main module) or to the main settings object (any other module).
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "reporter/core/fields/Fields.h"
#include "reporter/core/properties/Properties.h"
#include "reporter/core/settings/SettingsHost.h"
#include "reporter/core/settings/SettingsList.h"

namespace ruvex {

class TIRESettings;

// The process-wide context of the settings: the system seam, the shared
// list and the main settings object (resolved once at start-up).
class TSettingsEnvironment {
 public:
  TSettingsEnvironment(ISettingsHost& host, ISettingsListAnchor& anchor) : host_(host), anchor_(anchor) {}
  ISettingsHost& Host() const { return host_; }
  ISettingsListAnchor& Anchor() const { return anchor_; }
  std::shared_ptr<TIRESettings> MainSettings() const;
  void SetMainSettings(std::shared_ptr<TIRESettings> settings);

 private:
  ISettingsHost& host_;
  ISettingsListAnchor& anchor_;
  mutable std::mutex mainLock_;
  std::shared_ptr<TIRESettings> main_;
};

// An assistant as the settings describe it: name, title and form names.
struct TAssistantSpec {
  std::u16string name, title;
  std::vector<std::u16string> forms;
};

// What one assistant form held when it closed, for the form cache.
struct TAssistantFormItem {
  std::u16string name;
  bool isCheckBox = false;
  std::u16string text;
  bool checked = false;
};
struct TAssistantFormState {
  bool closedWithOk = false;
  std::vector<TAssistantFormItem> items;
};

#define RE_DECLARE_BOOL(stem, prop) \
  bool Get##stem() const { return GetPropBool(prop); } \
  bool Set##stem(bool value) { return SetPropBool(prop, value); }
#define RE_DECLARE_INT(stem, prop) \
  std::int32_t Get##stem() const { return GetPropInt(prop); } \
  bool Set##stem(std::int32_t value) { return SetPropInt(prop, value); }
#define RE_DECLARE_STR(stem, prop) \
  std::u16string Get##stem() const { return GetPropStr(prop); } \
  bool Set##stem(const std::u16string& value) { return SetPropStr(prop, value); }
#define RE_DECLARE_ANSI(stem, prop) \
  std::string Get##stem() const { return GetPropAnsi(prop); } \
  bool Set##stem(const std::string& value) { return SetPropAnsi(prop, value); }
#define RE_DECLARE_ENUM(stem, prop, type) \
  type Get##stem() const { return static_cast<type>(GetPropDw(prop)); } \
  bool Set##stem(type value) { return SetPropDw(prop, static_cast<std::uint32_t>(value)); }

#include "reporter/core/settings/SettingsAccessors.h"

// The public settings interface; also the base of the exception object.
class IRESettings {
 public:
  virtual ~IRESettings() = default;
  virtual ModuleHandle Module() const = 0;

  // Reads follow the lookup order; string reads are expanded (all but
  // FrozenMsg). Writes go to the module's own record only.
  virtual bool GetPropBool(const char* name) const = 0;
  virtual std::int32_t GetPropInt(const char* name) const = 0;
  virtual std::uint32_t GetPropDw(const char* name) const = 0;
  virtual std::u16string GetPropStr(const char* name) const = 0;
  virtual bool SetPropBool(const char* name, bool value) = 0;
  virtual bool SetPropInt(const char* name, std::int32_t value) = 0;
  virtual bool SetPropDw(const char* name, std::uint32_t value) = 0;
  virtual bool SetPropStr(const char* name, const std::u16string& value) = 0;
  std::string GetPropAnsi(const char* name) const;
  bool SetPropAnsi(const char* name, const std::string& value);

  RE_SETTINGS_GROUP_AUTO(RE_DECLARE_BOOL, RE_DECLARE_INT, RE_DECLARE_STR, RE_DECLARE_ANSI, RE_DECLARE_ENUM)
  RE_SETTINGS_GROUP_BUTTONS(RE_DECLARE_BOOL, RE_DECLARE_INT, RE_DECLARE_STR, RE_DECLARE_ANSI, RE_DECLARE_ENUM)
  RE_SETTINGS_GROUP_DELIVERY(RE_DECLARE_BOOL, RE_DECLARE_INT, RE_DECLARE_STR, RE_DECLARE_ANSI, RE_DECLARE_ENUM)
  virtual std::shared_ptr<IREFields> GetAdditionalFields() = 0;
  RE_SETTINGS_GROUP_ATTACH(RE_DECLARE_BOOL, RE_DECLARE_INT, RE_DECLARE_STR, RE_DECLARE_ANSI, RE_DECLARE_ENUM)
  virtual std::shared_ptr<IREAttachments> GetAdditionalAttachments() = 0;
  RE_SETTINGS_GROUP_REPORT(RE_DECLARE_BOOL, RE_DECLARE_INT, RE_DECLARE_STR, RE_DECLARE_ANSI, RE_DECLARE_ENUM)
  bool GetPluginEnabled(std::u16string_view plugin) const;
  bool SetPluginEnabled(std::u16string_view plugin, bool enabled);
  virtual std::u16string VersionVar() const = 0;
  virtual std::optional<TAssistantSpec> GetAssistant(std::u16string_view name) const = 0;
  RE_SETTINGS_GROUP_TEXTS(RE_DECLARE_BOOL, RE_DECLARE_INT, RE_DECLARE_STR, RE_DECLARE_ANSI, RE_DECLARE_ENUM)
};

class IREModuleSettings : public IRESettings {
 public:
  virtual bool IsValid() const = 0;
  bool Enabled() const { return GetPropBool("Enabled"); }
  bool LinkInSettings() const { return !GetPropBool("NoSettings"); }
  bool LinkInMapFile() const { return GetPropStr("MinDebugInfo").empty(); }
  bool CheckFileCrc() const { return GetPropBool("CheckFileCrc"); }
  bool CheckForFreeze() const { return GetPropBool("CheckFreeze"); }
  std::int32_t FreezeTimeout() const { return GetPropInt("FreezeTimeout"); }
  bool ReportLeaks() const { return GetPropBool("ReportLeaks"); }
  bool CrashOnOverrun() const { return GetPropBool("CrashOnBuffer") && !GetPropBool("CrashOnUnderrun"); }
  bool CrashOnUnderrun() const { return GetPropBool("CrashOnBuffer") && GetPropBool("CrashOnUnderrun"); }
  RE_MODULE_SETTINGS_FILTERS(RE_DECLARE_BOOL, RE_DECLARE_INT, RE_DECLARE_STR, RE_DECLARE_ANSI, RE_DECLARE_ENUM)
  // Parses the module's block again.
  virtual void Reload() = 0;
};

#undef RE_DECLARE_BOOL
#undef RE_DECLARE_INT
#undef RE_DECLARE_STR
#undef RE_DECLARE_ANSI
#undef RE_DECLARE_ENUM

// Internal interface the settings objects use among themselves.
class IRESettingsEx {
 public:
  virtual ~IRESettingsEx() = default;
  // The property as the lookup order finds it, unexpanded.
  virtual std::optional<TREProperty> LookupProp(const char* name) const = 0;
  virtual void FillFormCache(const std::vector<TAssistantFormState>& forms) = 0;
  virtual void ReadFormCache(std::vector<TAssistantFormState>& forms) const = 0;
  virtual TIRESettings* GetSelf() = 0;
};

// The values the exception-related placeholders take.
struct TPlaceholderValues {
  std::u16string exceptClass = u"%exceptClass%";
  std::u16string exceptMsg = u"%exceptMsg%";
  std::u16string bugReport = u"%bugReport%";
  std::u16string errorDetails = u"%errorDetails%";
  // Version texts read through VersionVar; empty when not set.
  std::u16string appVersionVar, modVersionVar;
};

// One left-to-right pass over `text`: every placeholder (case-insensitive)
// is replaced, and an inserted value is never scanned again.
std::u16string ExpandPlaceholders(const ISettingsHost& host, ModuleHandle module, std::u16string_view text,
                                  const TPlaceholderValues& values);

class TIRESettings : public IREModuleSettings, public IRESettingsEx {
 public:
  // Module 0 stands for the executable.
  TIRESettings(TSettingsEnvironment& environment, ModuleHandle module);
  ~TIRESettings() override;
  TIRESettings(const TIRESettings&) = delete;
  TIRESettings& operator=(const TIRESettings&) = delete;

  ModuleHandle Module() const override { return FModule; }
  bool IsValid() const override { return FValid; }
  bool GetPropBool(const char* name) const override;
  std::int32_t GetPropInt(const char* name) const override;
  std::uint32_t GetPropDw(const char* name) const override;
  std::u16string GetPropStr(const char* name) const override;
  bool SetPropBool(const char* name, bool value) override;
  bool SetPropInt(const char* name, std::int32_t value) override;
  bool SetPropDw(const char* name, std::uint32_t value) override;
  bool SetPropStr(const char* name, const std::u16string& value) override;
  std::shared_ptr<IREFields> GetAdditionalFields() override;
  std::shared_ptr<IREAttachments> GetAdditionalAttachments() override;
  std::u16string VersionVar() const override { return FVersionVar; }
  std::optional<TAssistantSpec> GetAssistant(std::u16string_view name) const override;
  void Reload() override;

  std::optional<TREProperty> LookupProp(const char* name) const override;
  void FillFormCache(const std::vector<TAssistantFormState>& forms) override;
  void ReadFormCache(std::vector<TAssistantFormState>& forms) const override;
  TIRESettings* GetSelf() override { return this; }

  // The module the object was asked for, valid or not (for names).
  ModuleHandle RequestedModule() const { return requested_; }
  TSettingsEnvironment& Environment() const { return env_; }

 protected:
  // The exception object supplies its own class, message and details.
  virtual TPlaceholderValues PlaceholderValues() const;
  // Called after the additional fields or attachments changed.
  virtual void ListsModified() {}
  virtual bool HasScreenShot() const { return GetPropInt("ScrShotDepth") != 0; }

 private:
  std::optional<TREProperty> FindOwn(const char* name) const;
  bool DefaultsAllowed() const;
  void FillRecord(TRESettingsModule& record) const;
  void WriteFieldsBack();
  void WriteAttachmentsBack();

  TSettingsEnvironment& env_;
  const ModuleHandle requested_;
  bool FValid = false;
  ModuleHandle FModule;
  TSettingsControl* control_ = nullptr;
  TRESettingsModule* FSettings = nullptr;
  std::u16string FVersionVar;
  mutable std::mutex listsLock_;
  std::shared_ptr<TIREAttachments> FAddAttachs;
  std::shared_ptr<TIREFields> FAddFields;
  std::shared_ptr<TIREFields> FFormCache;
};

// The settings that apply to a module (0: the executable): its own when they
// link in, else those of the library, the design-time package or the first
// loaded module whose block links its settings in.
std::shared_ptr<TIRESettings> RESettings(TSettingsEnvironment& environment, ModuleHandle module);
// The settings for an exception at a code address of any module.
std::shared_ptr<TIRESettings> RESettingsForAddress(TSettingsEnvironment& environment, std::uintptr_t address);

// Parses "a=1|b=x=y" into fields: the name ends at the first "=", the value
// is all the rest. And back.
std::vector<TIREFields::TItem> ParseAdditionalFields(std::u16string_view text);
std::u16string FormatAdditionalFields(const std::vector<TIREFields::TItem>& items);
std::vector<TREAttachment> ParseAdditionalAttachments(std::u16string_view text);
std::u16string FormatAdditionalAttachments(const std::vector<TREAttachment>& items);

}  // namespace ruvex
