#include "reporter/engines/x86/ParseFunction.h"

#include <algorithm>
#include <iterator>
#include <map>
#include <optional>

#include "reporter/engines/pe/headers/CodeRange.h"
#include "reporter/engines/x86/Disasm.h"
#include "reporter/engines/x86/Opcodes.h"

namespace ruvex {
namespace {

// Exception frame set-up: push handler, then push the current frame,
// dword ptr fs:[reg] (64 FF 30+reg) or dword ptr fs:[0] (64 FF 35 00000000).
constexpr unsigned kPushFsBaseLength = 3;
constexpr unsigned kPushFsAbsoluteLength = 7;
constexpr std::uint8_t kModPlainMemory = 0;  // mod 0: [reg], or [disp32] alone

// cmp reg, imm8 before a jump table: a larger or negative bound is no case count.
constexpr std::int64_t kMaxCaseBound = 127;
constexpr std::uint8_t kTableIndexScale = kCaseEntrySize;

// The finally handler's jump back is looked for this far before the entry.
constexpr Address kFinallyReach = 0x100000;

// A function may go on in a gap of its code only this close behind its run.
constexpr Address kMaxGap = 1024;

// The C++ exception descriptor the frame handler receives in eax: a 16-bit
// kind, then either one handler pointer, at an offset that depends on the
// kind, or the address of a list of handlers, one every 20 bytes up to a 0.
constexpr Address kCxxKindOffset = 10;
constexpr Address kCxxHandlerOffsetByKind[] = {12, 16, 16};
constexpr std::uint16_t kCxxKindHandlerList = 3;
constexpr Address kCxxHandlerListOffset = 12;
constexpr Address kCxxListFirstHandler = 8;
constexpr Address kCxxListStride = 20;

// An interception rewrites this many bytes at the entry.
constexpr Address kInterceptedBytes = 6;

// A target encoded in a full 32-bit displacement or pointer.
constexpr std::uint32_t kFullTargetWidth = 4;

bool EndsArea(const TInstrInfo& i) { return IsReturn(i.opcodeWord) || IsUnconditionalJump(i) || i.opcodeWord == kOpUd2; }

bool IsAboveJump(std::uint16_t op) {
  return op == kOpJaRel8 || op == kOpJgRel8 || op == kOpJaRel32 || op == kOpJgRel32;
}
bool IsAboveOrEqualJump(std::uint16_t op) {
  return op == kOpJaeRel8 || op == kOpJgeRel8 || op == kOpJaeRel32 || op == kOpJgeRel32;
}

class TAnalyser {
 public:
  TAnalyser(const IMemoryReader& memory, Address entry, const TParseOptions& options)
      : memory_(memory), options_(options) {
    f_.EntryPoint = entry;
  }

  TFunctionInfo Run() {
    const Address entry = f_.EntryPoint;
    if (!memory_.RegionAt(entry)) {
      f_.LastErrorAddr = entry;
      f_.LastErrorNo = kErrorInvalidParameter;
      f_.LastErrorStr = "The parameter is incorrect.";
      return f_;
    }
    range_ = CodeRangeAt(memory_, options_.modules, entry);
    f_.Copy.IsValid = true;
    AddArea(entry, TRegisters{}, 0, false);
    if (!Analyse()) return Fail();
    Finish();
    return f_;
  }

 private:
  bool Analyse() {
    for (unsigned rounds = 0; rounds < options_.maxAreas * 2u; ++rounds) {
      if (std::optional<std::size_t> next = FirstUndecoded()) {
        if (!DecodeArea(*next)) return false;
        continue;
      }
      if (RevisitUnknownTargets()) continue;
      if (!ContinueInGap()) return true;
    }
    return true;
  }

  std::optional<std::size_t> FirstUndecoded() const {
    for (std::size_t i = 0; i < f_.CodeAreas.size(); ++i)
      if (f_.CodeAreas[i].AreaEnd == 0) return i;
    return std::nullopt;
  }

