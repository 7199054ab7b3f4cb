#include "reporter/ui/box/ExceptionBox.h"

#include "common/win/NativeHandles_win.h"
#include "reporter/ui/box/BoxWindow_win.h"

namespace ruvex {

namespace {

// The full box that follows a small box's or the hot key's details request.
void PrepareReshow(IREException& exception) {
  exception.SetAutoShowBugReport(true);
  exception.SetAutoContinue(false);
  exception.SetAutoRestart(0);
  exception.SetAutoClose(0);
}

// One box after the other until no box asks for the details again.
void RunExceptionBox(IREException& exception, TBoxKind kind, const TBoxHooks& hooks) {
  TBoxHooks current = hooks;
  while (true) {
    TBoxPlan plan = PlanBox(exception, kind, current.options);
    bool reshow = TExceptionBox(exception, plan, current).Run();
    if (!reshow) return;
    PrepareReshow(exception);
    kind = TBoxKind::full;
    current.beep = false;
  }
}

}  // namespace

TActionResult ShowExceptionUi(IREException& exception, const TBoxHooks& hooks) {
  switch (exception.GetShowSetting()) {
    case ssNothing: return TActionResult::done;
    case ssDetailBox: RunExceptionBox(exception, TBoxKind::detail, hooks); break;
    case ssSimpleBox: RunExceptionBox(exception, TBoxKind::simple, hooks); break;
    // The assistant runs elsewhere; without one of that name the full box.
    case ssAssistant:
    case ssFullBox: RunExceptionBox(exception, TBoxKind::full, hooks); break;
  }
  return TActionResult::done;
}

void CloseExceptionBox(kelvane::TWindowHandle box) {
  PostMessageW(kelvane::ToHwnd(box), kMsgCloseBox, 0, 0);
}

}  // namespace ruvex
