#pragma once
// Screenshots of the whole virtual screen or of the application's windows.
#include "reporter/imaging/NVBitmap.h"

namespace ruvex {

// The screen (all monitors) or, with appOnly, the application's windows;
// with drawCursor the mouse cursor is drawn in. Null when there is nothing
// to capture or the system refuses (and always without the Windows API).
PNVBitmap TakeScreenShot(bool appOnly, bool drawCursor = true);

}  // namespace ruvex
