#pragma once
// The annotated assembler listing of one analysed function, with the
// instruction at the exception address marked.
#include <string>

#include "reporter/engines/x86/InstrText.h"
#include "reporter/engines/x86/ParseFunction.h"

namespace ruvex {

struct TListingOptions {
  bool format = true;      // labels before jump targets, separators after exits
  unsigned lineLimit = 0;  // lines kept before and after the exception line; 0 = all
  // Both module lists are asked for every instruction: in a running
  // process, give them the report's TModuleListSnapshot.
  TCodeNames names;
  TParseOptions parse;
};

// Lines joined by CR LF, no line break at the end; empty when the analysis
// fails. `info` receives the analysis.
std::u16string FunctionListing(const IMemoryReader& memory, Address entry, Address exceptionAddress,
                               const TListingOptions& options, TFunctionInfo* info = nullptr);

}  // namespace ruvex
