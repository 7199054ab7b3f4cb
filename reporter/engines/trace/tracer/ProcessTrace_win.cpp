#include <windows.h>

#include <intrin.h>

#include "common/win/WinText_win.h"
#include "reporter/engines/memory/ProcessMemory.h"
#include "reporter/engines/symbols/sources/SymbolCache.h"
#include "reporter/engines/trace/tracer/ProcessTrace.h"

namespace ruvex {
namespace {

Address ToAddress(const void* p) { return reinterpret_cast<std::uintptr_t>(p); }

class TProcessTraceHost : public ITraceHost {
 public:
  unsigned PointerSize() const override { return sizeof(void*); }
  const IMemoryReader& Memory() const override { return memory_; }

  // The whole user address space, not only its lower part: large-address
  // aware and 64-bit processes have modules and stacks above 2 GB.
  std::vector<MemoryRegion> CommittedRegions() const override {
    SYSTEM_INFO system{};
    GetSystemInfo(&system);
    const Address end = ToAddress(system.lpMaximumApplicationAddress);
    std::vector<MemoryRegion> out;
    for (Address a = ToAddress(system.lpMinimumApplicationAddress); a < end;) {
      MEMORY_BASIC_INFORMATION info{};
      if (VirtualQuery(reinterpret_cast<const void*>(static_cast<std::uintptr_t>(a)), &info, sizeof info) == 0) break;
      const Address next = ToAddress(info.BaseAddress) + info.RegionSize;
      if (next <= a) break;
      if (info.State == MEM_COMMIT)
        if (const auto r = memory_.RegionAt(a)) out.push_back(*r);
      a = next;
    }
    return out;
  }

  std::u16string ModuleFileName(Address module) const override {
    wchar_t path[MAX_PATH + 1];
    const DWORD n = GetModuleFileNameW(reinterpret_cast<HMODULE>(static_cast<std::uintptr_t>(module)), path, MAX_PATH);
    if (n == 0 || n >= MAX_PATH) return {};
    return kelvane::FromWide(path, n);
  }

  std::shared_ptr<const TMapFile> ModuleSymbols(Address module) override {
    // The symbol cache finds a module by any address inside it.
    return LookupModuleSymbols(module);
  }
  void BeginSymbolTrace() override {
    if (TSymbolCache* cache = ProcessSymbolCache()) cache->BeginTrace();
  }

  // The C runtime the reporter is linked with (the universal one, else the
  // classic one): its termination routine and the C++ throw never return.
  TRuntimeRoutines OwnRuntimeRoutines() const override {
    TRuntimeRoutines r;
    for (const wchar_t* crt : {L"ucrtbase.dll", L"msvcrt.dll"})
      if (HMODULE m = GetModuleHandleW(crt); m && !r.halt0)
        r.halt0 = reinterpret_cast<std::uintptr_t>(GetProcAddress(m, "exit"));
    if (HMODULE msvcrt = GetModuleHandleW(L"msvcrt.dll"))
      r.cxxThrowException = reinterpret_cast<std::uintptr_t>(GetProcAddress(msvcrt, "_CxxThrowException"));
    return r;
  }

  Address OwnModule() const override {
    HMODULE self = nullptr;
    GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                       reinterpret_cast<LPCWSTR>(&CreateProcessTraceHost), &self);
    return ToAddress(self);
  }
  Address MainModule() const override { return ToAddress(GetModuleHandleW(nullptr)); }

  Address CurrentStackPointer() const override {
    volatile char here = 0;
    return ToAddress(const_cast<char*>(&here));
  }
  // The thread information block sits at a segment register's base; the
  // compiler's bounds analysis takes the segment read for an empty array.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Warray-bounds"
  Address CurrentStackBase() const override {
    return ToAddress(reinterpret_cast<const NT_TIB*>(NtCurrentTeb())->StackBase);
  }
#pragma GCC diagnostic pop

 private:
  TProcessMemory memory_;
};

}  // namespace

std::unique_ptr<ITraceHost> CreateProcessTraceHost() { return std::make_unique<TProcessTraceHost>(); }

TStackTracer& ProcessStackTracer() {
  static const std::unique_ptr<ITraceHost> host = CreateProcessTraceHost();
  static TStackTracer tracer(*host);
  return tracer;
}

__attribute__((noinline)) std::u16string TraceCurrentStack(TTraceRequest request) {
  TStackTracer& tracer = ProcessStackTracer();
  if (request.currentAddress == 0 && !request.isException)
    request.currentAddress = ToAddress(__builtin_return_address(0));
  if (request.stackBottom == 0) request.stackBottom = tracer.Host().CurrentStackPointer();
  if (request.stackTop == 0) request.stackTop = tracer.Host().CurrentStackBase();
  return tracer.TraceStack(request);
}

}  // namespace ruvex
