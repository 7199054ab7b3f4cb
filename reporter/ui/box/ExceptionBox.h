#pragma once
// The entry the handling flow calls to show an exception: the box, the
// small boxes or nothing, by the show setting. The user's choice reaches
// the program through the exception's user actions (continue, restart,
// close...), called with the box as parent.
#include <functional>

#include "common/win/NativeHandles.h"
#include "reporter/core/flow/FlowServices.h"
#include "reporter/ui/box/BoxPlan.h"

namespace ruvex {

// Process-wide hooks of the box, with the options of its layout and texts.
struct TBoxHooks {
  TBoxOptions options;
  std::function<void(kelvane::TWindowHandle box, bool small)> boxCreated;
  std::function<void(TBoxCommand done)> boxDone;
  // A freeze's box is posted here (the window as wParam).
  kelvane::TWindowHandle frozenBoxNotify;
  std::uint32_t frozenBoxNotifyMessage = 0;
  // Runs work queued for the main thread while the box is open there.
  std::function<void()> synchronize;
  bool beep = true;
  // The core's handler of the reporter's own faults, for one thrown inside the box.
  std::function<void()> internalException;
  // A call-stack row of the details view for a running development environment.
  std::function<void(const std::u16string& line)> jumpRequest;
};

// The presentation for the exception's show setting; returns once the
// user decided. Without windows (Linux) nothing is shown: notDone.
TActionResult ShowExceptionUi(IREException& exception, const TBoxHooks& hooks = {});

// Asks an open box to close (from the exception's CloseBox action).
void CloseExceptionBox(kelvane::TWindowHandle box);

}  // namespace ruvex