  // Re-decodes each unresolved branch with its area's start state; true
  // when that added an area to decode.
  bool RevisitUnknownTargets() {
    for (std::size_t k = f_.UnknownTargets.size(); k-- > 0;) {
      const TUnknownTarget u = f_.UnknownTargets[k];
      const TCodeArea* area = AreaContaining(u.CodeAddr1);
      if (!area) continue;
      TRegisters state = area->Registers;
      TInstrInfo info = DecodeInstr(memory_, u.CodeAddr1, &state);
      if (!info.valid || !info.targetAddr) continue;
      if (!HandleBranch(info, f_.CodeAreas[area - f_.CodeAreas.data()].Registers)) continue;
      // A target inside decoded code only splits an area: the other
      // unresolved branches still deserve their second look.
      if (FirstUndecoded()) return true;
    }
    return false;
  }

  // With an unresolved jump the function may go on in a gap of its code:
  // decode the gap after the contiguous run from the lowest area.
  bool ContinueInGap() {
    bool unknownJump = false;
    for (const TUnknownTarget& u : f_.UnknownTargets) unknownJump |= !u.Call;
    if (!unknownJump) return false;
    std::vector<const TCodeArea*> sorted = Sorted();
    Address e = sorted.front()->AreaEnd, h = 0;
    for (const TCodeArea* a : sorted) {
      if (a->AreaBegin <= e + 1) e = std::max(e, a->AreaEnd);
      h = std::max(h, a->AreaEnd);
    }
    if (e >= h || h - (e + 1) >= kMaxGap) return false;
    const std::size_t index = f_.CodeAreas.size();
    AddArea(e + 1, TRegisters{}, 0, false);
    if (f_.CodeAreas.size() == index) return false;
    TFunctionInfo saved = f_;
    if (!DecodeArea(index)) {
      f_ = std::move(saved);
      f_.CodeAreas.erase(f_.CodeAreas.begin() + static_cast<std::ptrdiff_t>(index));
      f_.IsValid = false;
      failed_ = false;
      return false;
    }
    return true;
  }

  std::vector<const TCodeArea*> Sorted() const {
    std::vector<const TCodeArea*> sorted;
    for (const TCodeArea& a : f_.CodeAreas) sorted.push_back(&a);
    std::sort(sorted.begin(), sorted.end(),
              [](const TCodeArea* a, const TCodeArea* b) { return a->AreaBegin < b->AreaBegin; });
    return sorted;
  }

  const TCodeArea* AreaContaining(Address a) const {
    for (const TCodeArea& area : f_.CodeAreas)
      if (area.AreaEnd && a >= area.AreaBegin && a <= area.AreaEnd) return &area;
    return nullptr;
  }

  bool AreaStartsAt(Address a, std::size_t except) const {
    for (std::size_t i = 0; i < f_.CodeAreas.size(); ++i)
      if (i != except && f_.CodeAreas[i].AreaBegin == a) return true;
    return false;
  }

  bool AreaStartsWithin(Address from, Address to, std::size_t except) const {  // (from, to)
    for (std::size_t i = 0; i < f_.CodeAreas.size(); ++i)
      if (i != except && f_.CodeAreas[i].AreaBegin > from && f_.CodeAreas[i].AreaBegin < to) return true;
    return false;
  }

  bool DecodeArea(std::size_t index) {
    Address addr = f_.CodeAreas[index].AreaBegin;
    TRegisters state = f_.CodeAreas[index].Registers;
    TPatterns patterns;
    // Fall-through from an area that a register change closed: the value
    // it moved into eax is the C++ descriptor of a frame handler call.
    if (const auto carried = eaxImmediateCarried_.find(f_.CodeAreas[index].AreaBegin);
        carried != eaxImmediateCarried_.end())
      patterns.lastEaxImmediate = carried->second;
    for (;;) {
      if (++decoded_ > options_.maxInstructions) return FailAt(addr);
      const TRegisters before = state;
      TInstrInfo info = DecodeInstr(memory_, addr, &state);
      if (!info.valid) return FailAt(addr);
      if (AreaStartsWithin(addr, info.nextAddr, index)) return FailAt(addr);
      f_.CodeAreas[index].AreaEnd = info.nextAddr - 1;
      bool stop = EndsArea(info);
      current_ = index;
      const bool followed = Follow(info, before, patterns, stop);
      current_ = kNone;
      if (!followed) return false;
      // A branch back into this very area cut it: the tail goes on from there.
      if (f_.CodeAreas[index].AreaEnd != info.nextAddr - 1) return true;
      if (stop || !RangeHolds(info.nextAddr)) return true;
      if (state != before) {
        AddArea(info.nextAddr, state, 0, false);
        if (patterns.lastEaxImmediate) eaxImmediateCarried_[info.nextAddr] = patterns.lastEaxImmediate;
        return !failed_;
      }
      if (AreaStartsAt(info.nextAddr, index)) return true;
      addr = info.nextAddr;
    }
  }

