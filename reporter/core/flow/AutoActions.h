#pragma once
// The automatic actions (AutoSend, AutoClip, AutoSave): a critical callback
// that acts once the report is complete, and the finishing step before the
// flow lets the application go on, restart or close.
#include "reporter/core/flow/Exception.h"

namespace ruvex {

// Limit of the waits for a complete report: long, but a completion that
// never comes must not hold the application for ever.
inline constexpr int kCompleteReportWaitMs = 10 * 60 * 1000;

void RegisterAutomaticActions(TIREException& exception);

// Waits for the complete report when a critical callback or a
// complete-report handler needs it, saves it when AutoSave asks (once), and
// with `wait` waits for a background send.
void FinishAutomaticActions(TIREException& exception, bool wait);

}  // namespace ruvex
