#pragma once
// What the forms of an assistant closed with OK contribute to the report:
// header fields and, for long texts that ask for it, sections.
#include <string>
#include <vector>

#include "reporter/core/fields/Fields.h"

namespace ruvex {

struct TAssistantResultItem {
  bool isCheckBox = false;
  std::u16string outputName;  // empty: the item gives nothing
  std::u16string text;        // edits
  bool checked = false;       // check boxes
  bool ownSection = false;    // output type otOwnSection
};

struct TAssistantFormResult {
  bool closedWithOk = false;
  std::vector<TAssistantResultItem> items;
};

// In form and item order; SetContent replaces an entry of the same name and
// puts new header fields at the header's add index.
void ApplyAssistantResults(const std::vector<TAssistantFormResult>& forms, IREFields& header, IREFields& sections);

}  // namespace ruvex