  bool RangeHolds(Address a) const { return range_.Contains(a); }

  // Remembered instruction patterns of the area being decoded.
  struct TPatterns {
    Address handler = 0;          // pushed address of an exception frame being set up
    Address handlerPushEnd = 0;
    int comparedRegister = -1;    // cmp reg, imm8
    Address compareEnd = 0;
    unsigned tableEntries = 0;
    Address conditionEnd = 0;     // the ja/jae after the compare
    Address lastEaxImmediate = 0; // last mov eax, imm32
  };

  bool Follow(const TInstrInfo& info, const TRegisters& state, TPatterns& p, bool& stop) {
    const std::uint16_t op = info.opcodeWord;
    const TInstrInfo::TDetail& d = info.detail;
    // Exception frame: push handler; push dword ptr fs:[reg] or fs:[0].
    if (p.handler && info.instrAddr == p.handlerPushEnd) {
      const bool pushFs = op == kOpGroup5 && d.segment == kSegmentFs && d.reg == kGroup5Push &&
                          d.mod == kModPlainMemory &&
                          ((d.length == kPushFsBaseLength && !d.hasSib && d.base >= 0 && state[d.base] == 0) ||
                           (d.length == kPushFsAbsoluteLength && d.base < 0 && d.displacement == 0));
      if (pushFs && RangeHolds(p.handler)) AddHandlerArea(p.handler);
      p.handler = 0;
    }
    if (op == kOpPushImm32 && d.length == kPushImm32Length) {
      std::uint8_t following = 0;
      if (memory_.ReadValue(info.nextAddr, following) && following == kPrefixFs) {
        p.handler = static_cast<std::uint32_t>(d.immediate);
        p.handlerPushEnd = info.nextAddr;
      }
    }
    if (op == kOpMovEaxImm32) p.lastEaxImmediate = static_cast<std::uint32_t>(d.immediate);

    if (JumpTable(info, p, stop)) return !failed_;
    if (!info.isCall && !info.isJump) return true;
    if (!HandleBranch(info, state)) {
      RecordUnknown(info);
      return !failed_;
    }
    const Address target = info.targetAddr;
    const TRuntimeRoutines& rt = options_.runtime;
    // The runtime is reached by call or, as compilers emit it for exception
    // frames, by jmp.
    if (target) {
      // Also through an import thunk: the usual way into another module.
      const Address through = rt.halt0 || rt.cxxThrowException ? JumpTargetAt(target) : 0;
      const auto noReturn = [&](Address routine) { return routine && (target == routine || through == routine); };
      if (noReturn(rt.halt0) || noReturn(rt.cxxThrowException)) stop = true;
      if (target == rt.handleAnyException) AddHandlerArea(info.nextAddr);
      if (target == rt.handleFinally) FinallyHandler(info);
      if (target == rt.handleOnException) {
        OnExceptTable(info.nextAddr);
        stop = true;
      }
      if (target == rt.cxxFrameHandler && p.lastEaxImmediate) CxxDescriptor(p.lastEaxImmediate);
    }
    return !failed_;
  }

