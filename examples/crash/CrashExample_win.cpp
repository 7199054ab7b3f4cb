// crash-example <case> <record file> [again]
// Fails the way <case> names, with the crash reporter taken in by
// ruvex_add_reporter. A handler registered through the extension points
// appends one line per exception that reaches the flow to <record file>.
// A restarted instance records that it was restarted and ends, unless
// "again" asks it to fail once more.
#include <windows.h>
#include <shellapi.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <cwchar>
#include <new>
#include <stdexcept>
#include <string>
#include <thread>

#include "common/text/Utf.h"
#include "reporter/core/handling/HandlerLists.h"
#include "reporter/core/startup/Startup_win.h"

namespace {

// The silent exception: its class name alone marks it.
struct EAbort : std::exception {
  const char* what() const noexcept override { return "Operation aborted"; }
};

std::wstring gRecordFile;
DWORD gMainThread = 0;

void Record(const std::string& line) {
  HANDLE file = CreateFileW(gRecordFile.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                            OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return;
  const std::string text = line + "\n";
  DWORD written = 0;
  WriteFile(file, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
  CloseHandle(file);
}

std::string Hex(std::uintptr_t value) {
  char text[32];
  std::snprintf(text, sizeof text, "%llx", static_cast<unsigned long long>(value));
  return text;
}

const char* ThreadKind() { return GetCurrentThreadId() == gMainThread ? "main" : "other"; }

void RegisterRecordingHandlers(const std::wstring& which) {
  static int recordKey, syncKey, throwingKey;
  auto& handlers = ruvex::ProcessHandlerRegistry();
  handlers.RegisterExceptionHandler(
      &recordKey,
      [](ruvex::IREException& exception, bool&) {
        const auto base = reinterpret_cast<std::uintptr_t>(GetModuleHandleW(nullptr));
        const std::uintptr_t address = exception.GetExceptAddr();
        Record("source=" + std::to_string(exception.GetSource()) +
               " class=" + kelvane::Utf16ToUtf8(exception.GetExceptClass()) +
               " rva=" + Hex(address >= base ? address - base : 0) +
               " continue=" + std::to_string(exception.GetCanContinue()) + " pid=" +
               std::to_string(GetCurrentProcessId()) + " message=" + kelvane::Utf16ToUtf8(exception.GetExceptMessage()));
      },
      ruvex::THandlerForm::procedure, ruvex::stDontSync, ruvex::epQuickFiltering);
  if (which == L"blocked-main" || which == L"throw-main")
    handlers.RegisterExceptionHandler(
        &syncKey, [](ruvex::IREException&, bool&) { Record(std::string("synchronised in=") + ThreadKind()); },
        ruvex::THandlerForm::procedure, ruvex::stTrySyncCallAlways, ruvex::epQuickFiltering);
  if (which == L"handler-faults")
    handlers.RegisterExceptionHandler(
        &throwingKey, [](ruvex::IREException&, bool&) { *reinterpret_cast<volatile int*>(0x30) = 1; },
        ruvex::THandlerForm::procedure, ruvex::stDontSync, ruvex::epQuickFiltering);
  if (which == L"handler-throws")
    handlers.RegisterExceptionHandler(
        &throwingKey, [](ruvex::IREException&, bool&) { throw std::runtime_error("raised inside a handler"); },
        ruvex::THandlerForm::procedure, ruvex::stDontSync, ruvex::epQuickFiltering);
}

// --- the failures ---

[[gnu::noinline]] void ThrowFromMain() { throw std::runtime_error("thrown on purpose"); }
[[gnu::noinline]] void ThrowFromThread() { throw std::logic_error("thrown in a second thread"); }

// Ends only when the stack does; the condition keeps the compiler from
// seeing that.
[[gnu::noinline]] int Recurse(int depth) {
  volatile char room[512];
  room[0] = static_cast<char>(depth);
  if (room[0] == 1 && depth < 0) return 0;
  return Recurse(depth + 1) + room[0];
}

struct TBase {
  TBase() { CallFromBase(); }
  virtual ~TBase() = default;
  virtual void Pure() = 0;
  void CallFromBase() { Pure(); }
};
struct TDerived : TBase {
  void Pure() override {}
};

void ThrowInThread() {
  std::thread worker(ThrowFromThread);
  worker.join();
  Record("continued");
}

// Done where the program can go on after the report.
bool Fail(const std::wstring& which) {
  if (which == L"av-read") {
    volatile int* address = reinterpret_cast<volatile int*>(0x10);
    return *address == 0;
  }
  if (which == L"av-write") {
    *reinterpret_cast<volatile int*>(0x20) = 1;
  } else if (which == L"div-zero") {
    volatile int zero = 0;
    volatile int result = 7 / zero;
    (void)result;
  } else if (which == L"stack-overflow") {
    Recurse(0);
  } else if (which == L"throw-main" || which == L"handler-throws") {
    ThrowFromMain();
  } else if (which == L"rethrow-main") {
    try {
      ThrowFromMain();
    } catch (...) {
      throw;
    }
  } else if (which == L"throw-thread" || which == L"handler-faults") {
    ThrowInThread();
  } else if (which == L"terminate") {
    std::terminate();
  } else if (which == L"invalid-parameter") {
    // The system runtime here checks no parameters itself: call the handler
    // the runtime library has registered, as its checking functions do.
    if (_invalid_parameter_handler handler = _get_invalid_parameter_handler())
      handler(nullptr, nullptr, nullptr, 0, 0);
    Record("continued");
  } else if (which == L"pure-call") {
    TDerived derived;
  } else if (which == L"abort") {
    std::abort();
  } else if (which == L"out-of-memory") {
    // More than any address space holds: the allocation fails at once.
    volatile std::size_t huge = std::size_t(1) << 62;
    static_cast<char*>(::operator new(huge))[0] = 1;
  } else if (which == L"abort-exception") {
    throw EAbort();
  } else if (which == L"thread-name") {
    const char name[] = "named worker";
    const ULONG_PTR info[4] = {0x1000, reinterpret_cast<ULONG_PTR>(name), static_cast<ULONG_PTR>(-1), 0};
    RaiseException(0x406D1388, 0, 4, info);
    Record("named " + kelvane::Utf16ToUtf8(
                          ruvex::TReporterStartup::Current()->Registry()->Describe(GetCurrentThreadId(), true).text));
  } else if (which == L"blocked-main") {
    std::thread worker(ThrowFromThread);
    Sleep(6000);  // blocked: no messages flow
    worker.join();
    Record("continued");
  } else {
    return false;
  }
  return true;
}

}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
  gMainThread = GetCurrentThreadId();
  int argc = 0;
  wchar_t** argv = CommandLineToArgvW(GetCommandLineW(), &argc);
  if (argc < 3) return 3;
  const std::wstring which = argv[1];
  gRecordFile = argv[2];
  const bool again = argc > 3 && std::wcscmp(argv[3], L"again") == 0;
  ruvex::TReporterStartup* reporter = ruvex::TReporterStartup::Current();
  if (reporter && reporter->IsRestartedInstance()) {
    Record("restarted newest=" + std::to_string(reporter->ExceptionTimes()[0]));
    if (!again) return 0;
  }
  RegisterRecordingHandlers(which);
  if (which == L"leftover-av-read") {
    // Something left in the reporter's temporary folder goes with the next
    // exception handling.
    const std::wstring folder = reporter->TempFolder();
    CreateDirectoryW(folder.c_str(), nullptr);
    const std::wstring leftover = folder + L"leftover.txt";
    CloseHandle(CreateFileW(leftover.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
    Record("leftover " + kelvane::Utf16ToUtf8(std::u16string(leftover.begin(), leftover.end())));
    return Fail(L"av-read") ? 0 : 3;
  }
  if (which == L"moved-av-read") {
    // Its file is gone from where the command line names it: a restart
    // cannot start the successor.
    wchar_t self[MAX_PATH];
    GetModuleFileNameW(nullptr, self, MAX_PATH);
    if (!MoveFileW(self, (std::wstring(self) + L".moved").c_str())) return 4;
    return Fail(L"av-read") ? 0 : 3;
  }
  return Fail(which) ? 0 : 3;
}
