#pragma once
// One pass over the handler lists, in the handling thread or synchronised
// into the main thread.
#include "reporter/core/extensions/HandlerRegistry.h"

namespace ruvex {

// The parameter record of a pass; it travels with the firing message when
// the pass runs in the main thread.
struct TPassRecord {
  THandlerEvent event = heException;
  TExceptAction action = eaContinueApplication;
  IREException* exceptIntf = nullptr;
  bool handled = false;
  bool callSynchronised = false;
  bool syncFailed = false;
};

// Whether a handler of `sync` takes part in the pass.
bool TakesPart(TSyncType sync, const TPassRecord& record);

// Calls the handlers that take part: methods before procedures, each list in
// registration order, each call guarded. Returns whether one was called.
bool RunHandlerPass(const THandlerSnapshot& lists, TPassRecord& record);

}  // namespace ruvex