  // cmp reg, n; ja/jae; jmp [table + reg*4] with the table right behind.
  bool JumpTable(const TInstrInfo& info, TPatterns& p, bool& stop) {
    const std::uint16_t op = info.opcodeWord;
    const TInstrInfo::TDetail& d = info.detail;
    if (op == kOpGroup1RmImm8 && info.modRmByte >= kModRmCmpRegister) {
      p.comparedRegister = d.rm;
      const bool bound = d.immediate >= 0 && d.immediate <= kMaxCaseBound;
      p.tableEntries = bound ? static_cast<unsigned>(d.immediate) : 0;
      if (!bound) p.comparedRegister = -1;
      p.compareEnd = info.nextAddr;
      return false;
    }
    if (p.comparedRegister >= 0 && info.instrAddr == p.compareEnd && (IsAboveJump(op) || IsAboveOrEqualJump(op))) {
      if (IsAboveJump(op)) ++p.tableEntries;
      p.conditionEnd = info.nextAddr;
      return false;
    }
    const bool tableJump = p.comparedRegister >= 0 && info.instrAddr == p.conditionEnd && op == kOpGroup5 &&
                           d.reg == kGroup5JmpNear && info.modRmByte == kModRmJmpSib && d.hasSib && d.base < 0 &&
                           d.index == p.comparedRegister && d.scale == kTableIndexScale &&
                           static_cast<std::uint32_t>(d.displacement) == info.nextAddr;
    p.comparedRegister = -1;
    if (!tableJump || p.tableEntries == 0) return false;
    const Address table = info.nextAddr;
    std::vector<Address> entries;
    for (unsigned i = 0; i < p.tableEntries; ++i) {
      std::uint32_t entry;
      if (!memory_.ReadValue(table + kCaseEntrySize * i, entry) || !RangeHolds(entry)) return false;
      entries.push_back(entry);
    }
    AddTable(table, table + kCaseEntrySize * entries.size() - 1, true);
    for (Address e : entries) AddArea(e, TRegisters{}, info.instrAddr, true);
    stop = true;
    return true;
  }

  void FinallyHandler(const TInstrInfo& call) {
    AddHandlerArea(call.nextAddr);
    TInstrInfo back = DecodeInstr(memory_, call.nextAddr);
    if (!back.valid || !back.isJump || !back.targetAddr || back.targetAddr >= call.nextAddr ||
        back.targetAddr < f_.EntryPoint - std::min<Address>(f_.EntryPoint, kFinallyReach))
      return;
    // push imm32 right before the jump target: the pushed address is code.
    const Address pushAt = back.targetAddr - kPushImm32Length;
    std::uint8_t push = 0;
    std::uint32_t pushed = 0;
    if (memory_.ReadValue(pushAt, push) && push == kOpPushImm32 && memory_.ReadValue(pushAt + 1, pushed) &&
        RangeHolds(pushed))
      AddHandlerArea(pushed);
  }

  void OnExceptTable(Address table) {
    std::uint32_t count = 0;
    if (!memory_.ReadValue(table, count) || count >= kOnExceptCountLimit || count > options_.maxTableEntries) return;
    std::vector<Address> handlers;
    for (std::uint32_t i = 0; i < count; ++i) {
      std::uint32_t handler;
      const Address entry = table + kOnExceptCountSize + kOnExceptEntrySize * i;
      if (!memory_.ReadValue(entry + kOnExceptHandlerOffset, handler)) return;
      handlers.push_back(handler);
    }
    AddTable(table, table + kOnExceptEntrySize * count + kOnExceptCountSize - 1, false);
    for (Address h : handlers)
      if (RangeHolds(h)) AddHandlerArea(h);
  }

  void CxxDescriptor(Address descriptor) {
    std::uint16_t kind = 0;
    if (!memory_.ReadValue(descriptor + kCxxKindOffset, kind)) return;
    std::uint32_t handler = 0;
    if (kind < std::size(kCxxHandlerOffsetByKind) &&
        memory_.ReadValue(descriptor + kCxxHandlerOffsetByKind[kind], handler) && RangeHolds(handler))
      AddHandlerArea(handler);
    std::uint32_t list = 0;
    if (kind == kCxxKindHandlerList && memory_.ReadValue(descriptor + kCxxHandlerListOffset, list))
      for (unsigned i = 0; i < options_.maxTableEntries; ++i) {
        if (!memory_.ReadValue(list + kCxxListFirstHandler + kCxxListStride * i, handler) || handler == 0) break;
        if (RangeHolds(handler)) AddHandlerArea(handler);
      }
  }

