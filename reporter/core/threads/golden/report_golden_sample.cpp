// A program whose main thread faults in a known function while three other
// threads wait: two named through the thread registry (one of them stopped
// in a known chain of calls), one unnamed. Its own vectored handler takes
// the fault's registers, builds the report of the process and saves it into
// the file named on the command line; check_golden_report.py reads it.
// With "trace", it instead waits for an outside tool to start the exported
// process trace in it (prints "ready", ends after 20 seconds).
#include <windows.h>

#include <cstdio>
#include <string>

#include "common/text/Utf.h"
#include "common/win/WinText_win.h"
#include "reporter/core/reportfile/ReportFileWriter.h"
#include "reporter/core/threads/LiveReport_win.h"

extern "C" DWORD WINAPI RuvexTraceProcess(LPVOID maxLength);

namespace {

using namespace ruvex;

HANDLE gRelease = nullptr;
std::u16string gReportPath;
TThreadRegistry* gRegistry = nullptr;
volatile int gSink = 0;

__attribute__((noinline)) void GoldenChainInner(HANDLE ready) {
  SetEvent(ready);
  WaitForSingleObject(gRelease, 30000);
  gSink = gSink + 1;  // no tail call: the frame stays
}
__attribute__((noinline)) void GoldenChainMiddle(HANDLE ready) {
  GoldenChainInner(ready);
  gSink = gSink + 2;
}
__attribute__((noinline)) void GoldenChainOuter(HANDLE ready) {
  GoldenChainMiddle(ready);
  gSink = gSink + 3;
}

DWORD WINAPI ChainThread(void* ready) {
  GoldenChainOuter(static_cast<HANDLE>(ready));
  return 0;
}

DWORD WINAPI IdleThread(void* ready) {
  SetEvent(static_cast<HANDLE>(ready));
  WaitForSingleObject(gRelease, 30000);
  return 0;
}

int* volatile gNowhere = nullptr;

__attribute__((noinline)) void GoldenFaultingFunction(int value) {
  *gNowhere = value;  // the access violation
  gSink = gSink + value;
}

__attribute__((noinline)) void GoldenCaller() {
  GoldenFaultingFunction(42);
  gSink = gSink + 1;
}

LONG CALLBACK ReportTheFault(EXCEPTION_POINTERS* pointers) {
  if (pointers->ExceptionRecord->ExceptionCode != EXCEPTION_ACCESS_VIOLATION) return EXCEPTION_CONTINUE_SEARCH;
  TLiveException exception;
  exception.threadId = GetCurrentThreadId();
  exception.classChain = {u"EAccessViolation", u"EExternal", u"Exception"};
  exception.message = u"Access violation at a known place";
  exception.context = *pointers->ContextRecord;
  exception.address = reinterpret_cast<std::uintptr_t>(pointers->ExceptionRecord->ExceptionAddress);
  TLiveReportSetup setup;
  setup.registry = gRegistry;
  TLiveBugReport report(std::move(setup));
  report.Start(&exception);
  const bool complete = report.Complete();
  TReportFileSave save;
  save.fileName = gReportPath;
  save.report = report.Text();
  TReportFileContext context{gReportPath, gReportPath, [](int ms) { Sleep(ms); }};
  const bool saved = WriteBugReportFile(kelvane::DefaultFileSystem(), context, save);
  std::printf("complete %d saved %d\n", complete, saved);
  std::fflush(stdout);
  ExitProcess(saved && complete ? 0 : 3);
}

HANDLE Start(LPTHREAD_START_ROUTINE routine, const char16_t* name) {
  HANDLE ready = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  DWORD id = 0;
  HANDLE thread = CreateThread(nullptr, 0, routine, ready, 0, &id);
  if (name) gRegistry->NameThread(id, name);
  WaitForSingleObject(ready, 10000);
  CloseHandle(ready);
  return thread;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc < 2) return 2;
  const std::u16string mode = kelvane::FromWide(argv[1]);
  TThreadRegistry registry(GetCurrentThreadId());
  gRegistry = &registry;
  gRelease = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  Start(ChainThread, u"Golden worker");
  Start(IdleThread, u"Golden idler");
  Start(IdleThread, nullptr);
  Sleep(100);  // into their waits
  if (mode == u"trace") {
    // The tool finds the entry point by its exported name; the reference
    // keeps it in this program.
    std::printf("ready %p\n", reinterpret_cast<void*>(&RuvexTraceProcess));
    std::fflush(stdout);
    Sleep(20000);
    return 0;
  }
  gReportPath = mode;
  AddVectoredExceptionHandler(1, ReportTheFault);
  GoldenCaller();
  return 4;
}
