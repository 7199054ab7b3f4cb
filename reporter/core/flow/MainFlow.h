#pragma once
// The main flow of one exception in the handling thread: filter, phases,
// box or automatic decision, and the end (continue, restart, close).
#include "reporter/core/flow/Exception.h"

namespace ruvex {

enum class TFlowOutcome {
  handled,             // a handler took it and the application goes on
  decidedInBox,        // the user's choice in the box decided
  continued,           // automatically continued
  closed,              // the application was closed
  restarted,           // a successor was started, this process ended with 2
};

TFlowOutcome RunMainFlow(TIREException& exception);

}  // namespace ruvex