  // Far calls, calls to runtime handlers and branches into the function;
  // false when the branch has no known target.
  bool HandleBranch(const TInstrInfo& info, const TRegisters& state) {
    if (!info.targetAddr) return false;
    ForgetUnknown(info.instrAddr);
    const TRuntimeRoutines& rt = options_.runtime;
    const Address t = info.targetAddr;
    const bool handler = t == rt.handleAnyException || t == rt.handleOnException || t == rt.handleAutoException ||
                         t == rt.handleFinally;
    const bool far = info.isCall || (info.targetWidth == kFullTargetWidth && !RangeHolds(t)) || handler || !RangeHolds(t);
    if (far) {
      AddFarCall(info, handler);
      // The dispatcher comes back into the program through the system: the
      // call is known, yet where it leads is not.
      if (info.isCall && options_.messageDispatch &&
          (t == options_.messageDispatch || LookThroughThunk(t) == options_.messageDispatch))
        RecordUnknown(info);
      return true;
    }
    AddArea(t, info.isCall ? TRegisters{} : state, info.instrAddr, true);
    return true;
  }

  void AddFarCall(const TInstrInfo& info, bool handler) {
    for (const TFarCall& c : f_.FarCalls)
      if (c.CodeAddr2 == info.nextAddr) return;
    TFarCall c;
    c.Call = info.isCall;
    c.CodeAddr1 = info.instrAddr;
    c.CodeAddr2 = info.nextAddr;
    c.Target = LookThroughThunk(info.targetAddr);
    c.RelTarget = info.relativeTarget ? info.targetSlot : 0;
    c.PTarget = info.relativeTarget ? 0 : info.targetSlot;
    c.PPTarget = info.targetSlotPtr;
    c.RuntimeHandler = handler;
    f_.FarCalls.push_back(c);
  }

  Address LookThroughThunk(Address target) const {
    if (!options_.isExport || options_.isExport(target)) return target;
    const Address next = JumpTargetAt(target);
    return next && options_.isExport(next) ? next : target;
  }

  // Where the jump at `a` leads; 0 when no jump with a known target is there.
  Address JumpTargetAt(Address a) const {
    std::uint8_t first = 0;
    if (!memory_.ReadValue(a, first) || (first != kOpJmpRel32 && first != kOpJmpRel8 && first != kOpGroup5)) return 0;
    const TInstrInfo jump = DecodeInstr(memory_, a);
    return jump.valid && jump.isJump ? jump.targetAddr : 0;
  }

  void RecordUnknown(const TInstrInfo& info) {
    for (const TUnknownTarget& u : f_.UnknownTargets)
      if (u.CodeAddr1 == info.instrAddr) return;
    f_.UnknownTargets.push_back({info.isCall, info.instrAddr, info.nextAddr});
  }

  void ForgetUnknown(Address instr) {
    auto& list = f_.UnknownTargets;
    list.erase(std::remove_if(list.begin(), list.end(), [&](const TUnknownTarget& u) { return u.CodeAddr1 == instr; }),
               list.end());
  }

  void AddTable(Address begin, Address end, bool caseBlock) {
    for (const TCodeArea& a : f_.CodeAreas)
      if (a.AreaBegin == begin) return;
    TCodeArea t;
    t.AreaBegin = begin;
    t.AreaEnd = end;
    t.CaseBlock = caseBlock;
    t.OnExceptBlock = !caseBlock;
    Append(t);
  }

  void AddArea(Address a, const TRegisters& state, Address calledFrom, bool jumpTarget) {
    for (TCodeArea& area : f_.CodeAreas) {
      if (area.AreaBegin == a) {
        if (calledFrom && calledFrom < a && (area.CalledFrom == 0 || area.CalledFrom > a || calledFrom > area.CalledFrom))
          area.CalledFrom = calledFrom;
        else if (!area.CalledFrom) area.CalledFrom = calledFrom;
        for (std::size_t r = 0; r < area.Registers.size(); ++r)
          if (area.Registers[r] != state[r]) area.Registers[r] = 0;
        area.JumpTarget |= jumpTarget;
        return;
      }
    }
    for (std::size_t i = 0; i < f_.CodeAreas.size(); ++i) {
      TCodeArea& area = f_.CodeAreas[i];
      if (!area.AreaEnd || a <= area.AreaBegin || a > area.AreaEnd) continue;
      if (area.CaseBlock || area.OnExceptBlock || !IsInstructionBoundary(area, a)) {
        FailAt(a);
        return;
      }
      TCodeArea tail;
      tail.AreaBegin = a;
      tail.AreaEnd = i == current_ ? 0 : area.AreaEnd;  // an area still being decoded hands on undecoded
      tail.CalledFrom = calledFrom;
      tail.Registers = state;
      tail.JumpTarget = jumpTarget;
      area.AreaEnd = a - 1;
      Append(tail);
      return;
    }
    TCodeArea fresh;
    fresh.AreaBegin = a;
    fresh.CalledFrom = calledFrom;
    fresh.Registers = state;
    fresh.JumpTarget = jumpTarget;
    Append(fresh);
  }

