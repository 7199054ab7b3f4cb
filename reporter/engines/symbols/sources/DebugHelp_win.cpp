#include <windows.h>
// dbghelp.h after windows.h.
#include <dbghelp.h>

#include "common/win/WinHandle_win.h"
#include "reporter/engines/symbols/sources/DebugHelp.h"

namespace ruvex {

namespace {

// All use of the library in this process goes through this mutex: the
// library is not thread-safe, and the host may use it too.
constexpr wchar_t kMutexName[] = L"RuvexExceptDbgHelp";

// Holds the process-wide debug-help mutex for a scope.
class TDebugHelpLock {
 public:
  TDebugHelpLock() : mutex_(CreateMutexW(nullptr, FALSE, kMutexName)), hold_(mutex_.Get(), INFINITE) {}

 private:
  kelvane::TWinHandle mutex_;
  kelvane::TMutexLock hold_;
};

using kelvane::TLibrary;

template <class F>
bool Bind(HMODULE m, const char* name, F*& f) {
  f = reinterpret_cast<F*>(reinterpret_cast<void*>(GetProcAddress(m, name)));
  return f != nullptr;
}

// The library beside our own module, else the system's copy.
HMODULE LoadDbgHelp() {
  HMODULE self = nullptr;
  wchar_t path[MAX_PATH + 16];
  if (GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                         reinterpret_cast<LPCWSTR>(&LoadDbgHelp), &self)) {
    const DWORD n = GetModuleFileNameW(self, path, MAX_PATH);
    if (n > 0 && n < MAX_PATH) {
      std::wstring p(path, n);
      p.resize(p.find_last_of(L'\\') + 1);
      p += L"dbghelp.dll";
      if (HMODULE m = LoadLibraryExW(p.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH)) return m;
    }
  }
  return LoadLibraryExW(L"dbghelp.dll", nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
}

struct TEnumContext {
  std::vector<TDbgLineRecord>* lines;
  std::vector<TDbgSymbolRecord>* symbols;
};

BOOL CALLBACK OnLine(PSRCCODEINFOW info, PVOID context) {
  auto* c = static_cast<TEnumContext*>(context);
  c->lines->push_back({std::u16string(reinterpret_cast<const char16_t*>(info->FileName)), info->LineNumber,
                       info->Address});
  return TRUE;
}

BOOL CALLBACK OnSymbol(PSYMBOL_INFOW info, ULONG, PVOID context) {
  auto* c = static_cast<TEnumContext*>(context);
  const std::size_t length = info->NameLen < info->MaxNameLen ? info->NameLen : info->MaxNameLen;
  c->symbols->push_back({std::u16string(reinterpret_cast<const char16_t*>(info->Name), length), info->Tag,
                         info->Address});
  return TRUE;
}

class TDbgHelp : public IDebugHelp {
 public:
  bool Enumerate(const std::u16string& moduleFileName, std::uint32_t imageSize, std::vector<TDbgLineRecord>& lines,
                 std::vector<TDbgSymbolRecord>& symbols) override {
    TDebugHelpLock lock;
    const UINT oldMode = SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX);
    TLibrary library(LoadDbgHelp());
    decltype(&SymInitializeW) initialize = nullptr;
    decltype(&SymCleanup) cleanup = nullptr;
    decltype(&SymLoadModuleExW) loadModule = nullptr;
    decltype(&SymUnloadModule64) unloadModule = nullptr;
    decltype(&SymGetModuleInfoW64) moduleInfo = nullptr;
    decltype(&SymEnumSymbolsW) enumSymbols = nullptr;
    decltype(&SymEnumLinesW) enumLines = nullptr;
    HMODULE m = library.Get();
    const bool bound = m && Bind(m, "SymInitializeW", initialize) && Bind(m, "SymCleanup", cleanup) &&
                       Bind(m, "SymLoadModuleExW", loadModule) && Bind(m, "SymUnloadModule64", unloadModule) &&
                       Bind(m, "SymGetModuleInfoW64", moduleInfo) && Bind(m, "SymEnumSymbolsW", enumSymbols) &&
                       Bind(m, "SymEnumLinesW", enumLines);
    // A session of our own: the library keys sessions by this value, so
    // the host's session (on its process handle) is never touched.
    const HANDLE session = reinterpret_cast<HANDLE>(&sessionKey_);
    bool ok = bound && initialize(session, nullptr, FALSE);
    SetErrorMode(oldMode);
    if (!ok) return false;
    const wchar_t* image = reinterpret_cast<const wchar_t*>(moduleFileName.c_str());
    const DWORD64 base = loadModule(session, nullptr, image, nullptr, kDbgLoadBase, imageSize, nullptr, 0);
    IMAGEHLP_MODULEW64 info{};
    info.SizeOfStruct = sizeof info;
    ok = base != 0 && moduleInfo(session, base, &info);
    if (ok) {
      TEnumContext context{&lines, &symbols};
      enumLines(session, base, nullptr, nullptr, OnLine, &context);
      enumSymbols(session, base, L"*", OnSymbol, &context);
    }
    if (base) unloadModule(session, base);
    cleanup(session);
    return ok;
  }

 private:
  int sessionKey_ = 0;
};

}  // namespace

std::unique_ptr<IDebugHelp> SystemDebugHelp() { return std::make_unique<TDbgHelp>(); }

}  // namespace ruvex
