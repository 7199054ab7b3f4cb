// Phases 2 to 5: repeated recursion removed, call sites checked in depth,
// callers linked to callees, and the best-scored chain kept between the
// certain candidates.
#include <algorithm>
#include <limits>

#include "reporter/engines/trace/tracer/TraceState.h"

namespace ruvex {

bool AddLink(TTraceState& s, int i, int direction, const TStackLink& link) {
  if (s.linkCount >= TTraceState::kMaxLinks) return false;
  ++s.linkCount;
  s.items[i].Links[direction].Links.push_back(link);
  return true;
}

void RemoveLinks(TTraceState& s, int i) {
  for (int direction : {kCallees, kCallers}) {
    TLinkSet& set = s.items[i].Links[direction];
    for (const TStackLink& l : set.Links) {
      if (l.Link < 0 || l.Link >= s.Count()) continue;
      auto& back = s.items[l.Link].Links[1 - direction].Links;
      back.erase(std::remove_if(back.begin(), back.end(), [&](const TStackLink& b) { return b.Link == i; }),
                 back.end());
    }
    set.Links.clear();
    set.Best = -1;
  }
}

namespace {

void Invalidate(TTraceState& s, int i, bool removeLinks) {
  TInternalStackItem& item = s.items[i];
  if (item.Protected()) return;
  item.Invalid = true;
  if (removeLinks) RemoveLinks(s, i);
}

// ---------------------------------------------------------------------------
// Phases 2 and 5: a run of return addresses that repeats the run just
// outside it is a recursion shown once; the outermost copy stays.

bool RemoveOneRoundOfRepeats(TTraceState& s, bool removeLinks, bool& changed) {
  std::vector<int> valid;
  for (int i = 0; i < s.Count(); ++i)
    if (!s.items[i].Invalid) valid.push_back(i);
  auto after = [&](int pos) { return s.items[valid[pos]].AfterInstr; };
  for (int pos = static_cast<int>(valid.size()) - 1; pos >= 1 && valid[pos] >= 1; --pos) {
    if (s.Aborted()) return false;
    int k = -1;
    for (int q = pos - 1; q >= 0 && pos - q <= TTraceState::kMaxRecursionCycle; --q)
      if (after(q) == after(pos)) {
        k = q;
        break;
      }
    if (k < 0) continue;
    const int between = pos - k - 1;
    if (k < between) continue;
    bool same = true;
    for (int t = 1; t <= between && same; ++t) same = after(pos - t) == after(k - t);
    if (!same) continue;
    bool protectedRun = false;
    for (int t = 0; t <= between; ++t) protectedRun |= s.items[valid[pos - t]].Protected();
    if (protectedRun) continue;
    for (int t = 0; t <= between; ++t) {
      s.items[valid[pos - t]].DontKill = false;
      Invalidate(s, valid[pos - t], removeLinks);
    }
    changed = true;
    pos = k + 1;  // on with the outer copy, which may repeat what lies below it
  }
  return true;
}

void RemoveRepeats(TTraceState& s, bool removeLinks) {
  for (bool changed = true; changed;) {
    changed = false;
    if (!RemoveOneRoundOfRepeats(s, removeLinks, changed)) return;
  }
}

}  // namespace

void RemoveRecursiveStackAreas(TTraceState& s) { RemoveRepeats(s, true); }
void RemoveRecursiveAreas(TTraceState& s) { RemoveRepeats(s, false); }

// ---------------------------------------------------------------------------
// Phase 3.

namespace {

const TStackLink* OwnLink(const TInternalStackItem& item, const TTraceState& s, bool approvedOnly) {
  for (const TStackLink& l : item.Links[kCallers].Links)
    if (l.Link == -1 && (!approvedOnly || s.Approved(l.Func))) return &l;
  return nullptr;
}

// The function is wrong in this trace: every link through it goes.
void InvalidateFunction(TTraceState& s, int func) {
  s.caches.Function(func).invalid = true;
  for (TInternalStackItem& item : s.items)
    for (TLinkSet& set : item.Links) {
      auto& links = set.Links;
      const std::size_t before = links.size();
      links.erase(std::remove_if(links.begin(), links.end(), [&](const TStackLink& l) { return l.Func == func; }),
                  links.end());
      s.linkCount -= before - links.size();
    }
}

bool HasUnknownCallee(const TInternalStackItem& x) {
  for (const TStackLink& l : x.Links[kCallees].Links)
    if (l.Func == -1) return true;
  return false;
}

// Links candidate x to each later candidate that the call at `code` to
// function `func` (-1: unknown) could have pushed.
void LinkTo(TTraceState& s, int x, const TCallSite& call, int func, bool approved) {
  if (func == -1 && HasUnknownCallee(s.items[x])) return;
  int looked = 0;
  for (int y = x + 1; y < s.Count(); ++y) {
    if (s.Aborted()) return;
    if (s.items[y].Invalid) continue;
    if (func == -1 && ++looked > TTraceState::kUnknownTargetLookAhead) return;
    const TInternalStackItem& target = s.items[y];
    bool accept = func == -1;
    Address yCode = 0;
    if (func == -1) {
      if (const TStackLink* own = OwnLink(target, s, false)) yCode = own->CodeAddr;
    } else if (const auto site = FindCallSite(s, func, target.AfterInstr, target.TopItem, target.AfterInstr)) {
      accept = true;
      yCode = site->codeAddr;
      const TStackLink* known = OwnLink(target, s, true);
      if (!approved && known && known->CodeAddr != yCode) accept = false;
    }
    if (accept) {
      TStackLink toCaller{x, yCode, false, 0, func, 0};
      TStackLink toCallee{y, call.codeAddr, call.hasTarget, call.target, func, 0};
      if (!AddLink(s, y, kCallers, toCaller) || !AddLink(s, x, kCallees, toCallee)) return;
    }
    if (s.items[y].DontKill) return;
  }
}

void LinkCallees(TTraceState& s, int x, const TCallSite& call, bool approved) {
  if (call.hasTarget) {
    const int f = s.caches.AddFunction(call.target, {}, approved);
    if (f >= 0 && !s.caches.Function(f).invalid) {
      LinkTo(s, x, call, f, approved);
      // Without analysis a call out of the caller's own code (an import
      // slot, a thunk of another module) may lead on anywhere.
      if (!s.model.AnalysesFunctions()) {
        const TTraceModule* own = s.ModuleOf(s.items[x]);
        if (!own || !own->InCode(call.target)) LinkTo(s, x, call, -1, approved);
        return;
      }
      for (const TUnknownTarget& u : s.caches.Function(f).fi.UnknownTargets)
        if (!u.Call) {
          LinkTo(s, x, call, -1, approved);
          break;
        }
      return;
    }
  }
  LinkTo(s, x, call, -1, approved);
}

// Finds an approved function whose code holds the candidate; false when
// one does but the call site is not there (the candidate is garbage).
bool IdentifyByApprovedFunction(TTraceState& s, int x) {
  TInternalStackItem& item = s.items[x];
  for (int f = 0; f < s.caches.FunctionCount(); ++f) {
    if (!s.Approved(f) || !InCodeAreas(s.caches.Function(f).fi, item.AfterInstr)) continue;
    const auto site = FindCallSite(s, f, item.AfterInstr, item.TopItem, item.AfterInstr);
    if (!site) return false;
    AddLink(s, x, kCallers, TStackLink{-1, site->codeAddr, site->hasTarget, site->target, f, 0});
    return true;
  }
  return true;
}

// No identification at all: any call that ends at the return address.
void LinkByDecoding(TTraceState& s, int x) {
  const Address r = s.items[x].AfterInstr;
  if (r < 8) return;
  const std::optional<MemoryRegion> region = s.memory.RegionAt(r - 1);
  if (!region) return;
  const Address first = std::max<Address>(r - s.model.LongestCall(), region->base);
  for (Address start = first; start + s.model.ShortestCall() <= r; ++start)
    if (const auto call = s.model.CallAt(s.memory, start, r)) LinkCallees(s, x, *call, false);
}

}  // namespace

void InDeepChecks(TTraceState& s) {
  const int n = s.Count();
  for (int x = s.creatorGiven ? 1 : 0; x < n; ++x) {
    if (s.Aborted()) return;
    s.Progress(25 + static_cast<int>(static_cast<std::int64_t>(x) * 625 / n));
    if (s.items[x].Invalid) continue;
    if (!OwnLink(s.items[x], s, true) && !IdentifyByApprovedFunction(s, x)) {
      Invalidate(s, x, true);
      continue;
    }
    if (const TStackLink* ident = OwnLink(s.items[x], s, true)) {
      const TStackLink chosen = *ident;
      std::vector<int> wrong;
      for (const TStackLink& l : s.items[x].Links[kCallers].Links)
        if (l.Link == -1 && l.Func >= 0 && l.Func != chosen.Func && l.CodeAddr != chosen.CodeAddr)
          wrong.push_back(l.Func);
      for (int f : wrong) InvalidateFunction(s, f);
      LinkCallees(s, x, TCallSite{chosen.CodeAddr, chosen.HasTarget, chosen.Target}, true);
    } else if (const TStackLink* own = OwnLink(s.items[x], s, false)) {
      const TStackLink chosen = *own;
      LinkCallees(s, x, TCallSite{chosen.CodeAddr, chosen.HasTarget, chosen.Target}, false);
    } else {
      LinkByDecoding(s, x);
    }
  }
}

// ---------------------------------------------------------------------------
// Phase 4.

namespace {

constexpr std::int64_t High(std::uint32_t high) { return static_cast<std::int64_t>(std::uint64_t{high} << 32); }
constexpr std::int64_t kNoChain = High(0x10000000);
constexpr std::int64_t kReachedUnknown = High(0x50000000);
constexpr std::int64_t kReachedKnown = High(0x70000000);
constexpr std::int64_t kAllKnownBit = High(0x20000000);
constexpr std::int64_t kCompleteBit = High(0x40000000);

std::int64_t SaturatingAdd(std::int64_t a, std::int64_t b) {
  if (a > std::numeric_limits<std::int64_t>::max() - b) return std::numeric_limits<std::int64_t>::max();
  return a + b;
}

bool HasLine(const TTraceState& s, const TInternalStackItem& item) {
  const TTraceModule* m = s.ModuleOf(item);
  return m && m->mapFile && item.AfterInstr > 0 && m->mapFile->FindLine(item.AfterInstr - 1) > 0;
}

// The score of link `l` from candidate `from`, over the score of the chain
// behind its partner.
std::int64_t LinkScore(const TTraceState& s, int from, const TStackLink& l, std::int64_t score, bool knownSoFar) {
  int e = 0;
  if (l.Func < 0) {
    score &= ~kAllKnownBit;
  } else {
    e = (knownSoFar || (score & kAllKnownBit)) ? 28 : 14;
    if (s.Approved(l.Func)) e += 14;
  }
  const TInternalStackItem& a = s.items[from];
  const TTraceModule* module = s.ModuleOf(a);
  if (module && module->mapFile && s.items[l.Link].Module >= 0) {
    if (!HasLine(s, a))
      e += 3;
    else
      e += HasLine(s, s.items[l.Link]) ? 9 : 6;
  }
  return SaturatingAdd(score, std::int64_t{1} << e);
}

// The best chain score from a towards b. A work stack instead of recursion:
// chains may be as long as the candidate list.
std::int64_t Evaluate(TTraceState& s, int a, int b, bool known) {
  const int direction = b > a ? kCallees : kCallers;
  auto towards = [&](int p) { return direction == kCallees ? (p > a && p <= b) : (p < a && p >= b); };
  struct TFrame {
    int node;
    bool known;
    std::size_t next = 0;
    std::int64_t best = kNoChain;
    int bestIndex = -1;
  };
  std::vector<TFrame> stack{{a, known}};
  std::int64_t returned = 0;
  bool childDone = false;
  while (!stack.empty()) {
    if (s.Aborted()) return kNoChain;
    TFrame& f = stack.back();
    TLinkSet& set = s.items[f.node].Links[direction];
    if (childDone) {
      TStackLink& l = set.Links[f.next];
      l.Quality = LinkScore(s, f.node, l, returned, f.known);
      childDone = false;
    }
    if (f.next >= set.Links.size()) {
      set.Best = f.bestIndex;
      returned = f.best;
      stack.pop_back();
      childDone = !stack.empty();
      continue;
    }
    TStackLink& l = set.Links[f.next];
    if (l.Link < 0 || !towards(l.Link)) {
      ++f.next;
      continue;
    }
    if (l.Quality == 0) {
      if (l.Link != b) {
        stack.push_back({l.Link, f.known && l.Func >= 0});
        continue;
      }
      l.Quality = LinkScore(s, f.node, l, l.Func >= 0 ? kReachedKnown : kReachedUnknown, f.known);
    }
    if (l.Quality > f.best) {
      f.best = l.Quality;
      f.bestIndex = static_cast<int>(f.next);
    }
    ++f.next;
  }
  return returned;
}

void Realize(TTraceState& s, int a, int b) {
  if (b - a < 2) return;
  const std::int64_t forward = a == -1 ? 0 : Evaluate(s, a, b, true);
  const std::int64_t backward = (forward & kCompleteBit) ? 0 : Evaluate(s, b, a, true);
  for (int i = a + 1; i < b; ++i) Invalidate(s, i, false);
  const bool fromA = forward > backward;
  const int direction = fromA ? kCallees : kCallers;
  const int end = fromA ? b : a;
  int at = fromA ? a : b;
  for (int steps = 0; steps < b - a && at >= 0; ++steps) {
    const TLinkSet& set = s.items[at].Links[direction];
    if (set.Best < 0 || set.Best >= static_cast<int>(set.Links.size())) return;
    const int next = set.Links[set.Best].Link;
    if (next == end || next <= a || next >= b) return;
    s.items[next].Invalid = false;
    at = next;
  }
}

}  // namespace

void RealizeOptimalLinkChains(TTraceState& s) {
  const int n = s.Count();
  if (n == 0) return;
  int b = n - 1;
  for (int i = b - 1; i >= 0; --i) {
    if (s.Aborted()) return;
    s.Progress(650 + static_cast<int>(static_cast<std::int64_t>(n - 1 - i) * 350 / n));
    if (s.items[i].DontKill && !s.items[i].Invalid) {
      Realize(s, i, b);
      b = i;
    }
  }
  if (!s.Aborted()) Realize(s, -1, b);
}

}  // namespace ruvex
