#include "reporter/engines/x86/FunctionListing.h"

#include <algorithm>
#include <optional>
#include <vector>

#include "reporter/engines/x86/Disasm.h"
#include "reporter/engines/x86/Opcodes.h"

namespace ruvex {
namespace {

constexpr char16_t kSeparator[] = u"; ---------------------------------------------------------";

// Labels and the first entry of a jump table are padded to this width, so
// that their comments line up.
constexpr std::size_t kLabelWidth = 31;

// The column after the address where the exception line carries its ">".
constexpr std::size_t kMarkerColumn = kInstrAddressDigits + 1;

// A class of the language runtime points this many bytes past the slot
// that holds the address of its name (a short string: length byte, text).
constexpr std::uint32_t kClassNameSlotBefore = 44;

// The line-number column is as wide as the line of the function's end;
// without one, one digit wider than the exception's line.
constexpr unsigned kLineDigitsReserve = 10;

// A separator is an empty line, the dashes and an empty line.
constexpr std::size_t kSeparatorLines = 3;

std::u16string Ascii(const std::string& s) { return std::u16string(s.begin(), s.end()); }

std::u16string Padded(std::u16string s, std::size_t width) {
  if (s.size() < width) s.append(width - s.size(), u' ');
  return s;
}

struct TLine {
  Address address = 0;
  std::u16string text;       // after the address
  bool addressOnly = false;
  Address instrEnd = 0;      // for instruction lines: the next instruction's address
};

class TListing {
 public:
  TListing(const IMemoryReader& memory, const TFunctionInfo& f, Address exception, const TListingOptions& o)
      : memory_(memory), f_(f), exception_(exception), o_(o) {}

  std::u16string Build() {
    std::vector<const TCodeArea*> areas;
    for (const TCodeArea& a : f_.CodeAreas) areas.push_back(&a);
    std::sort(areas.begin(), areas.end(), [](auto* a, auto* b) { return a->AreaBegin < b->AreaBegin; });
    for (std::size_t i = 1; i < areas.size(); ++i)
      if (areas[i]->AreaBegin <= areas[i - 1]->AreaEnd)
        return u"Internal error in ParseFunction while composing the disassembling string...  :-(";
    entryLabel_ = EntryLabel();
    const TCodeArea* previous = nullptr;
    for (const TCodeArea* a : areas) {
      const bool fallsThrough = previous && previous->AreaEnd + 1 == a->AreaBegin && previousFallsThrough_;
      if (a->CaseBlock) CaseTable(*a, fallsThrough);
      else if (a->OnExceptBlock) HandlerTable(*a);
      else Code(*a, fallsThrough);
      previous = a;
    }
    DropTrailingSeparator();
    AddLineNumbers();
    return Join(Limit());
  }

 private:
  std::u16string EntryLabel() const {
    std::u16string name = o_.names.nameAt ? o_.names.nameAt(f_.EntryPoint) : std::u16string();
    return name.empty() ? Ascii("sub_" + HexLower(f_.EntryPoint)) : name;
  }

  std::u16string LabelOf(Address a) const {
    if (a == f_.EntryPoint) return entryLabel_;
    return Ascii("loc_" + HexLower(a));
  }

  bool IsAreaStart(Address a) const {
    for (const TCodeArea& area : f_.CodeAreas)
      if (area.AreaBegin == a && !area.CaseBlock && !area.OnExceptBlock) return true;
    return false;
  }

  void Add(Address a, std::u16string text) { lines_.push_back({a, std::move(text), false, 0}); }
  void AddressOnly(Address a) { lines_.push_back({a, u"", true, 0}); }
  void Separator(Address a) {
    AddressOnly(a);
    Add(a, std::u16string(u" ") + kSeparator);
    AddressOnly(a);
    separatorOpen_ = true;
  }

