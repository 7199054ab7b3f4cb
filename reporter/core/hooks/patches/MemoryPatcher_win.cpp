#include <windows.h>

#include "reporter/core/hooks/patches/MemoryPatcher.h"
#include "reporter/engines/memory/ProcessMemory.h"

namespace ruvex {
namespace {

void* Pointer(Address address) { return reinterpret_cast<void*>(static_cast<std::uintptr_t>(address)); }

// A free allocation unit within 1 GB of `nearTo`, searched outwards in both
// directions, so that a 5-byte jump from there reaches it.
Address AllocateNear(std::size_t size, Address nearTo) {
  constexpr Address kUnit = 0x10000, kReach = 0x40000000;
  const Address start = nearTo & ~(kUnit - 1);
  for (Address delta = kUnit; delta < kReach; delta += kUnit) {
    for (const Address at : {start - delta, start + delta}) {
      if (at < kUnit) continue;
      MEMORY_BASIC_INFORMATION info{};
      if (VirtualQuery(Pointer(at), &info, sizeof info) != sizeof info || info.State != MEM_FREE) continue;
      if (void* p = VirtualAlloc(Pointer(at), size, MEM_COMMIT | MEM_RESERVE, PAGE_EXECUTE_READWRITE))
        return reinterpret_cast<std::uintptr_t>(p);
    }
  }
  return 0;
}

class TProcessMemoryPatcher : public IMemoryPatcher {
 public:
  bool Read(Address address, void* out, std::size_t size) const override { return memory_.Read(address, out, size); }
  std::optional<MemoryRegion> RegionAt(Address address) const override { return memory_.RegionAt(address); }

  std::optional<std::uint32_t> MakeWritable(Address address, std::size_t size) override {
    DWORD old = 0;
    if (!VirtualProtect(Pointer(address), size, PAGE_EXECUTE_READWRITE, &old)) return std::nullopt;
    return old;
  }
  void RestoreProtection(Address address, std::size_t size, std::uint32_t oldProtection) override {
    DWORD ignored = 0;
    VirtualProtect(Pointer(address), size, oldProtection, &ignored);
  }
  bool Write(Address address, const void* bytes, std::size_t size) override {
    // Through the system, so that a page that went away fails instead of faulting.
    SIZE_T written = 0;
    return WriteProcessMemory(GetCurrentProcess(), Pointer(address), bytes, size, &written) && written == size;
  }
  void FlushCode(Address address, std::size_t size) override {
    FlushInstructionCache(GetCurrentProcess(), Pointer(address), size);
  }
  Address AllocateCode(std::size_t size, Address nearTo) override {
    if (nearTo && sizeof(void*) == 8)
      if (Address nearby = AllocateNear(size, nearTo)) return nearby;
    return reinterpret_cast<std::uintptr_t>(
        VirtualAlloc(nullptr, size, MEM_COMMIT | MEM_RESERVE, PAGE_EXECUTE_READWRITE));
  }
  void FreeCode(Address address) override {
    if (address) VirtualFree(Pointer(address), 0, MEM_RELEASE);
  }

 private:
  TProcessMemory memory_;
};

}  // namespace

std::unique_ptr<IMemoryPatcher> CreateProcessMemoryPatcher() { return std::make_unique<TProcessMemoryPatcher>(); }

}  // namespace ruvex