  // Code the runtime enters: it starts without known registers and carries
  // a label, since handler tables and frames name it.
  void AddHandlerArea(Address a) {
    AddArea(a, TRegisters{}, 0, false);
    for (TCodeArea& area : f_.CodeAreas)
      if (area.AreaBegin == a && !area.CaseBlock && !area.OnExceptBlock) area.HandlerEntry = true;
  }

  bool IsInstructionBoundary(const TCodeArea& area, Address a) const {
    Address at = area.AreaBegin;
    while (at < a) {
      TInstrInfo i = DecodeInstr(memory_, at);
      if (!i.valid) return false;
      at = i.nextAddr;
    }
    return at == a;
  }

  void Append(const TCodeArea& area) {
    if (f_.CodeAreas.size() >= options_.maxAreas) {
      FailAt(area.AreaBegin);
      return;
    }
    if (f_.CodeAreas.size() == f_.CodeAreas.capacity())
      f_.CodeAreas.reserve(std::max<std::size_t>(8, f_.CodeAreas.capacity() * 2));
    f_.CodeAreas.push_back(area);
  }

  bool FailAt(Address a) {
    if (!failed_) {
      failed_ = true;
      f_.LastErrorAddr = a;
    }
    return false;
  }

  TFunctionInfo Fail() {
    f_.IsValid = false;
    f_.LastErrorNo = kErrorInvalidCode;
    f_.LastErrorStr = "Invalid code!";
    return f_;
  }

  void Finish() {
    f_.IsValid = true;
    Address low = ~Address{0}, high = 0;
    for (const TCodeArea& a : f_.CodeAreas) {
      low = std::min(low, a.AreaBegin);
      high = std::max(high, a.AreaEnd);
    }
    f_.CodeBegin = low;
    f_.CodeLen = static_cast<std::int64_t>(high - low + 1);
    f_.Interceptable = ComputeInterceptable();
  }

  bool ComputeInterceptable() const {
    const TCodeArea* area = &f_.CodeAreas.front();
    if (area->JumpTarget) return false;
    Address covered = area->AreaEnd + 1 - area->AreaBegin;
    while (covered < kInterceptedBytes) {
      const TCodeArea* next = nullptr;
      for (const TCodeArea& a : f_.CodeAreas)
        if (a.AreaBegin == area->AreaEnd + 1) next = &a;
      if (!next || next->CaseBlock || next->OnExceptBlock || next->JumpTarget) return false;
      covered += next->AreaEnd + 1 - next->AreaBegin;
      area = next;
    }
    for (Address at = f_.EntryPoint; at < f_.EntryPoint + kInterceptedBytes;) {
      TInstrInfo i = DecodeInstr(memory_, at);
      if (!i.valid) return false;
      if ((i.relativeTarget || i.targetSlotPtr) && !i.extendable && i.targetWidth < kFullTargetWidth) return false;
      at = i.nextAddr;
    }
    return true;
  }

  const IMemoryReader& memory_;
  const TParseOptions& options_;
  TFunctionInfo f_;
  TAddressRange range_;
  unsigned decoded_ = 0;
  bool failed_ = false;
  static constexpr std::size_t kNone = ~std::size_t{0};
  std::size_t current_ = kNone;  // the area being decoded
  std::map<Address, Address> eaxImmediateCarried_;  // area start -> eax immediate of the area before
};

}  // namespace

TFunctionInfo ParseFunction(const IMemoryReader& memory, Address entry, const TParseOptions& options) {
  return TAnalyser(memory, entry, options).Run();
}

}  // namespace ruvex
