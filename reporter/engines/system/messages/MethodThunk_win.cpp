#include <windows.h>

#include <cstring>

#include "reporter/engines/system/messages/MethodThunk.h"

namespace ruvex {

void* MethodThunk(void* object, void* method) {
  // One allocation per thunk: pages shared between thunks would have to
  // turn writable again while other thunks on them may be running.
  void* memory = VirtualAlloc(nullptr, 64, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE);
  if (!memory) return nullptr;
  const auto address = reinterpret_cast<std::uintptr_t>(memory);
#if defined(_WIN64)
  const std::vector<std::uint8_t> code =
      MethodThunkCodeX64(reinterpret_cast<std::uintptr_t>(object), reinterpret_cast<std::uintptr_t>(method));
#else
  const std::vector<std::uint8_t> code =
      MethodThunkCodeX86(static_cast<std::uint32_t>(address), static_cast<std::uint32_t>(reinterpret_cast<std::uintptr_t>(object)),
                         static_cast<std::uint32_t>(reinterpret_cast<std::uintptr_t>(method)));
#endif
  std::memcpy(memory, code.data(), code.size());
  DWORD old = 0;
  if (!VirtualProtect(memory, code.size(), PAGE_EXECUTE_READ, &old)) {
    VirtualFree(memory, 0, MEM_RELEASE);
    return nullptr;
  }
  FlushInstructionCache(GetCurrentProcess(), memory, code.size());
  (void)address;
  return memory;
}

void FreeMethodThunk(void* thunk) {
  if (thunk) VirtualFree(thunk, 0, MEM_RELEASE);
}

}  // namespace ruvex
