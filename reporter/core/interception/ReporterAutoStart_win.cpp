// The reporter's start-up as part of the program's module initialisation,
// its shut-down with the program's finalisation. Added to each program
// that takes the reporter in (ruvex_add_reporter).
#include "reporter/core/interception/Interception_win.h"

namespace {

// Before the program's own globals (priority 101 is the earliest a
// program may ask for), so that their constructors are covered too.
__attribute__((init_priority(101))) ruvex::TReporterStartup gReporter(&ruvex::StartInterception);

}  // namespace
