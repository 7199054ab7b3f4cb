#pragma once
// The entries of a finished assistant as bug report header fields and
// sections.
#include "reporter/core/fields/Fields.h"
#include "reporter/ui/assistant/NVAssistant.h"

namespace ruvex {

// For every form closed with OK, in form and item order: a check box with
// an output name gives a header field "yes" or "no"; an edit with an output
// name and text gives a header field, or a section of its own when it is
// multi-line and its output type is otOwnSection.
void AddAssistantResults(const TNVAssistant& assistant, IREFields& header, IREFields& sections);

}  // namespace ruvex
