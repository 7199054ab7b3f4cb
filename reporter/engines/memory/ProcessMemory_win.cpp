#include <windows.h>
#include <tlhelp32.h>

#include "reporter/engines/memory/ProcessMemory.h"

namespace ruvex {
namespace {

constexpr DWORD kReadable = PAGE_READONLY | PAGE_READWRITE | PAGE_WRITECOPY | PAGE_EXECUTE_READ |
                            PAGE_EXECUTE_READWRITE | PAGE_EXECUTE_WRITECOPY;
constexpr DWORD kWritable = PAGE_READWRITE | PAGE_WRITECOPY | PAGE_EXECUTE_READWRITE | PAGE_EXECUTE_WRITECOPY;
constexpr DWORD kExecutable = PAGE_EXECUTE | PAGE_EXECUTE_READ | PAGE_EXECUTE_READWRITE | PAGE_EXECUTE_WRITECOPY;

class TSnapshot {
 public:
  explicit TSnapshot(HANDLE h) : h_(h) {}
  ~TSnapshot() {
    if (h_ != INVALID_HANDLE_VALUE) CloseHandle(h_);
  }
  TSnapshot(const TSnapshot&) = delete;
  TSnapshot& operator=(const TSnapshot&) = delete;
  HANDLE get() const { return h_; }

 private:
  HANDLE h_;
};

}  // namespace

std::optional<MemoryRegion> TProcessMemory::RegionAt(Address address) const {
  if (address > static_cast<Address>(UINTPTR_MAX)) return std::nullopt;
  MEMORY_BASIC_INFORMATION info{};
  if (VirtualQuery(reinterpret_cast<const void*>(static_cast<std::uintptr_t>(address)), &info, sizeof info) == 0)
    return std::nullopt;
  if (info.State != MEM_COMMIT) return std::nullopt;
  MemoryRegion r;
  r.base = reinterpret_cast<std::uintptr_t>(info.BaseAddress);
  r.size = info.RegionSize;
  r.allocationBase = reinterpret_cast<std::uintptr_t>(info.AllocationBase);
  const DWORD protect = info.Protect & 0xFF;
  r.readable = (protect & kReadable) != 0;
  r.writable = (protect & kWritable) != 0;
  r.executable = (protect & kExecutable) != 0;
  r.guard = (info.Protect & (PAGE_GUARD | PAGE_NOACCESS)) != 0;
  return r;
}

bool TProcessMemory::Read(Address address, void* out, std::size_t size) const {
  if (size == 0) return true;
  if (address > static_cast<Address>(UINTPTR_MAX) || size - 1 > static_cast<Address>(UINTPTR_MAX) - address)
    return false;
  // Check the pages first: touching a guard page would disarm it.
  for (Address pos = address; pos < address + size;) {
    const auto region = RegionAt(pos);
    if (!region || !region->readable || region->guard) return false;
    pos = region->base + region->size;
  }
  // The pages may change between the check and the read; the system's copy
  // fails instead of faulting then.
  SIZE_T copied = 0;
  return ReadProcessMemory(GetCurrentProcess(), reinterpret_cast<const void*>(static_cast<std::uintptr_t>(address)),
                           out, size, &copied) &&
         copied == size;
}

std::vector<ModuleEntry> TProcessMemory::Modules() const {
  std::vector<ModuleEntry> out;
  TSnapshot snapshot(CreateToolhelp32Snapshot(TH32CS_SNAPMODULE, GetCurrentProcessId()));
  if (snapshot.get() == INVALID_HANDLE_VALUE) return out;
  MODULEENTRY32W entry{};
  entry.dwSize = sizeof entry;
  for (BOOL more = Module32FirstW(snapshot.get(), &entry); more; more = Module32NextW(snapshot.get(), &entry)) {
    out.push_back(ModuleEntry{reinterpret_cast<std::uintptr_t>(entry.modBaseAddr), entry.modBaseSize,
                              reinterpret_cast<const char16_t*>(entry.szExePath)});
  }
  return out;
}

}  // namespace ruvex
