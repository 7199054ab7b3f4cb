#pragma once
// Reads an assistant form from its component stream (resource "TRE" + the
// form name): the root object's properties go to the form, its children
// become items or configure the built-in buttons.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "reporter/ui/assistant/NVForm.h"

namespace ruvex {

struct TFormStreamRead {
  bool signatureMatches = false;            // false: the form keeps only its buttons
  std::optional<std::uint8_t> invalidType;  // the value type that stopped the reading
  bool truncated = false;                   // the stream ended inside an object
};

// Never reads outside `stream`; what was read before a fault stays in the
// form. Nesting deeper than a form has is refused as truncated data.
TFormStreamRead ReadFormStream(std::string_view stream, TNVForm& form);

// The message box text for a reading stopped by an invalid value type, and
// its caption.
std::u16string InvalidAssistantMessage(std::uint8_t valueType);
inline constexpr char16_t kAssistantMessageCaption[] = u"RuvexExcept";

// The resource that holds a form's stream: "TRE" + the name in upper case.
std::u16string FormResourceName(std::u16string_view formName);

}  // namespace ruvex
