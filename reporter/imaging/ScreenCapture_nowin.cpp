// Without the Windows API there is no screen to capture.
#include "reporter/imaging/ScreenCapture.h"

namespace ruvex {

PNVBitmap TakeScreenShot(bool, bool) { return nullptr; }

}  // namespace ruvex
