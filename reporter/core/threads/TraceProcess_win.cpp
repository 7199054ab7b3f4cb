// The process trace entry point that an outside tool starts in a thread of
// this process: a complete report of every thread, into the trace block or
// onto the clipboard.
#include <windows.h>

#include <cstring>
#include <memory>

#include "common/text/Utf.h"
#include "common/win/WinHandle_win.h"
#include "reporter/core/startup/Startup_win.h"
#include "reporter/core/threads/LiveReport_win.h"
#include "reporter/core/threads/TraceBlock.h"

namespace ruvex {
namespace {

bool PutOnClipboard(const std::u16string& text) {
  if (!OpenClipboard(nullptr)) return false;
  EmptyClipboard();
  HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, (text.size() + 1) * sizeof(char16_t));
  bool placed = false;
  if (memory) {
    if (void* target = GlobalLock(memory)) {
      std::memcpy(target, text.c_str(), (text.size() + 1) * sizeof(char16_t));
      GlobalUnlock(memory);
      placed = SetClipboardData(CF_UNICODETEXT, memory) != nullptr;
    }
    if (!placed) GlobalFree(memory);  // the clipboard owns it only once placed
  }
  CloseClipboard();
  return placed;
}

bool WriteTraceBlock(const std::string& utf8, long long maxLength) {
  kelvane::TWinHandle mapping(OpenFileMappingW(FILE_MAP_WRITE, FALSE, kTraceBlockName));
  if (!mapping) mapping = kelvane::TWinHandle(OpenFileMappingW(FILE_MAP_WRITE, FALSE, kTraceBlockFallbackName));
  if (!mapping) return false;
  kelvane::TMappedView view(mapping.Get(), FILE_MAP_WRITE, 0);
  if (!view.Get()) return false;
  const std::size_t n = TraceBlockLength(utf8, maxLength, view.RegionSize());
  char* target = static_cast<char*>(view.Get());
  std::memcpy(target, utf8.data(), n);
  target[n] = 0;
  return true;
}

}  // namespace
}  // namespace ruvex

// Undecorated in both builds: tools find it by this name.
extern "C" __declspec(dllexport) DWORD WINAPI RuvexTraceProcess(LPVOID maxLength) {
  using namespace ruvex;
  // The registry of the process (the start-up's, or one another module
  // opened), held for this trace; a passive reporter has none of its own.
  TReporterStartup* reporter = TReporterStartup::Current();
  std::unique_ptr<TThreadRegistry> opened;
  TThreadRegistry* registry = reporter ? reporter->Registry() : nullptr;
  if (!registry) {
    opened = std::make_unique<TThreadRegistry>(FirstThreadOfProcess());
    if (opened->Valid()) registry = opened.get();
  }
  const DWORD self = GetCurrentThreadId();
  if (registry) registry->NameThread(self, kelvane::Utf8ToUtf16(kTraceThreadName));
  try {
    const std::u16string report = TraceProcessReport(registry);
    const long long limit = static_cast<long long>(reinterpret_cast<INT_PTR>(maxLength));
    if (limit < 1)
      PutOnClipboard(report);
    else
      WriteTraceBlock(kelvane::Utf16ToUtf8(report), limit);
  } catch (...) {
    // An outside tool's thread must not bring the process down.
  }
  if (registry) registry->RemoveThread(self);
  return 0;
}
