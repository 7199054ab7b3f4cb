#pragma once
// The real window of an assistant form: the controls where the layout puts
// them, the fonts the layout measured with, and a modal loop that reports
// every event to the form.
#include <memory>

#include "reporter/ui/assistant/NVAssistant.h"

namespace ruvex {

// Null where there is no screen (off Windows) or the fonts cannot be made.
std::unique_ptr<IFormWindows> CreateFormWindows();

// The window class, so that tests and the box can find a shown form.
inline constexpr char16_t kFormWindowClass[] = u"RuvexNVAssistantWnd";
// Child controls carry the item index plus this as their id.
inline constexpr int kFormControlIdBase = 1000;
inline constexpr unsigned kFormTimerId = 777;

}  // namespace ruvex
