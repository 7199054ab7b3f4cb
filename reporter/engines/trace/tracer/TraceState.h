#pragma once
// The working state of one trace, shared by its phases.
#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "reporter/engines/trace/support/CodeModel.h"
#include "reporter/engines/trace/support/ReadableSnapshot.h"
#include "reporter/engines/trace/tracer/StackTrace.h"
#include "reporter/engines/trace/support/TraceCaches.h"

namespace ruvex {

struct TStackLink {
  int Link = -1;          // partner candidate; -1 for the candidate's own call site
  Address CodeAddr = 0;   // the call instruction the link stands for
  bool HasTarget = false;
  Address Target = 0;
  int Func = -1;          // function cache index of the function holding the return address
  std::int64_t Quality = 0;  // memoised chain score; 0: not computed
};

struct TLinkSet {
  std::vector<TStackLink> Links;
  int Best = -1;
};

// Indexed by direction: [false] callees (inner candidates), [true] callers
// (outer candidates) and the own call-site identification.
enum : int { kCallees = 0, kCallers = 1 };
using TStackLinks = std::array<TLinkSet, 2>;

struct TFinalOutput {
  Address Addr = 0;
  std::u16string ModuleName, UnitName;
  std::int32_t Line = 0;
  std::u16string PublicName;
  Address PublicAddr = 0;
  std::int32_t PublicLine = 0;
};

struct TInternalStackItem {
  Address AfterInstr = 0;
  bool DontKill = false;  // certain: top, creator, frame-chain slot, prepared flag
  bool TopItem = false;
  bool Creator = false;
  int Module = -1;
  TStackLinks Links;
  bool Invalid = false;
  TFinalOutput FinalOutput;

  // The top and the creator item stand whatever the analysis finds.
  bool Protected() const { return TopItem || Creator; }
};

struct TTraceState {
  TTraceState(ITraceHost& h, const ICodeModel& m, TTraceCaches& c, const TTraceRequest& r,
              const IMemoryReader& safe)
      : host(h), model(m), caches(c), request(r), memory(safe), pointerSize(h.PointerSize()) {}

  ITraceHost& host;
  const ICodeModel& model;
  TTraceCaches& caches;
  const TTraceRequest& request;
  const IMemoryReader& memory;  // the snapshot's safe reads
  unsigned pointerSize;

  Address bottom = 0, top = 0, current = 0;
  Address finallyReturnPoint = 0;  // 0: none
  bool creatorGiven = false;
  bool preparedGiven = false;  // cleared when the current address was not added
  std::vector<TInternalStackItem> items;
  std::size_t linkCount = 0;

  // Bounds against hostile stacks: links beyond this are not added, and a
  // call to an unknown place is linked to at most this many later candidates.
  static constexpr std::size_t kMaxLinks = 1 << 20;
  static constexpr int kUnknownTargetLookAhead = 256;
  // A recursion is recognised when one cycle of it is at most this long.
  static constexpr int kMaxRecursionCycle = 1024;

  bool Aborted() const { return request.abort && request.abort->load(); }
  void Progress(int perMille) const;
  int Count() const { return static_cast<int>(items.size()); }
  const TTraceModule* ModuleOf(const TInternalStackItem& item) const {
    return item.Module >= 0 ? &caches.Module(item.Module) : nullptr;
  }
  // Approved and not rejected in this trace.
  bool Approved(int func) const {
    return func >= 0 && caches.Function(func).approved && !caches.Function(func).invalid;
  }
};

// A confirmed call site of a return address in a function.
struct TConfirmedSite {
  Address codeAddr = 0;
  bool hasTarget = false;
  Address target = 0;
  Address afterInstr = 0;  // changed for a raise call at the top
};

// The call site of return address `r` in function `func`, as the collection
// and the deep checks confirm it. `lookup` is the address looked up for a
// top candidate.
std::optional<TConfirmedSite> FindCallSite(TTraceState& s, int func, Address r, bool top, Address lookup);
// `r` lies in one of the function's code areas: after an area's start and at
// most one byte past its end.
bool InCodeAreas(const TFunctionInfo& fi, Address r);

// The phases, in their order.
void CollectPossibleStackItems(TTraceState& s);
void RemoveRecursiveStackAreas(TTraceState& s);
void InDeepChecks(TTraceState& s);
void RealizeOptimalLinkChains(TTraceState& s);
void RemoveRecursiveAreas(TTraceState& s);
void FillFinalOutput(TTraceState& s);
std::u16string ComposeResult(TTraceState& s);

// Shared by the phases: removes every link of candidate `i` and the
// partners' links back to it.
void RemoveLinks(TTraceState& s, int i);
// Adds `link` to candidate `i`'s set `direction`; false beyond kMaxLinks.
bool AddLink(TTraceState& s, int i, int direction, const TStackLink& link);

}  // namespace ruvex
