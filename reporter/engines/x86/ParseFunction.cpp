#include "reporter/engines/x86/ParseFunction.h"

#include <algorithm>
#include <optional>

#include "reporter/engines/pe/CodeRange.h"
#include "reporter/engines/x86/Disasm.h"

namespace ruvex {
namespace {

bool IsReturn(std::uint16_t op) { return op == 0xC2 || op == 0xC3 || op == 0xCA || op == 0xCB || op == 0xCF; }

bool EndsArea(const TInstrInfo& i) {
  const std::uint16_t op = i.opcodeWord;
  if (IsReturn(op) || op == 0xE9 || op == 0xEA || op == 0xEB || op == 0x0F0B) return true;
  return op == 0xFF && (i.detail.reg == 4 || i.detail.reg == 5);
}

bool IsAboveJump(std::uint16_t op) { return op == 0x77 || op == 0x7F || op == 0x0F87 || op == 0x0F8F; }
bool IsAboveOrEqualJump(std::uint16_t op) { return op == 0x73 || op == 0x7D || op == 0x0F83 || op == 0x0F8D; }

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
      const std::size_t before = f_.CodeAreas.size();
      if (!HandleBranch(info, f_.CodeAreas[area - f_.CodeAreas.data()].Registers)) continue;
      if (FirstUndecoded() || f_.CodeAreas.size() != before) return FirstUndecoded().has_value();
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
    if (e >= h || h - (e + 1) >= 1024) return false;
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
      const bool pushFs = op == 0xFF && d.segment == 4 && d.reg == 6 && d.mod == 0 &&
                          ((d.length == 3 && !d.hasSib && d.base >= 0 && state[d.base] == 0) ||
                           (d.length == 7 && d.base < 0 && d.displacement == 0));
      if (pushFs) AddArea(p.handler, TRegisters{}, 0, false);
      p.handler = 0;
    }
    if (op == 0x68 && d.length == 5) {
      std::uint8_t following = 0;
      if (memory_.ReadValue(info.nextAddr, following) && following == 0x64) {
        p.handler = static_cast<std::uint32_t>(d.immediate);
        p.handlerPushEnd = info.nextAddr;
      }
    }
    if (op == 0xB8) p.lastEaxImmediate = static_cast<std::uint32_t>(d.immediate);

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
      if (target == rt.halt0 || target == rt.cxxThrowException) stop = true;
      if (target == rt.handleAnyException) AddArea(info.nextAddr, TRegisters{}, 0, false);
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
    if (op == 0x83 && info.modRmByte >= 0xF8) {
      p.comparedRegister = info.modRmByte & 7;
      p.tableEntries = d.immediate >= 0 && d.immediate <= 127 ? static_cast<unsigned>(d.immediate) : 0;
      if (d.immediate < 0 || d.immediate > 127) p.comparedRegister = -1;
      p.compareEnd = info.nextAddr;
      return false;
    }
    if (p.comparedRegister >= 0 && info.instrAddr == p.compareEnd && (IsAboveJump(op) || IsAboveOrEqualJump(op))) {
      if (IsAboveJump(op)) ++p.tableEntries;
      p.conditionEnd = info.nextAddr;
      return false;
    }
    const bool tableJump = p.comparedRegister >= 0 && info.instrAddr == p.conditionEnd && op == 0xFF &&
                           d.reg == 4 && info.modRmByte == 0x24 && d.hasSib && d.base < 0 &&
                           d.index == p.comparedRegister && d.scale == 4 &&
                           static_cast<std::uint32_t>(d.displacement) == info.nextAddr;
    p.comparedRegister = -1;
    if (!tableJump || p.tableEntries == 0) return false;
    const Address table = info.nextAddr;
    std::vector<Address> entries;
    for (unsigned i = 0; i < p.tableEntries; ++i) {
      std::uint32_t entry;
      if (!memory_.ReadValue(table + 4 * i, entry) || !RangeHolds(entry)) return false;
      entries.push_back(entry);
    }
    AddTable(table, table + 4 * entries.size() - 1, true);
    for (Address e : entries) AddArea(e, TRegisters{}, info.instrAddr, true);
    stop = true;
    return true;
  }

  void FinallyHandler(const TInstrInfo& call) {
    AddArea(call.nextAddr, TRegisters{}, 0, false);
    TInstrInfo back = DecodeInstr(memory_, call.nextAddr);
    if (!back.valid || !back.isJump || !back.targetAddr || back.targetAddr >= call.nextAddr ||
        back.targetAddr < f_.EntryPoint - std::min<Address>(f_.EntryPoint, 0x100000))
      return;
    std::uint8_t push = 0;
    std::uint32_t pushed = 0;
    if (memory_.ReadValue(back.targetAddr - 5, push) && push == 0x68 && memory_.ReadValue(back.targetAddr - 4, pushed) &&
        RangeHolds(pushed))
      AddArea(pushed, TRegisters{}, 0, false);
  }

  void OnExceptTable(Address table) {
    std::uint32_t count = 0;
    if (!memory_.ReadValue(table, count) || count >= 256 || count > options_.maxTableEntries) return;
    std::vector<Address> handlers;
    for (std::uint32_t i = 0; i < count; ++i) {
      std::uint32_t handler;
      if (!memory_.ReadValue(table + 4 + 8 * i + 4, handler)) return;
      handlers.push_back(handler);
    }
    AddTable(table, table + 8 * count + 4 - 1, false);
    for (Address h : handlers)
      if (RangeHolds(h)) AddArea(h, TRegisters{}, 0, false);
  }

  void CxxDescriptor(Address descriptor) {
    std::uint16_t kind = 0;
    if (!memory_.ReadValue(descriptor + 10, kind)) return;
    std::uint32_t handler = 0;
    if (kind == 0 && memory_.ReadValue(descriptor + 12, handler) && RangeHolds(handler))
      AddArea(handler, TRegisters{}, 0, false);
    if ((kind == 1 || kind == 2) && memory_.ReadValue(descriptor + 16, handler) && RangeHolds(handler))
      AddArea(handler, TRegisters{}, 0, false);
    std::uint32_t list = 0;
    if (kind == 3 && memory_.ReadValue(descriptor + 12, list))
      for (unsigned i = 0; i < options_.maxTableEntries; ++i) {
        if (!memory_.ReadValue(list + 8 + 20 * i, handler) || handler == 0) break;
        if (RangeHolds(handler)) AddArea(handler, TRegisters{}, 0, false);
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
    const bool far = info.isCall || (info.targetWidth == 4 && !RangeHolds(t)) || handler || !RangeHolds(t);
    if (far) {
      AddFarCall(info, handler);
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
    std::uint8_t first = 0;
    if (!memory_.ReadValue(target, first) || (first != 0xE9 && first != 0xEB && first != 0xFF)) return target;
    TInstrInfo jump = DecodeInstr(memory_, target);
    if (jump.valid && jump.isJump && jump.targetAddr && options_.isExport(jump.targetAddr)) return jump.targetAddr;
    return target;
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
        for (int r = 0; r < 8; ++r)
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
    while (covered <= 5) {
      const TCodeArea* next = nullptr;
      for (const TCodeArea& a : f_.CodeAreas)
        if (a.AreaBegin == area->AreaEnd + 1) next = &a;
      if (!next || next->CaseBlock || next->OnExceptBlock || next->JumpTarget) return false;
      covered += next->AreaEnd + 1 - next->AreaBegin;
      area = next;
    }
    for (Address at = f_.EntryPoint; at < f_.EntryPoint + 6;) {
      TInstrInfo i = DecodeInstr(memory_, at);
      if (!i.valid) return false;
      if ((i.relativeTarget || i.targetSlotPtr) && !i.extendable && i.targetWidth < 4) return false;
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
};

}  // namespace

TFunctionInfo ParseFunction(const IMemoryReader& memory, Address entry, const TParseOptions& options) {
  return TAnalyser(memory, entry, options).Run();
}

}  // namespace ruvex
