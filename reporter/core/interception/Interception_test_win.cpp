// Installing and removing the interception points on the real API (wine64):
// whatever the program had before is back after the shut-down.
#include "reporter/core/interception/Interception_win.h"

#include <gtest/gtest.h>

using namespace ruvex;

namespace {

LONG WINAPI ProgramFilter(EXCEPTION_POINTERS*) { return EXCEPTION_CONTINUE_SEARCH; }
void ProgramTerminate() { std::abort(); }
void ProgramNewHandler() { throw std::bad_alloc(); }
void ProgramAbortSignal(int) {}
void ProgramInvalidParameter(const wchar_t*, const wchar_t*, const wchar_t*, unsigned int, uintptr_t) {}
void ProgramPurecall() {}

LPTOP_LEVEL_EXCEPTION_FILTER CurrentFilter() {
  LPTOP_LEVEL_EXCEPTION_FILTER current = SetUnhandledExceptionFilter(nullptr);
  SetUnhandledExceptionFilter(current);
  return current;
}

_purecall_handler CurrentPurecall() {
  _purecall_handler current = _set_purecall_handler(nullptr);
  _set_purecall_handler(current);
  return current;
}

void (*CurrentAbortSignal())(int) {
  auto current = std::signal(SIGABRT, SIG_DFL);
  std::signal(SIGABRT, current);
  return current;
}

}  // namespace

TEST(Interception, ShutDownGivesBackWhatTheProgramHad) {
  SetUnhandledExceptionFilter(&ProgramFilter);
  std::set_terminate(&ProgramTerminate);
  std::set_new_handler(&ProgramNewHandler);
  std::signal(SIGABRT, &ProgramAbortSignal);
  _set_invalid_parameter_handler(&ProgramInvalidParameter);
  _set_purecall_handler(&ProgramPurecall);
  {
    TReporterStartup startup;
    TInterception interception(startup);
    EXPECT_EQ(TInterception::Active(), &interception);
    EXPECT_NE(CurrentFilter(), &ProgramFilter);
    EXPECT_NE(std::get_terminate(), &ProgramTerminate);
    EXPECT_NE(std::get_new_handler(), &ProgramNewHandler);
    EXPECT_NE(CurrentAbortSignal(), &ProgramAbortSignal);
    EXPECT_NE(_get_invalid_parameter_handler(), &ProgramInvalidParameter);
    EXPECT_NE(CurrentPurecall(), &ProgramPurecall);
  }
  EXPECT_EQ(TInterception::Active(), nullptr);
  EXPECT_EQ(CurrentFilter(), &ProgramFilter);
  EXPECT_EQ(std::get_terminate(), &ProgramTerminate);
  EXPECT_EQ(std::get_new_handler(), &ProgramNewHandler);
  EXPECT_EQ(CurrentAbortSignal(), &ProgramAbortSignal);
  EXPECT_EQ(_get_invalid_parameter_handler(), &ProgramInvalidParameter);
  EXPECT_EQ(CurrentPurecall(), &ProgramPurecall);
}

TEST(Interception, APassiveReporterInterceptsNothing) {
  SetUnhandledExceptionFilter(&ProgramFilter);
  std::set_terminate(&ProgramTerminate);
  {
    // No settings block in this program: the starter is never called.
    TReporterStartup startup(&StartInterception);
    EXPECT_EQ(TInterception::Active(), nullptr);
    EXPECT_EQ(CurrentFilter(), &ProgramFilter);
    EXPECT_EQ(std::get_terminate(), &ProgramTerminate);
  }
}
