#include "reporter/core/settings/Settings.h"

#include <cstring>

#include "common/text/Windows1252.h"
#include "common/text/TextItems.h"
#include "reporter/core/properties/PasswordCipher.h"
#include "reporter/core/properties/SettingsBlock.h"

namespace ruvex {

using kelvane::DecodeWindows1252;
using kelvane::EncodeWindows1252Lossy;
using kelvane::EqualsIgnoreCase;
using kelvane::SplitItems;
namespace {

constexpr char16_t kCaption[] = u"RuvexExcept";

std::optional<TREProperty> FromDefault(const char* name) {
  const TREDefaultProperty* entry = FindDefaultProperty(name);
  if (!entry) return std::nullopt;
  TREProperty p;
  p.name = entry->name;
  p.typ = entry->typ;
  p.vBool = entry->vBool;
  p.vInt = entry->vInt;
  if (entry->vStr && *entry->vStr) p.vStr = std::make_shared<const std::u16string>(DecodeWindows1252(entry->vStr));
  return p;
}

const TREProperty* FindIn(const std::vector<TREProperty>& props, const char* name) {
  for (const auto& p : props)
    if (p.name == name) return &p;
  return nullptr;
}

// Replaces each enciphered password by its plain text, keyed by the account
// and server stored beside it.
void DecipherPasswords(std::vector<TREProperty>& props) {
  struct TKey { const char* password; const char* account; const char* server; };
  static const TKey kKeys[] = {{"SmtpPassword", "SmtpAccount", "SmtpServer"},
                               {"HttpPassword", "HttpAccount", "HttpServer"},
                               {"BugTrPassword", "BugTrAccount", "HttpServer"}};
  for (const auto& key : kKeys) {
    TREProperty* password = const_cast<TREProperty*>(FindIn(props, key.password));
    if (!password || password->Str().empty()) continue;
    const TREProperty* account = FindIn(props, key.account);
    const TREProperty* server = FindIn(props, key.server);
    auto plain = DecipherPassword(password->Str(), account ? account->Str() : u"", server ? server->Str() : u"");
    if (plain) password->vStr = plain->empty() ? nullptr : std::make_shared<const std::u16string>(*plain);
  }
}

std::shared_ptr<const std::u16string> Packed(const std::u16string& text) {
  return text.empty() ? nullptr : std::make_shared<const std::u16string>(text);
}

}  // namespace

std::shared_ptr<TIRESettings> TSettingsEnvironment::MainSettings() const {
  std::lock_guard<std::mutex> hold(mainLock_);
  return main_;
}

void TSettingsEnvironment::SetMainSettings(std::shared_ptr<TIRESettings> settings) {
  std::shared_ptr<TIRESettings> old;
  {
    std::lock_guard<std::mutex> hold(mainLock_);
    old = std::move(main_);
    main_ = std::move(settings);
  }
  // `old` is released here, outside the lock: its destructor reads the main.
}

std::string IRESettings::GetPropAnsi(const char* name) const { return EncodeWindows1252Lossy(GetPropStr(name)); }

bool IRESettings::SetPropAnsi(const char* name, const std::string& value) {
  return SetPropStr(name, DecodeWindows1252(value));
}

bool IRESettings::GetPluginEnabled(std::u16string_view plugin) const {
  for (const auto& item : SplitItems(GetPropStr("Plugins"), u'|'))
    if (EqualsIgnoreCase(item, plugin)) return true;
  return false;
}

bool IRESettings::SetPluginEnabled(std::u16string_view plugin, bool enabled) {
  const std::u16string current = GetPropStr("Plugins");
  std::u16string out;
  bool present = false;
  auto append = [&out](std::u16string_view item) {
    if (!out.empty()) out.push_back(u'|');
    out += item;
  };
  for (const auto& item : SplitItems(current, u'|')) {
    bool match = EqualsIgnoreCase(item, plugin);
    present = present || match;
    if (!match || enabled) append(item);
  }
  if (enabled && !present) append(plugin);
  // Writing an unchanged list would give a library module's object a copy
  // of its own that later changes of the main list no longer reach.
  if (out == current) return true;
  return SetPropStr("Plugins", out);
}

TIRESettings::TIRESettings(TSettingsEnvironment& environment, ModuleHandle module)
    : env_(environment), requested_(module ? module : environment.Host().ExecutableModule()) {
  if (!env_.Host().SettingsBlock(requested_)) return;
  control_ = env_.Anchor().Acquire();
  if (!control_) {
    env_.Host().ShowMessage(kCaption, u"internal error (opening settings buffer)");
    return;
  }
  FSettings = LinkSettingsModule(*control_, requested_, [this](TRESettingsModule& record) { FillRecord(record); });
  FValid = true;
  FModule = requested_;
  if (auto offset = FindOwn("VersionVar"); offset && offset->vInt != 0)
    if (auto text = env_.Host().ReadVersionText(FModule, offset->vInt)) FVersionVar = DecodeWindows1252(*text);
}

TIRESettings::~TIRESettings() {
  // The lists may outlive this object; they stop writing back into it.
  // Clearing waits for a write-back in progress, which takes listsLock_, so
  // it runs outside that lock.
  std::shared_ptr<TIREAttachments> attachments;
  std::shared_ptr<TIREFields> fields;
  {
    std::lock_guard<std::mutex> hold(listsLock_);
    attachments = FAddAttachs;
    fields = FAddFields;
  }
  if (attachments) attachments->SetOnChange(nullptr);
  if (fields) fields->SetOnChange(nullptr);
  if (control_) {
    UnlinkSettingsModule(*control_, FSettings);
    env_.Anchor().Release(control_);
  }
}

void TIRESettings::FillRecord(TRESettingsModule& record) const {
  auto block = env_.Host().SettingsBlock(record.module);
  if (!block) return;
  TSettingsBlockParse parse = ParseSettingsBlock(*block);
  if (!parse.headerMatches) return;
  if (parse.Stopped()) env_.Host().ShowMessage(kCaption, InvalidSettingsMessage(parse));
  DecipherPasswords(parse.properties);
  record.Replace(std::move(parse.properties));
}

void TIRESettings::Reload() {
  if (!control_ || !FSettings) return;
  std::lock_guard<std::mutex> hold(control_->listLock);
  FSettings->Replace({});
  FillRecord(*FSettings);
}

std::optional<TREProperty> TIRESettings::FindOwn(const char* name) const {
  return FSettings ? FSettings->Find(name) : std::nullopt;
}

bool TIRESettings::DefaultsAllowed() const {
  auto main = env_.MainSettings();
  return !main || main.get() == this || main->FModule == FModule;
}

std::optional<TREProperty> TIRESettings::LookupProp(const char* name) const {
  if (auto own = FindOwn(name)) return own;
  if (DefaultsAllowed()) return FromDefault(name);
  auto main = env_.MainSettings();
  return static_cast<const IRESettingsEx&>(*main).LookupProp(name);
}

bool TIRESettings::GetPropBool(const char* name) const {
  auto p = LookupProp(name);
  return p && p->vBool;
}

std::int32_t TIRESettings::GetPropInt(const char* name) const {
  auto p = LookupProp(name);
  return p ? p->vInt : 0;
}

std::uint32_t TIRESettings::GetPropDw(const char* name) const { return static_cast<std::uint32_t>(GetPropInt(name)); }

std::u16string TIRESettings::GetPropStr(const char* name) const {
  auto p = LookupProp(name);
  if (!p) return {};
  // The freeze message is itself the message of freeze exceptions.
  if (std::strcmp(name, "FrozenMsg") == 0) return p->Str();
  return ExpandPlaceholders(env_.Host(), requested_, p->Str(), PlaceholderValues());
}

bool TIRESettings::SetPropBool(const char* name, bool value) {
  return FSettings && FSettings->Write(name, ptBoolean, [value](TREProperty& p) { p.vBool = value; });
}

bool TIRESettings::SetPropInt(const char* name, std::int32_t value) {
  return FSettings && FSettings->Write(name, ptInteger, [value](TREProperty& p) { p.vInt = value; });
}

bool TIRESettings::SetPropDw(const char* name, std::uint32_t value) {
  return SetPropInt(name, static_cast<std::int32_t>(value));
}

bool TIRESettings::SetPropStr(const char* name, const std::u16string& value) {
  return FSettings && FSettings->Write(name, ptString, [&value](TREProperty& p) { p.vStr = Packed(value); });
}

TPlaceholderValues TIRESettings::PlaceholderValues() const {
  TPlaceholderValues values;
  values.modVersionVar = FVersionVar;
  ModuleHandle exe = env_.Host().ExecutableModule();
  if (requested_ == exe) {
    values.appVersionVar = FVersionVar;
  } else if (auto main = env_.MainSettings(); main && main->requested_ == exe) {
    values.appVersionVar = main->FVersionVar;
  }
  return values;
}

std::shared_ptr<IREFields> TIRESettings::GetAdditionalFields() {
  std::lock_guard<std::mutex> hold(listsLock_);
  if (!FAddFields) {
    FAddFields = std::make_shared<TIREFields>();
    FAddFields->Load(ParseAdditionalFields(GetPropStr("AddFields")));
    FAddFields->SetOnChange([this] { WriteFieldsBack(); });
  }
  return FAddFields;
}

std::shared_ptr<IREAttachments> TIRESettings::GetAdditionalAttachments() {
  std::lock_guard<std::mutex> hold(listsLock_);
  if (!FAddAttachs) {
    FAddAttachs = std::make_shared<TIREAttachments>();
    FAddAttachs->Load(ParseAdditionalAttachments(GetPropStr("AddAttachs")));
    FAddAttachs->SetOnChange([this] { WriteAttachmentsBack(); });
  }
  return FAddAttachs;
}

void TIRESettings::WriteFieldsBack() {
  std::shared_ptr<TIREFields> fields;
  {
    std::lock_guard<std::mutex> hold(listsLock_);
    fields = FAddFields;
  }
  if (!fields) return;
  SetPropStr("AddFields", FormatAdditionalFields(fields->Items()));
  ListsModified();
}

void TIRESettings::WriteAttachmentsBack() {
  std::shared_ptr<TIREAttachments> attachments;
  {
    std::lock_guard<std::mutex> hold(listsLock_);
    attachments = FAddAttachs;
  }
  if (!attachments) return;
  SetPropStr("AddAttachs", FormatAdditionalAttachments(attachments->Items()));
  ListsModified();
}

std::optional<TAssistantSpec> TIRESettings::GetAssistant(std::u16string_view name) const {
  for (int n = 1;; ++n) {
    std::string prop = "Assistant" + std::to_string(n);
    std::u16string value = GetPropStr(prop.c_str());
    if (value.empty()) return std::nullopt;
    auto items = SplitItems(value, u'|');
    if (items.empty() || !EqualsIgnoreCase(items[0], name)) continue;
    TAssistantSpec assistant;
    assistant.name = items[0];
    if (items.size() > 1) assistant.title = items[1];
    bool screenShot = HasScreenShot();
    for (size_t i = 2; i < items.size(); ++i)
      if (screenShot || !EqualsIgnoreCase(items[i], u"ScrShotForm")) assistant.forms.push_back(items[i]);
    return assistant;
  }
}

void TIRESettings::FillFormCache(const std::vector<TAssistantFormState>& forms) {
  std::shared_ptr<TIREFields> cache;
  {
    std::lock_guard<std::mutex> hold(listsLock_);
    if (!FFormCache) FFormCache = std::make_shared<TIREFields>();
    cache = FFormCache;
  }
  for (const auto& form : forms) {
    if (!form.closedWithOk) continue;
    for (const auto& item : form.items)
      cache->SetContent(item.name, item.isCheckBox ? std::u16string(item.checked ? u"+" : u"-") : item.text);
  }
}

void TIRESettings::ReadFormCache(std::vector<TAssistantFormState>& forms) const {
  std::shared_ptr<TIREFields> cache;
  {
    std::lock_guard<std::mutex> hold(listsLock_);
    cache = FFormCache;
  }
  if (!cache) return;
  for (auto& form : forms)
    for (auto& item : form.items) {
      int at = cache->FindItem(item.name);
      if (at < 0) continue;
      std::u16string value = cache->GetContentAt(at);
      if (item.isCheckBox)
        item.checked = value == u"+";
      else
        item.text = value;
    }
}

std::vector<TIREFields::TItem> ParseAdditionalFields(std::u16string_view text) {
  std::vector<TIREFields::TItem> items;
  for (const auto& item : SplitItems(text, u'|')) {
    if (item.empty()) continue;
    size_t eq = item.find(u'=');
    if (eq == std::u16string::npos)
      items.emplace_back(item, u"");
    else
      items.emplace_back(item.substr(0, eq), item.substr(eq + 1));
  }
  return items;
}

std::u16string FormatAdditionalFields(const std::vector<TIREFields::TItem>& items) {
  std::u16string out;
  for (const auto& [name, content] : items) {
    if (!out.empty()) out.push_back(u'|');
    out += name + u"=" + content;
  }
  return out;
}

std::vector<TREAttachment> ParseAdditionalAttachments(std::u16string_view text) {
  std::vector<TREAttachment> items;
  for (const auto& item : SplitItems(text, u'|')) {
    if (item.empty()) continue;
    auto parts = SplitItems(item, u'>');
    parts.resize(4);
    items.push_back({parts[0], parts[1], parts[2], parts[3]});
  }
  return items;
}

std::u16string FormatAdditionalAttachments(const std::vector<TREAttachment>& items) {
  std::u16string out;
  for (const auto& a : items) {
    if (!out.empty()) out.push_back(u'|');
    out += a.originalFile + u">" + a.sendAsFileName + u">" + a.zipFile + u">" + a.fieldName;
  }
  return out;
}

}  // namespace ruvex
