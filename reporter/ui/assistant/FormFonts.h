#pragma once
// The assistant's fonts measuring text for the layout: "Tahoma" 11 pixels
// (else "MS Sans Serif") for the dialog, "Arial" 15 pixels bold for the
// header message.
#include <memory>

#include "reporter/ui/assistant/FormLayout.h"

namespace ruvex {

// Measures with the screen's fonts; null where there is no screen (off
// Windows) or the fonts cannot be made.
std::unique_ptr<ITextMeasure> CreateFormTextMeasure();

}  // namespace ruvex
