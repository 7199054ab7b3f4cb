#include "reporter/ui/assistant/NVAssistant.h"

#include "common/text/Windows1252.h"
#include "reporter/engines/pe/resources/Resources.h"
#include "reporter/ui/assistant/FormStream.h"

namespace ruvex {

void TNVAssistant::SetTitle(std::u16string title) {
  FTitle = std::move(title);
  for (auto& form : FForms) form->FTitle = FTitle;
}

TNVForm* TNVAssistant::Form(int index) const {
  return index >= 0 && index < FormCount() ? FForms[std::size_t(index)].get() : nullptr;
}

TNVForm* TNVAssistant::FormByName(std::u16string_view name) const {
  for (const auto& form : FForms)
    if (kelvane::EqualsIgnoreCase(form->FName, name)) return form.get();
  return nullptr;
}

TNVModalResult RunForm(TNVForm& form, kelvane::TWindowHandle parent, IFormWindows& windows) {
  if (form.FSkip) return form.FModalResult = nvmSkip;
  windows.EnableParent(parent, false);
  form.FModalResult = windows.ShowModal(form, parent);
  windows.EnableParent(parent, true);
  return form.FModalResult;
}

TNVModalResult TNVAssistant::RunModal(kelvane::TWindowHandle parent, IFormWindows& windows) {
  windows.EnableParent(parent, false);
  FModalResult = nvmOk;
  for (auto& form : FForms) {
    form->FException = FException;
    if (RunForm(*form, parent, windows) == nvmCancel) {
      FModalResult = nvmCancel;
      break;
    }
  }
  windows.EnableParent(parent, true);
  return FModalResult;
}

namespace {

std::unique_ptr<TNVForm> BuildForm(std::string_view stream, const TAssistantBuild& how) {
  auto form = std::make_unique<TNVForm>();
  const TFormStreamRead read = ReadFormStream(stream, *form);
  if (read.invalidType && how.showMessage) how.showMessage(InvalidAssistantMessage(*read.invalidType), kAssistantMessageCaption);
  if (!form->FOnActionName.empty() && how.resolveHandler) form->FOnAction = how.resolveHandler(form->FOnActionName);
  form->Fire(nvaFormCreate);
  return form;
}

}  // namespace

std::unique_ptr<TNVAssistant> BuildAssistant(std::u16string title, const std::vector<std::string>& streams,
                                             const TAssistantBuild& how) {
  auto assistant = std::make_unique<TNVAssistant>();
  const int count = static_cast<int>(streams.size());
  for (int i = 0; i < count; ++i) {
    auto form = BuildForm(streams[std::size_t(i)], how);
    form->FStep = i + 1;
    form->FSteps = count;
    assistant->FForms.push_back(std::move(form));
  }
  assistant->SetTitle(std::move(title));
  if (how.createdHook) how.createdHook(*assistant);
  return assistant;
}

std::unique_ptr<TNVAssistant> ReadAssistant(const IMemoryReader& memory, Address module, Address resourceInstance,
                                            std::u16string title, const std::vector<std::u16string>& formNames,
                                            const TAssistantBuild& how) {
  const auto type = TResourceId::Of(kResourceTypeRcData);
  Address source = module;
  if (!formNames.empty() && resourceInstance != 0 &&
      !ResourceBytes(memory, resourceInstance, type, TResourceId::Of(FormResourceName(formNames.front()))).empty())
    source = resourceInstance;
  std::vector<std::string> streams;
  for (const auto& name : formNames)
    streams.push_back(ResourceBytes(memory, source, type, TResourceId::Of(FormResourceName(name))));
  return BuildAssistant(std::move(title), streams, how);
}

}  // namespace ruvex
