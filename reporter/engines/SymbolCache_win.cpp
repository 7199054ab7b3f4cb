#include <windows.h>

#include "reporter/engines/DebugHelp.h"
#include "reporter/engines/SymbolCache.h"

namespace ruvex {

namespace {

// The memory of this process, read without risking a fault.
class TOwnProcessMemory : public IMemoryReader {
 public:
  bool Read(Address address, void* out, std::size_t size) const override {
    SIZE_T done = 0;
    return size == 0 || (ReadProcessMemory(GetCurrentProcess(), reinterpret_cast<LPCVOID>(address), out, size, &done) &&
                         done == size);
  }
  std::optional<MemoryRegion> RegionAt(Address address) const override {
    MEMORY_BASIC_INFORMATION info;
    if (VirtualQuery(reinterpret_cast<LPCVOID>(address), &info, sizeof info) != sizeof info ||
        info.State != MEM_COMMIT)
      return std::nullopt;
    MemoryRegion r;
    r.base = reinterpret_cast<Address>(info.BaseAddress);
    r.size = info.RegionSize;
    r.allocationBase = reinterpret_cast<Address>(info.AllocationBase);
    const DWORD p = info.Protect & 0xFF;
    r.readable = p & (PAGE_READONLY | PAGE_READWRITE | PAGE_WRITECOPY | PAGE_EXECUTE_READ | PAGE_EXECUTE_READWRITE |
                      PAGE_EXECUTE_WRITECOPY);
    r.writable = p & (PAGE_READWRITE | PAGE_WRITECOPY | PAGE_EXECUTE_READWRITE | PAGE_EXECUTE_WRITECOPY);
    r.executable = p & (PAGE_EXECUTE | PAGE_EXECUTE_READ | PAGE_EXECUTE_READWRITE | PAGE_EXECUTE_WRITECOPY);
    r.guard = (info.Protect & PAGE_GUARD) != 0;
    return r;
  }
};

class TProcessSymbolHost : public ISymbolHost {
 public:
  TProcessSymbolHost() : debugHelp_(SystemDebugHelp()) {}
  const IMemoryReader& Memory() const override { return memory_; }
  ISymbolFiles& Files() override { return SystemSymbolFiles(); }
  IDebugHelp* DebugHelp() override { return debugHelp_.get(); }
  Address OwnModule() const override {
    HMODULE self = nullptr;
    GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                       reinterpret_cast<LPCWSTR>(&CreateProcessSymbolHost), &self);
    return reinterpret_cast<Address>(self);
  }
  std::u16string ModuleFileName(Address module) const override {
    wchar_t path[MAX_PATH + 1];
    const DWORD n = GetModuleFileNameW(reinterpret_cast<HMODULE>(module), path, MAX_PATH);
    if (n == 0 || n >= MAX_PATH) return {};
    return std::u16string(reinterpret_cast<const char16_t*>(path), n);
  }

 private:
  TOwnProcessMemory memory_;
  std::unique_ptr<IDebugHelp> debugHelp_;
};

}  // namespace

std::unique_ptr<ISymbolHost> CreateProcessSymbolHost() { return std::make_unique<TProcessSymbolHost>(); }

}  // namespace ruvex
