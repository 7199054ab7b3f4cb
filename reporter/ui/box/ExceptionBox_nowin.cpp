#include "reporter/ui/box/ExceptionBox.h"

namespace ruvex {

TActionResult ShowExceptionUi(IREException&, const TBoxHooks&) { return TActionResult::notDone; }

void CloseExceptionBox(kelvane::TWindowHandle) {}

}  // namespace ruvex
