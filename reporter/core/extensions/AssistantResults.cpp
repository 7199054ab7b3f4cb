#include "reporter/core/extensions/AssistantResults.h"

namespace ruvex {
namespace {

bool HasSeveralLines(std::u16string_view text) {
  return TrimBlanks(text).find_first_of(u"\r\n") != std::u16string_view::npos;
}

void ApplyItem(const TAssistantResultItem& item, IREFields& header, IREFields& sections) {
  if (item.outputName.empty()) return;
  if (item.isCheckBox) {
    header.SetContent(item.outputName, item.checked ? u"yes" : u"no");
    return;
  }
  if (item.text.empty()) return;
  if (item.ownSection && HasSeveralLines(item.text))
    sections.SetContent(item.outputName, item.text);
  else
    header.SetContent(item.outputName, item.text);
}

}  // namespace

void ApplyAssistantResults(const std::vector<TAssistantFormResult>& forms, IREFields& header, IREFields& sections) {
  for (const auto& form : forms) {
    if (!form.closedWithOk) continue;
    for (const auto& item : form.items) ApplyItem(item, header, sections);
  }
}

}  // namespace ruvex