  void Code(const TCodeArea& area, bool fallsThrough) {
    if (area.AreaBegin == f_.EntryPoint) {
      if (fallsThrough && o_.format) AddressOnly(area.AreaBegin);
      Add(area.AreaBegin, u" " + Padded(u"public " + entryLabel_ + u":", kLabelWidth) + u"  ; function entry point");
    } else if (o_.format && (area.JumpTarget || area.HandlerEntry)) {
      if (fallsThrough) AddressOnly(area.AreaBegin);
      Add(area.AreaBegin, Ascii(" loc_" + HexLower(area.AreaBegin) + ":"));
    }
    TRegisters state = area.Registers;
    for (Address at = area.AreaBegin; at <= area.AreaEnd;) {
      TInstrInfo info;
      std::u16string line = InstrText(memory_, at, &state, info, o_.names);
      if (!info.valid) break;
      // A branch into the function names its label instead of the address.
      if (info.targetAddr && IsAreaStart(info.targetAddr) && line.size() > kInstrOperandColumn)
        line = line.substr(0, kInstrOperandColumn) + LabelOf(info.targetAddr);
      lines_.push_back({at, line.substr(kInstrAddressDigits), false, info.nextAddr});
      separatorOpen_ = false;
      const bool exit = IsExit(info);
      previousFallsThrough_ = !exit;
      if (exit && o_.format && !ToRuntimeHandler(info)) Separator(at);
      at = info.nextAddr;
    }
  }

  // ud2 raises at once: like a return, nothing after it runs.
  static bool IsExit(const TInstrInfo& i) {
    return IsReturn(i.opcodeWord) || IsUnconditionalJump(i) || i.opcodeWord == kOpUd2;
  }

  bool ToRuntimeHandler(const TInstrInfo& i) const {
    const TRuntimeRoutines& rt = o_.parse.runtime;
    const Address t = i.targetAddr;
    return t && (t == rt.handleAnyException || t == rt.handleOnException || t == rt.handleAutoException ||
                 t == rt.handleFinally);
  }

  void CaseTable(const TCodeArea& area, bool fallsThrough) {
    if (o_.format) {
      if (fallsThrough) AddressOnly(area.AreaBegin);
      if (!lines_.empty() && !separatorOpen_) Separator(area.AreaBegin);
    }
    for (Address at = area.AreaBegin; at + kCaseEntrySize - 1 <= area.AreaEnd; at += kCaseEntrySize) {
      std::uint32_t target = 0;
      memory_.ReadValue(at, target);
      std::u16string text = Ascii("  dd loc_" + HexLower(target));
      if (at == area.AreaBegin) text = Padded(text, kLabelWidth) + u"  ; case jump table";
      Add(at, text);
    }
    previousFallsThrough_ = false;
    if (o_.format) Separator(area.AreaEnd - (kCaseEntrySize - 1));
  }

  std::u16string ClassName(std::uint32_t classRef) const {
    std::uint32_t nameAddress = 0;
    std::uint8_t length = 0;
    if (classRef < kClassNameSlotBefore || !memory_.ReadValue(classRef - kClassNameSlotBefore, nameAddress) ||
        !memory_.ReadValue(nameAddress, length) || length == 0)
      return u"EUnknown";
    std::string name(length, '\0');
    if (!memory_.Read(nameAddress + 1, name.data(), length)) return u"EUnknown";
    for (char c : name)
      if (static_cast<unsigned char>(c) < 0x20) return u"EUnknown";
    return Ascii(name);
  }

  void HandlerTable(const TCodeArea& area) {
    std::uint32_t count = 0;
    memory_.ReadValue(area.AreaBegin, count);
    struct TEntry { Address at; std::uint32_t classRef, handler; std::u16string name; };
    std::vector<TEntry> entries;
    std::size_t width = 0;
    for (std::uint32_t i = 0; i < count; ++i) {
      TEntry e{area.AreaBegin + kOnExceptCountSize + kOnExceptEntrySize * i, 0, 0, {}};
      if (e.at + kOnExceptEntrySize - 1 > area.AreaEnd) break;
      memory_.ReadValue(e.at, e.classRef);
      memory_.ReadValue(e.at + kOnExceptHandlerOffset, e.handler);
      if (e.classRef) e.name = ClassName(e.classRef);
      width = std::max(width, e.name.size());
      entries.push_back(e);
    }
    for (const TEntry& e : entries) {
      const std::u16string handler = Ascii(" loc_" + HexLower(e.handler));
      if (e.classRef) Add(e.at, u"  on " + Padded(e.name, width) + u" do" + handler);
      else Add(e.at, u"  else" + std::u16string(width + 2, u' ') + handler);
    }
    previousFallsThrough_ = false;
  }

