// Phase 1: every stack slot whose value could be a return address becomes a
// candidate, with the call site that would have pushed it when one is found.
#include <algorithm>

#include "common/bytes/LittleEndian.h"
#include "reporter/engines/trace/support/FrameChain.h"
#include "reporter/engines/trace/tracer/TraceState.h"
#include "reporter/ui/ProgressAlert.h"

namespace ruvex {

bool InCodeAreas(const TFunctionInfo& fi, Address r) {
  for (const TCodeArea& a : fi.CodeAreas)
    if (!a.CaseBlock && !a.OnExceptBlock && a.AreaEnd != 0 && a.AreaBegin < r && r <= a.AreaEnd + 1) return true;
  return false;
}

namespace {

bool InAnalysedCode(const TFunctionInfo& fi, Address a) {
  for (const TCodeArea& area : fi.CodeAreas)
    if (!area.CaseBlock && !area.OnExceptBlock && area.AreaBegin <= a && a <= area.AreaEnd) return true;
  return false;
}

bool NamesRaise(const std::u16string& name) {
  return name.find(u"@RaiseExcept") != std::u16string::npos || name.find(u"Error") != std::u16string::npos;
}

// The instruction of the area that ends exactly at `r`, decoding from the
// area's start.
std::optional<Address> InstructionEndingAt(const TTraceState& s, const TCodeArea& area, Address r) {
  Address a = area.AreaBegin;
  for (unsigned steps = 0; a < r && steps < 65536; ++steps) {
    const std::optional<Address> next = s.model.NextInstruction(s.memory, a);
    if (!next) return std::nullopt;
    if (*next == r) return a;
    a = *next;
  }
  return std::nullopt;
}

// Without analysed code a function holds what lies between its entry and
// the next known function's entry.
bool WithinUnanalysed(const TTraceState& s, int func, Address r) {
  if (func < 0) return true;
  const Address entry = s.caches.Function(func).fi.EntryPoint;
  if (r <= entry) return false;
  for (int g = 0; g < s.caches.FunctionCount(); ++g) {
    const Address other = s.caches.Function(g).fi.EntryPoint;
    if (other > entry && other < r) return false;
  }
  return true;
}

// Without function analysis only the call instruction itself confirms a
// return address: the one that ends exactly at `r`, tried from each start a
// call of the model's lengths could have.
std::optional<TConfirmedSite> DecodedCallEndingAt(const TTraceState& s, int func, Address r) {
  if (!WithinUnanalysed(s, func, r)) return std::nullopt;
  for (unsigned length = s.model.ShortestCall(); length <= s.model.LongestCall(); ++length) {
    if (r < length) break;
    if (const std::optional<TCallSite> c = s.model.CallAt(s.memory, r - length, r))
      return TConfirmedSite{c->codeAddr, c->hasTarget, c->target, r};
  }
  return std::nullopt;
}

// A certain location in a function without analysed code: the instruction
// that ends at `r`, found at the looked-up or the current address.
std::optional<TConfirmedSite> UnanalysedTop(const TTraceState& s, int func, Address r, Address lookup) {
  if (func >= 0 && r != s.caches.Function(func).fi.EntryPoint && !WithinUnanalysed(s, func, r)) return std::nullopt;
  for (Address start : {lookup, s.current})
    if (s.model.NextInstruction(s.memory, start) == r) return TConfirmedSite{start, false, 0, r};
  return TConfirmedSite{r, false, 0, r};
}

}  // namespace

std::optional<TConfirmedSite> FindCallSite(TTraceState& s, int func, Address r, bool top, Address lookup) {
  if (func >= 0 && s.caches.Function(func).invalid) return std::nullopt;
  if (!s.model.AnalysesFunctions()) return top ? UnanalysedTop(s, func, r, lookup) : DecodedCallEndingAt(s, func, r);
  if (func < 0) return std::nullopt;
  if (!top) {
    const TFunctionInfo& fi = s.caches.Function(func).fi;
    for (const TUnknownTarget& u : fi.UnknownTargets)
      if (u.CodeAddr2 == r) return TConfirmedSite{u.CodeAddr1, false, 0, r};
    for (const TFarCall& c : fi.FarCalls)
      if (c.Call && c.CodeAddr2 == r) return TConfirmedSite{c.CodeAddr1, c.Target != 0, c.Target, r};
    return std::nullopt;
  }
  // Copies: adding functions below may move the cache's entries.
  const TFunctionInfo fi = s.caches.Function(func).fi;
  if (fi.CodeLen < 1) {
    if (r == fi.EntryPoint) return TConfirmedSite{fi.EntryPoint, false, 0, r};
    return std::nullopt;
  }
  if (!s.request.externalException) {
    // A raise statement: the exception is shown at the call of the raising
    // routine.
    for (const TFarCall& c : fi.FarCalls) {
      if (c.CodeAddr2 != lookup || c.Target == 0) continue;
      const int target = s.caches.AddFunction(c.Target, {}, false);
      if (target >= 0 && NamesRaise(s.caches.Function(target).name))
        return TConfirmedSite{c.CodeAddr1, true, c.Target, c.CodeAddr2};
    }
  }
  for (const TCodeArea& area : fi.CodeAreas) {
    if (area.CaseBlock || area.OnExceptBlock || area.AreaEnd == 0) continue;
    if (!(area.AreaBegin < r && r <= area.AreaEnd + 1)) continue;
    if (const std::optional<Address> at = InstructionEndingAt(s, area, r)) return TConfirmedSite{*at, false, 0, r};
  }
  return std::nullopt;
}

void TTraceState::Progress(int perMille) const {
  if (request.progress) request.progress->SetPosition(perMille);
}

namespace {

struct TOffer {
  Address value = 0;
  std::optional<Address> slot;  // none for prepared entries, the creator and the current address
  bool exact = false;
  bool creator = false;
  bool prepared = false;  // flagged in a prepared stack
};

class TCollector {
 public:
  TCollector(TTraceState& s, TFrameSlots* frames) : s_(s), frames_(frames) {}

