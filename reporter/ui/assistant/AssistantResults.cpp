#include "reporter/ui/assistant/AssistantResults.h"

namespace ruvex {

namespace {

void AddItemResult(const TNVItem& item, IREFields& header, IREFields& sections) {
  if (item.FOutputName.empty()) return;
  if (auto* box = dynamic_cast<const TNVCheckBox*>(&item)) {
    header.SetContent(item.FOutputName, box->FChecked ? u"yes" : u"no");
  } else if (auto* edit = dynamic_cast<const TNVEdit*>(&item); edit && !edit->FText.empty()) {
    IREFields& target = edit->FOutputType == otOwnSection && edit->MultiLine() ? sections : header;
    target.SetContent(item.FOutputName, edit->FText);
  }
}

}  // namespace

void AddAssistantResults(const TNVAssistant& assistant, IREFields& header, IREFields& sections) {
  for (const auto& form : assistant.FForms) {
    if (form->FModalResult != nvmOk) continue;
    for (int i = kFirstContentIndex; i < form->ItemCount(); ++i) AddItemResult(*form->Item(i), header, sections);
  }
}

}  // namespace ruvex
