#include "reporter/ui/assistant/NVForm.h"

#include "common/text/Windows1252.h"

namespace ruvex {

using kelvane::EqualsIgnoreCase;

TNVForm::TNVForm(std::u16string name) : FName(std::move(name)) {
  // The buttons exist before the stream is read, so that it can configure them.
  const std::pair<const char16_t*, const char16_t*> buttons[] = {
      {u"ContinueBtn", u"Next >"}, {u"SkipBtn", u"Skip"}, {u"CancelBtn", u"Cancel"}};
  for (const auto& [buttonName, caption] : buttons) Add<TNVButton>(buttonName).FCaption = caption;
}

TNVItem* TNVForm::Item(int index) const {
  return index >= 0 && index < ItemCount() ? FItems[std::size_t(index)].get() : nullptr;
}

TNVItem* TNVForm::ItemByName(std::u16string_view name) const {
  for (const auto& item : FItems)
    if (EqualsIgnoreCase(item->FName, name)) return item.get();
  return nullptr;
}

TNVButton& TNVForm::ContinueButton() const { return static_cast<TNVButton&>(*FItems[kContinueButtonIndex]); }
TNVButton& TNVForm::SkipButton() const { return static_cast<TNVButton&>(*FItems[kSkipButtonIndex]); }
TNVButton& TNVForm::CancelButton() const { return static_cast<TNVButton&>(*FItems[kCancelButtonIndex]); }

void TNVForm::SetProperty(std::u16string_view name, std::u16string_view value) {
  if (EqualsIgnoreCase(name, u"MinWidth")) FMinWidth = NVInteger(value);
  else if (EqualsIgnoreCase(name, u"Message")) FMessage = std::u16string(value);
  else if (EqualsIgnoreCase(name, u"ActiveControl")) FActiveControl = std::u16string(value);
  else if (EqualsIgnoreCase(name, u"Timer")) FTimer = NVInteger(value);
  else if (EqualsIgnoreCase(name, u"OnAction")) FOnActionName = std::u16string(value);
}

void TNVForm::Fire(TNVAction action, TNVItem* item) {
  if (FOnAction) FOnAction(action, *this, item, FException);
}

bool TNVForm::NextAllowed() const {
  for (int i = kFirstContentIndex; i < ItemCount(); ++i)
    if (!FItems[std::size_t(i)]->AllowsNext()) return false;
  return true;
}

TNVItem* TNVForm::FirstFocus() const {
  if (TNVItem* named = FActiveControl.empty() ? nullptr : ItemByName(FActiveControl); named && named->CanFocus())
    return named;
  for (int i = kFirstContentIndex; i < ItemCount(); ++i)
    if (FItems[std::size_t(i)]->CanFocus()) return FItems[std::size_t(i)].get();
  for (int i = 0; i < kFirstContentIndex; ++i)
    if (FItems[std::size_t(i)]->CanFocus()) return FItems[std::size_t(i)].get();
  return nullptr;
}

TNVItem* TNVForm::NextFocus(const TNVItem* from, bool backwards) const {
  const int count = ItemCount();
  const int start = from ? from->FIndex : (backwards ? 0 : count - 1);
  for (int step = 1; step <= count; ++step) {
    const int index = ((start + (backwards ? -step : step)) % count + count) % count;
    if (FItems[std::size_t(index)]->CanFocus()) return FItems[std::size_t(index)].get();
  }
  return nullptr;
}

void TNVForm::ItemEvent(TNVItem* item) {
  if (auto* box = dynamic_cast<TNVCheckBox*>(item)) box->FChecked = !box->FChecked;
  Fire(nvaItemEvent, item);
  UpdateContinueButton();
}

bool TNVForm::BeginShow() {
  FModalResult = nvmInvalid;
  UpdateContinueButton();
  Fire(nvaFormShow);
  if (!FSkip) return true;
  FModalResult = nvmSkip;
  return false;
}

TNVModalResult TNVForm::PressButton(int buttonIndex) {
  TNVItem* button = Item(buttonIndex);
  // A disabled button cannot be pressed, whatever the window sent.
  if (!button || buttonIndex >= kFirstContentIndex || !button->FEnabled) return nvmInvalid;
  if (buttonIndex == kContinueButtonIndex && !NextAllowed()) return nvmInvalid;
  return Close(buttonIndex == kContinueButtonIndex ? nvmOk : buttonIndex == kSkipButtonIndex ? nvmSkip : nvmCancel);
}

TNVModalResult TNVForm::Escape() { return CancelButton().FEnabled ? Close(nvmCancel) : nvmInvalid; }

TNVModalResult TNVForm::SystemClose() { return Close(nvmCancel); }

TNVModalResult TNVForm::Close(TNVModalResult result) {
  FModalResult = result;
  Fire(nvaFormClose);
  return result;
}

}  // namespace ruvex
