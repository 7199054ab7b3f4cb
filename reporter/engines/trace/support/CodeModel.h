#pragma once
// The instruction-set knowledge the stack tracer needs: whether a stack
// value can be a return address, which call ends at it and where that call
// goes, instruction lengths, and the analysis of a whole function. The
// tracer itself knows only pointer widths; the 32-bit x86 model is the one
// built on the existing decoder.
#include <optional>

#include "reporter/engines/memory/MemoryReader.h"
#include "reporter/engines/x86/ParseFunction.h"

namespace ruvex {

struct TCallSite {
  Address codeAddr = 0;  // the call instruction
  bool hasTarget = false;
  Address target = 0;
};

class ICodeModel {
 public:
  virtual ~ICodeModel() = default;
  // A quick look at the bytes before `value`: could a call end there?
  virtual bool LooksLikeReturnAddress(const IMemoryReader& memory, Address value) const = 0;
  // The call instruction that starts at `start` and ends exactly at
  // `returnAddress`, if there is one.
  virtual std::optional<TCallSite> CallAt(const IMemoryReader& memory, Address start, Address returnAddress) const = 0;
  // The address after the instruction at `address`; none when it cannot be
  // read or decoded.
  virtual std::optional<Address> NextInstruction(const IMemoryReader& memory, Address address) const = 0;
  virtual TFunctionInfo AnalyseFunction(const IMemoryReader& memory, Address entry,
                                        const TParseOptions& options) const = 0;
  // False when AnalyseFunction refuses every function: call sites are then
  // confirmed from the call instruction before the return address alone.
  virtual bool AnalysesFunctions() const { return true; }
  // The longest call instruction, so the search for one ending at an
  // address knows how far back to start.
  virtual unsigned LongestCall() const = 0;
  virtual unsigned ShortestCall() const = 0;
};

// 64-bit x86 (x64) over the decoder's 64-bit mode: near calls of every
// form, REX-prefixed and RIP-relative ones included. There is no far call
// with an immediate pointer in this mode. Function analysis is the
// analyser's, which reads 32-bit code only: every function is refused.
class TX86CodeModel64 : public ICodeModel {
 public:
  bool LooksLikeReturnAddress(const IMemoryReader& memory, Address value) const override;
  std::optional<TCallSite> CallAt(const IMemoryReader& memory, Address start, Address returnAddress) const override;
  std::optional<Address> NextInstruction(const IMemoryReader& memory, Address address) const override;
  TFunctionInfo AnalyseFunction(const IMemoryReader& memory, Address entry,
                                const TParseOptions& options) const override;
  bool AnalysesFunctions() const override { return false; }
  // A segment or branch-hint prefix, REX, FF, ModR/M, SIB and a 32-bit displacement.
  unsigned LongestCall() const override { return 9; }
  unsigned ShortestCall() const override { return 2; }
};

// 32-bit x86 over the existing decoder and function analyser.
class TX86CodeModel32 : public ICodeModel {
 public:
  bool LooksLikeReturnAddress(const IMemoryReader& memory, Address value) const override;
  std::optional<TCallSite> CallAt(const IMemoryReader& memory, Address start, Address returnAddress) const override;
  std::optional<Address> NextInstruction(const IMemoryReader& memory, Address address) const override;
  TFunctionInfo AnalyseFunction(const IMemoryReader& memory, Address entry,
                                const TParseOptions& options) const override;
  unsigned LongestCall() const override { return 7; }
  unsigned ShortestCall() const override { return 2; }
};

}  // namespace ruvex
