#include "reporter/engines/system/messages/MethodThunk.h"

namespace ruvex {
namespace {

void Append(std::vector<std::uint8_t>& code, std::uint64_t value, int bytes) {
  for (int i = 0; i < bytes; ++i) code.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
}

}  // namespace

std::vector<std::uint8_t> MethodThunkCodeX86(std::uint32_t thunkAddress, std::uint32_t object, std::uint32_t method) {
  std::vector<std::uint8_t> code;
  code.push_back(0x58);  // pop eax: the return address
  code.push_back(0x68);  // push object: the method's first argument
  Append(code, object, 4);
  code.push_back(0x50);  // push eax: the return address back on top
  code.push_back(0xFF);  // jmp [slot]
  code.push_back(0x25);
  Append(code, thunkAddress + 13, 4);
  Append(code, method, 4);  // the slot
  return code;
}

std::vector<std::uint8_t> MethodThunkCodeX64(std::uint64_t object, std::uint64_t method) {
  std::vector<std::uint8_t> code = {
      0x4D, 0x89, 0xC1,  // mov r9, r8
      0x49, 0x89, 0xD0,  // mov r8, rdx
      0x48, 0x89, 0xCA,  // mov rdx, rcx
      0x48, 0xB9,        // mov rcx, object
  };
  Append(code, object, 8);
  code.insert(code.end(), {0x48, 0xB8});  // mov rax, method
  Append(code, method, 8);
  code.insert(code.end(), {0xFF, 0xE0});  // jmp rax
  return code;
}

}  // namespace ruvex
