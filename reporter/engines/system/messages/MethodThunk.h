#pragma once
// A plain callback address that calls an object's method: the system calls
// back with its own arguments, the method receives the object first.
//
// 32-bit x86 (stack arguments): pop eax; push object; push eax;
// jmp [slot], with the method's address in the slot at the end, 17 bytes.
// x86-64 (register arguments): the first three arguments move one register
// up and the object goes into rcx, so callbacks of up to three arguments
// are served.
#include <cstdint>
#include <vector>

namespace ruvex {

constexpr std::size_t kMethodThunkSizeX86 = 17;

// The 32-bit thunk's bytes when it is placed at `thunkAddress`.
std::vector<std::uint8_t> MethodThunkCodeX86(std::uint32_t thunkAddress, std::uint32_t object, std::uint32_t method);
// The 64-bit thunk's bytes (position independent).
std::vector<std::uint8_t> MethodThunkCodeX64(std::uint64_t object, std::uint64_t method);

// Executable memory holding the thunk for this build's processor; the
// memory is written while not executable and made executable, read only,
// before it is returned. Null when the memory cannot be had. (Windows.)
void* MethodThunk(void* object, void* method);
void FreeMethodThunk(void* thunk);

}  // namespace ruvex
