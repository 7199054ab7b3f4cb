#include "reporter/core/settings/FakeSettingsHost.h"

#include "common/text/Windows1252.h"
#include "common/text/FileNames.h"

namespace ruvex {

using kelvane::EqualsIgnoreCase;
using kelvane::FileNameOf;

std::vector<TFakeSettingsHost::TMessage> TFakeSettingsHost::Messages() const {
  std::lock_guard<std::mutex> hold(messagesLock_);
  return messages_;
}

std::optional<std::string> TFakeSettingsHost::SettingsBlock(ModuleHandle module) const {
  auto it = modules.find(module);
  return it == modules.end() ? std::nullopt : it->second.block;
}

std::u16string TFakeSettingsHost::ModuleFileName(ModuleHandle module) const {
  auto it = modules.find(module);
  return it == modules.end() ? std::u16string() : it->second.path;
}

std::optional<std::u16string> TFakeSettingsHost::FileVersion(ModuleHandle module) const {
  auto it = modules.find(module);
  return it == modules.end() ? std::nullopt : it->second.fileVersion;
}

std::optional<std::string> TFakeSettingsHost::ReadVersionText(ModuleHandle module, std::int32_t offset) const {
  auto it = modules.find(module);
  if (it == modules.end()) return std::nullopt;
  auto text = it->second.versionTexts.find(offset);
  if (text == it->second.versionTexts.end()) return std::nullopt;
  return text->second;
}

std::vector<ModuleHandle> TFakeSettingsHost::ModulesByAddress() const {
  std::vector<ModuleHandle> out;
  for (const auto& [handle, module] : modules) out.push_back(handle);
  return out;
}

ModuleHandle TFakeSettingsHost::FindModule(std::u16string_view fileName) const {
  for (const auto& [handle, module] : modules)
    if (EqualsIgnoreCase(FileNameOf(module.path), fileName)) return handle;
  return {};
}

ModuleHandle TFakeSettingsHost::ModuleOfAddress(std::uintptr_t address) const {
  // Modules are taken to span up to the next one's base.
  ModuleHandle found;
  for (const auto& [handle, module] : modules)
    if (handle.Value() <= address) found = handle;
  return found;
}

void TFakeSettingsHost::ShowMessage(std::u16string_view caption, std::u16string_view text) const {
  std::lock_guard<std::mutex> hold(messagesLock_);
  messages_.push_back({std::u16string(caption), std::u16string(text)});
}

std::optional<std::u16string> TFakeSettingsHost::ShellFolder(TShellFolder folder) const {
  auto it = folders.find(folder);
  return it == folders.end() ? std::nullopt : std::optional<std::u16string>(it->second);
}

}  // namespace ruvex