  // True when the value became a candidate.
  bool Offer(const TOffer& o);

 private:
  struct TIdentified {
    bool asked = false;  // a function was there to confirm the call site
    std::optional<TConfirmedSite> site;
    int func = -1;
  };
  TIdentified Identify(const TTraceModule& m, Address v, Address lookup, bool top, Address afterInstr);
  TIdentified WithSymbols(const TTraceModule& m, Address v, Address lookup, bool top, Address afterInstr);

  TTraceState& s_;
  TFrameSlots* frames_;
};

TCollector::TIdentified TCollector::WithSymbols(const TTraceModule& m, Address v, Address lookup, bool top,
                                                Address afterInstr) {
  TIdentified id;
  id.asked = true;
  const TMfPublic& p = m.mapFile->FindPublic(lookup);
  if (!p.IsValid) return id;
  const int f = s_.caches.AddFunction(p.Address, p.Name, true);
  if (f < 0) return id;
  id.func = f;
  const Address r = top ? afterInstr : v;
  if ((id.site = FindCallSite(s_, f, r, top, lookup))) return id;
  // A nested routine or a label jumped to by a far call inside the public.
  const std::vector<TFarCall> calls = s_.caches.Function(f).fi.FarCalls;
  for (const TFarCall& c : calls) {
    const Address t = c.Target;
    if (t <= p.Address) continue;
    const TMfPublic& owner = m.mapFile->FindPublic(t);
    if (!InAnalysedCode(s_.caches.Function(f).fi, t) && !(owner.IsValid && owner.Address == p.Address)) continue;
    const int g = s_.caches.AddFunction(t, p.Name + u".@label", true);
    if (g < 0) continue;
    if ((id.site = FindCallSite(s_, g, r, top, lookup))) {
      id.func = g;
      return id;
    }
  }
  return id;
}

TCollector::TIdentified TCollector::Identify(const TTraceModule& m, Address v, Address lookup, bool top,
                                             Address afterInstr) {
  if (m.mapFile) return WithSymbols(m, v, lookup, top, afterInstr);
  TIdentified id;
  if (m.handle == s_.host.MainModule()) return id;
  // The nearest export or the entry point below the address starts its
  // function.
  Address entry = m.entryPoint < v ? m.entryPoint : 0;
  const auto above = std::lower_bound(m.exports.begin(), m.exports.end(), v,
                                      [](const TTraceExport& e, Address a) { return e.address < a; });
  if (above != m.exports.begin()) entry = std::max(entry, std::prev(above)->address);
  if (entry == 0) return id;
  const int f = s_.caches.AddFunction(entry, {}, true);
  if (!top && !s_.model.AnalysesFunctions()) {
    id.asked = true;
    id.func = f;
    id.site = FindCallSite(s_, f, v, top, lookup);
    return id;
  }
  if (f < 0 || !InCodeAreas(s_.caches.Function(f).fi, v)) return id;
  id.asked = true;
  id.func = f;
  id.site = FindCallSite(s_, f, top ? afterInstr : v, top, lookup);
  return id;
}

bool TCollector::Offer(const TOffer& o) {
  const Address v = o.value;
  const bool frameNext = o.slot && frames_ && frames_->IsNext(*o.slot);
  // A finally block in progress, not a caller.
  if (s_.finallyReturnPoint != 0 && v == s_.finallyReturnPoint) return false;
  const bool top = o.exact || o.creator || (s_.request.isException && v == s_.current);
  if (!top && v < 8) return false;
  const Address lookup = top ? v : v - 1;
  Address afterInstr = v;
  if (top)
    if (const std::optional<Address> next = s_.model.NextInstruction(s_.memory, v)) afterInstr = *next;

  const std::optional<MemoryRegion> region = s_.memory.RegionAt(lookup);
  const bool moduleCheck = region && region->allocationBase != 0 && v > 7 &&
                           (top || s_.model.LooksLikeReturnAddress(s_.memory, v));
  if (!moduleCheck && !top) return false;
  const int module = moduleCheck ? s_.caches.RegisterModule(region->allocationBase) : -1;
  // Outside every module only generated code can hold a return address.
  if (module < 0 && !top && !region->executable) return false;
  if (module >= 0 && !top) {
    const TTraceModule& m = s_.caches.Module(module);
    if (!m.InCode(v) && !m.InData(v)) return false;
  }

  TIdentified id;
  if (module >= 0 && s_.caches.Module(module).InCode(v))
    id = Identify(s_.caches.Module(module), v, lookup, top, afterInstr);

  std::optional<TConfirmedSite> site = id.site;
  if (top && !site && (!s_.request.isException || s_.request.externalException)) {
    site = TConfirmedSite{lookup, false, 0, afterInstr};
    std::uint8_t byte = 0;
    if (!s_.memory.ReadValue(v, byte)) id.func = s_.caches.AddFunction(v, {}, true, true);  // a jump to nowhere
  }
  if (!(top || id.site || !id.asked || o.prepared || frameNext)) return false;

  TInternalStackItem item;
  item.AfterInstr = site ? site->afterInstr : afterInstr;
  item.DontKill = top || o.prepared || frameNext;
  item.TopItem = top && !o.creator;
  item.Creator = o.creator;
  item.Module = module;
  if (site) {
    TStackLink own;
    own.CodeAddr = site->codeAddr;
    own.HasTarget = site->hasTarget;
    own.Target = site->target;
    own.Func = id.func;
    item.Links[kCallers].Links.push_back(own);
  }
  if (s_.items.capacity() == s_.items.size()) s_.items.reserve(std::max<std::size_t>(64, 2 * s_.items.size()));
  s_.items.push_back(std::move(item));
  return true;
}

bool LastIsTop(const TTraceState& s) { return !s.items.empty() && s.items.back().TopItem; }

void OfferPrepared(TTraceState& s, TCollector& collector) {
  const std::string& bytes = *s.request.preparedStack;
  const std::size_t entrySize = 1 + s.pointerSize;
  if (bytes.size() < 4) return;
  const std::uint64_t count = std::min<std::uint64_t>(kelvane::GetLe(bytes, 0, 4), (bytes.size() - 4) / entrySize);
  for (std::uint64_t i = 0; i < count && !s.Aborted(); ++i) {
    const std::size_t at = 4 + i * entrySize;
    Address value = kelvane::GetLe(bytes, at + 1, 4);
    if (s.pointerSize == 8) value |= Address{kelvane::GetLe(bytes, at + 5, 4)} << 32;
    collector.Offer({value, std::nullopt, false, false, bytes[at] == 1});
    s.Progress(static_cast<int>(i * 25 / count));
  }
}

void ScanStack(TTraceState& s, TCollector& collector) {
  const unsigned ps = s.pointerSize;
  if (s.top < s.bottom || s.top - s.bottom < ps) return;
  const std::uint64_t span = s.top - s.bottom;
  for (Address slot = s.top - ps;; slot -= ps) {
    if (s.Aborted()) return;
    s.Progress(static_cast<int>((s.top - slot) * 25 / span));
    Address value = 0;
    if (ReadSlot(s.host.Memory(), slot, ps, value) && collector.Offer({value, slot})) {
      if (LastIsTop(s)) return;
      // A certain frame: the slot below holds the saved frame pointer.
      if (s.items.back().DontKill) {
        if (slot - s.bottom < 2 * ps) return;
        slot -= ps;
      }
    }
    if (slot - s.bottom < ps) return;
  }
}

}  // namespace

void CollectPossibleStackItems(TTraceState& s) {
  s.items.reserve(64);
  std::optional<TFrameSlots> frames;
  if (!s.request.preparedStack && s.request.framePointer != 0)
    frames.emplace(s.host.Memory(), s.request.framePointer, s.bottom, s.top, s.pointerSize, s.request.abort);
  TCollector collector(s, frames ? &*frames : nullptr);

  if (s.request.creatorAddress != 0) s.creatorGiven = collector.Offer({s.request.creatorAddress, {}, true, true});
  if (s.request.preparedStack)
    OfferPrepared(s, collector);
  else
    ScanStack(s, collector);
  if (s.request.noCurrentAddress || LastIsTop(s))
    s.preparedGiven = false;
  else if (!s.Aborted())
    collector.Offer({s.current, std::nullopt, true});
  s.items.shrink_to_fit();
}

}  // namespace ruvex
