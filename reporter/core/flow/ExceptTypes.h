#pragma once
// The enumerations of the exception handling flow. Their values are part of
// the interfaces handlers see, so the order is fixed.
#include <cstdint>

namespace ruvex {

enum TExceptType : std::uint8_t {
  etNormal = 0,
  etFrozen = 1,  // a freeze found by the watchdog
  etHidden = 2,  // handled by the application, shown to hidden-exception handlers only
};

enum TExceptSource : std::uint8_t {
  esManual, esAntiFreezeCheck, esTovAbnormalProgramTermination, esSysUtilsShowException,
  esApplicationShowException, esApplicationHandleException, esCGI, esISAPI, esHttpExtension,
  esIntraweb, esTThreadSynchronize, esRuntimeError, esInitializePackage, esExceptProc,
  esSystemExceptionHandler, esHidden, esThreadFrame, esTThreadExecute, esUnhandledFilter,
};

enum TExceptPhase : std::uint8_t {
  epNotHandledYet = 0,
  epQuickFiltering = 1,
  epMainPhase = 2,
  epPostProcessing = 3,
  epCompleteReport = 4,
};

// The plain action is announced before the operation, "2" after its
// assistant was completed, "3" after the operation was carried out.
enum TExceptAction : std::uint8_t {
  eaSendBugReport, eaSaveBugReport, eaPrintBugReport,
  eaSendBugReport2, eaSaveBugReport2, eaPrintBugReport2,
  eaSendBugReport3, eaSaveBugReport3, eaPrintBugReport3,
  eaShowBugReport, eaHelp, eaContinueApplication, eaRestartApplication, eaCloseApplication,
};

}  // namespace ruvex
