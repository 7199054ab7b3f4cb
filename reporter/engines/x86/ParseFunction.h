#pragma once
// Function analysis: from an entry point, every reachable code path, the
// calls that leave the function, unresolved branches, jump tables and
// exception-handler tables.
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "reporter/engines/x86/InstrInfo.h"
#include "reporter/engines/memory/MemoryReader.h"

namespace ruvex {

struct TCodeArea {
  Address AreaBegin = 0;
  Address AreaEnd = 0;       // inclusive; 0 while not yet decoded
  bool CaseBlock = false;    // a jump table, not code
  bool OnExceptBlock = false;// an exception-handler table
  Address CalledFrom = 0;    // the jump that leads here; 0 for fall-through and entry
  TRegisters Registers{};    // state at the area's start
  bool JumpTarget = false;   // some branch of the function leads here
  bool HandlerEntry = false; // the runtime enters here: an exception or finally handler
};

// The tables that CaseBlock and OnExceptBlock areas hold. A jump table is
// one 32-bit code address per case. A typed-except table is a 32-bit count,
// then per entry the exception class (0 for the else branch) and the
// handler address, 32 bits each.
constexpr unsigned kCaseEntrySize = 4;
constexpr unsigned kOnExceptCountSize = 4;
constexpr unsigned kOnExceptEntrySize = 8;
constexpr unsigned kOnExceptHandlerOffset = 4;    // within an entry
constexpr std::uint32_t kOnExceptCountLimit = 256; // a larger count is not such a table

struct TFarCall {
  bool Call = false;  // a call, not a jump
  Address CodeAddr1 = 0, CodeAddr2 = 0;
  Address Target = 0, RelTarget = 0, PTarget = 0, PPTarget = 0;
  bool RuntimeHandler = false;  // a call to one of the runtime's exception handlers
};

struct TUnknownTarget {
  bool Call = false;
  Address CodeAddr1 = 0, CodeAddr2 = 0;
};

struct TFunctionInfo {
  bool IsValid = false;
  Address EntryPoint = 0;
  Address CodeBegin = 0;
  std::int64_t CodeLen = 0;
  Address LastErrorAddr = 0;
  std::uint32_t LastErrorNo = 0;
  std::string LastErrorStr;
  std::vector<TCodeArea> CodeAreas;
  std::vector<TFarCall> FarCalls;
  std::vector<TUnknownTarget> UnknownTargets;
  bool Interceptable = false;
  struct {
    bool IsValid = false;
    std::int64_t BufferLen = 0;
    Address LastErrorAddr = 0;
    std::uint32_t LastErrorNo = 0;
    std::string LastErrorStr;
  } Copy;
};

// The runtime routines whose calls shape a function's exception frames; 0
// when unknown.
struct TRuntimeRoutines {
  Address handleAnyException = 0;
  Address handleOnException = 0;
  Address handleAutoException = 0;
  Address handleFinally = 0;
  Address halt0 = 0;
  Address cxxThrowException = 0;   // "_CxxThrowException" of msvcrt.dll
  Address cxxFrameHandler = 0;     // the C++ exception-handling routine
};

struct TParseOptions {
  TRuntimeRoutines runtime;
  const IModuleList* modules = nullptr;
  // Whether an address is an export of a module; import thunks are looked
  // through to it.
  std::function<bool(Address)> isExport;
  // A message dispatcher whose calls come back into the program from the
  // system: they are recorded as calls to an unknown place; 0 for none.
  Address messageDispatch = 0;
  // Bounds against hostile or runaway code.
  unsigned maxAreas = 4096;
  unsigned maxInstructions = 65536;
  unsigned maxTableEntries = 256;
};

constexpr std::uint32_t kErrorInvalidParameter = 87;
constexpr std::uint32_t kErrorInvalidCode = 0x770001;

TFunctionInfo ParseFunction(const IMemoryReader& memory, Address entry, const TParseOptions& options = {});

}  // namespace ruvex
