#include "reporter/ui/assistant/FormFonts.h"

namespace ruvex {

// Off Windows the layout is measured by the caller's own measure.
std::unique_ptr<ITextMeasure> CreateFormTextMeasure() { return nullptr; }

}  // namespace ruvex
