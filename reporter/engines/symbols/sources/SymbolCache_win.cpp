#include <windows.h>

#include "reporter/engines/symbols/sources/DebugHelp.h"
#include "reporter/engines/memory/ProcessMemory.h"
#include "reporter/engines/symbols/sources/SymbolCache.h"

namespace ruvex {

namespace {

class TProcessSymbolHost : public ISymbolHost {
 public:
  TProcessSymbolHost() : debugHelp_(SystemDebugHelp()) {}
  const IMemoryReader& Memory() const override { return memory_; }
  IFileSystem& Files() override { return kelvane::DefaultFileSystem(); }
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
  std::string MinDebugInfo(Address module) const override { return ProcessMinDebugInfo(module); }

 private:
  TProcessMemory memory_;
  std::unique_ptr<IDebugHelp> debugHelp_;
};

}  // namespace

std::unique_ptr<ISymbolHost> CreateProcessSymbolHost() { return std::make_unique<TProcessSymbolHost>(); }

}  // namespace ruvex
