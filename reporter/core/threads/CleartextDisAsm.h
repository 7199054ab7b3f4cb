#pragma once
// The "disassembling" section: the exception function's listing with the
// exception line marked.
#include <string>

#include "reporter/engines/x86/FunctionListing.h"

namespace ruvex {

struct TDisAsmRequest {
  Address function = 0;  // start of the exception function; 0: none known
  Address address = 0;   // the exception address within it
  unsigned pointerSize = 4;
  bool format = false;   // FormatDisAsm
  unsigned limit = 5;    // LimitDisAsm: lines kept before and after the marked one; 0: all
  TCodeNames names;
  TParseOptions parse;
};

// Empty when no function is known or it cannot be analysed. 32-bit code
// goes through the function analysis; 64-bit code, which it does not
// model, is decoded straight from the function's start.
std::u16string GetCleartextDisAsm(const IMemoryReader& memory, const TDisAsmRequest& request);

}  // namespace ruvex
