#pragma once
// One request to the handling thread: a fixed-size record of plain values,
// written by the faulting thread, which owns everything it points to and
// waits until the request is done.
#include <array>
#include <cstddef>
#include <cstdint>
#include <string>

#include "common/win/NativeHandles.h"
#include "reporter/core/flow/ExceptTypes.h"

namespace ruvex {

// Room for the operating system's exception record of a 64-bit process.
inline constexpr std::size_t kExceptionRecordSize = 152;

struct THandlingRequest {
  // The event set when the request is done; none asks the handling thread to end.
  kelvane::TKernelHandle completionEvent;
  std::uint32_t threadId = 0;
  TExceptType exceptType = etNormal;
  std::uintptr_t exceptObject = 0;
  std::uintptr_t exceptAddr = 0;
  bool canContinue = true;
  std::uintptr_t stackPointer = 0;
  std::uintptr_t framePointer = 0;
  const void* context = nullptr;
  std::array<std::byte, kExceptionRecordSize> exceptionRecord{};
  // Receives the complete bug report (web and service callers); may be null.
  std::u16string* resultText = nullptr;
  TExceptSource source = esManual;
  std::uintptr_t relatedObject = 0;
  kelvane::TModuleHandle package;
  const char16_t* preparedStack = nullptr;
  std::size_t preparedStackLength = 0;
  const void* innerExceptions = nullptr;  // head of the thread's inner-exception chain

  bool AsksToEnd() const { return !completionEvent; }
};

}  // namespace ruvex