  void DropTrailingSeparator() {
    if (separatorOpen_ && lines_.size() >= kSeparatorLines) lines_.resize(lines_.size() - kSeparatorLines);
  }

  // A line-number column after the address, when the debug information has
  // lines for this function.
  void AddLineNumbers() {
    if (!o_.names.lineAt) return;
    unsigned reference = o_.names.lineAt(f_.EntryPoint + f_.CodeLen - 1);
    if (!reference && exception_) reference = o_.names.lineAt(exception_) * kLineDigitsReserve;
    if (!reference) return;
    const std::size_t digits = std::to_string(reference).size();
    lineColumnWidth_ = digits + 1;
    unsigned last = 0;
    for (TLine& l : lines_) {
      const unsigned line = o_.names.lineAt(l.address);
      const bool changed = line && line != last;
      std::string number = std::to_string(line);
      if (number.size() < digits) number.insert(0, digits - number.size(), '0');
      if (l.addressOnly) {
        if (changed) l.text = u" " + Ascii(number);
      } else {
        l.text = u" " + (changed ? Ascii(number) : std::u16string(digits, u' ')) + l.text;
      }
      if (line) last = line;
    }
  }

  std::vector<std::u16string> Limit() {
    std::vector<std::u16string> out;
    std::optional<std::size_t> marked;
    for (std::size_t i = 0; i < lines_.size(); ++i) {
      const TLine& l = lines_[i];
      std::u16string text = Ascii(HexLower(l.address, kInstrAddressDigits)) + l.text;
      if (!marked && l.instrEnd && exception_ >= l.address && exception_ < l.instrEnd) {
        marked = i;
        // Behind the line-number column, so that no digit is lost.
        const std::size_t column = kMarkerColumn + lineColumnWidth_;
        if (text.size() > column) text[column] = u'>';
      }
      out.push_back(text);
    }
    const unsigned n = o_.lineLimit;
    if (n == 0) return out;
    // The exception line: the first at or after the exception address.
    std::size_t at = out.size();
    for (std::size_t i = 0; i < lines_.size(); ++i)
      if (lines_[i].address >= exception_) { at = marked ? *marked : i; break; }
    if (at == out.size()) return out;
    std::vector<std::u16string> kept;
    // More than 1.2 N lines before the exception line: keep the last N.
    std::size_t first = 0;
    if (at > n * 12 / 10) {
      kept.push_back(u"[...]");
      first = at - n;
    }
    const std::size_t last = std::min(out.size(), at + 1 + n);
    kept.insert(kept.end(), out.begin() + static_cast<std::ptrdiff_t>(first), out.begin() + static_cast<std::ptrdiff_t>(last));
    if (last < out.size()) kept.push_back(u"[...]");
    return kept;
  }

  static std::u16string Join(const std::vector<std::u16string>& lines) {
    std::u16string text;
    for (std::size_t i = 0; i < lines.size(); ++i) {
      if (i) text += u"\r\n";
      text += lines[i];
    }
    return text;
  }

  const IMemoryReader& memory_;
  const TFunctionInfo& f_;
  Address exception_;
  const TListingOptions& o_;
  std::vector<TLine> lines_;
  std::u16string entryLabel_;
  bool previousFallsThrough_ = false;
  bool separatorOpen_ = false;
  std::size_t lineColumnWidth_ = 0;  // the line numbers and their blank; 0 without
};

}  // namespace

std::u16string FunctionListing(const IMemoryReader& memory, Address entry, Address exceptionAddress,
                               const TListingOptions& options, TFunctionInfo* info) {
  TFunctionInfo f = ParseFunction(memory, entry, options.parse);
  std::u16string text;
  if (f.IsValid) text = TListing(memory, f, exceptionAddress, options).Build();
  if (info) *info = std::move(f);
  return text;
}

}  // namespace ruvex
