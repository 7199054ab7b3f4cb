// Phases 6 and 7: the surviving candidates become listed locations with
// names and lines, then the text, the records and the checksums.
#include <algorithm>

#include "common/text/Format.h"
#include "common/text/Utf.h"
#include "reporter/archive/Crc32.h"
#include "reporter/engines/pe/exports/Unmangle.h"
#include "common/text/Windows1252.h"
#include "reporter/engines/trace/tracer/TraceState.h"
#include "reporter/engines/trace/support/TraceText.h"

namespace ruvex {
namespace {

// The address shown for a candidate, and its function when one is approved.
void ChooseAddress(TTraceState& s, TInternalStackItem& item) {
  TFinalOutput& out = item.FinalOutput;
  for (const TStackLink& l : item.Links[kCallers].Links)
    if (l.Link == -1 && s.Approved(l.Func)) {
      const TTraceFunction& f = s.caches.Function(l.Func);
      out.Addr = l.CodeAddr;
      out.PublicName = f.name;
      out.PublicAddr = f.fi.EntryPoint;
      std::u16string readable;
      UnmangleName(f.name, readable, out.UnitName);
      return;
    }
  for (const TStackLink& l : item.Links[kCallers].Links)
    if (l.Link == -1 && l.CodeAddr != 0) {
      out.Addr = l.CodeAddr;
      return;
    }
  const TLinkSet& callees = item.Links[kCallees];
  if (callees.Best >= 0 && callees.Best < static_cast<int>(callees.Links.size())) {
    out.Addr = callees.Links[callees.Best].CodeAddr;
    return;
  }
  out.Addr = item.AfterInstr;
}

void AddMinDebugInfo(TTraceState& s, const TTraceModule& m) {
  std::vector<std::u16string>* list = s.request.minDebugInfos;
  if (!list || !m.mapFile || m.mapFile->MinDebugInfo().empty()) return;
  const std::u16string entry = m.name + u"|" + kelvane::Utf8ToUtf16(m.mapFile->MinDebugInfo());
  for (const std::u16string& e : *list)
    if (kelvane::EqualsIgnoreCase(e, entry)) return;
  list->push_back(entry);
}

void NameAndLine(TTraceState& s, TInternalStackItem& item) {
  TFinalOutput& out = item.FinalOutput;
  const TTraceModule* m = s.ModuleOf(item);
  out.ModuleName = m ? m->name : u"???";
  if (!m || !m->mapFile) return;
  const TMapFile& map = *m->mapFile;
  if (out.PublicName.empty()) {
    const TMfPublic& p = map.FindPublic(out.Addr);
    if (p.IsValid) {
      out.PublicName = p.Name;
      out.PublicAddr = p.Address;
    }
  }
  const TMfSegment segment = map.FindSegment(true, out.Addr);
  if (segment.IsValid) out.UnitName = segment.Unit_;
  out.Line = std::max(0, map.FindLine(out.Addr));
  if (s.request.showRelativeLines && out.Line > 0 && out.PublicAddr != 0) {
    const std::int32_t first = map.FindLine(out.PublicAddr);
    if (first > 0) {
      out.PublicLine = out.Line;
      out.Line -= first;
    }
  }
  AddMinDebugInfo(s, *m);
}

void InvalidateInner(TTraceState& s, int from, bool keepInnermost) {
  for (int j = from; j < s.Count(); ++j)
    if (!s.items[j].Protected() && !(keepInnermost && j == s.Count() - 1)) s.items[j].Invalid = true;
}

}  // namespace

void FillFinalOutput(TTraceState& s) {
  bool cxxTermination = s.request.cxxTermination;
  bool lookForDispatcher = false;
  for (int i = s.Count() - 1; i >= 0; --i) {
    if (s.Aborted()) return;
    TInternalStackItem& item = s.items[i];
    if (item.Invalid) continue;
    item.FinalOutput = TFinalOutput{};
    ChooseAddress(s, item);
    NameAndLine(s, item);
    const std::u16string& name = item.FinalOutput.PublicName;
    // The runtime's own frames of a C++ termination or of a handled system
    // exception are not the program's.
    if (cxxTermination && (name == u"_ThrowExceptionLDTC" || name == u"_ReThrowException")) {
      cxxTermination = false;
      InvalidateInner(s, i, false);
    }
    if (s.preparedGiven && name == u"__ExceptionHandler") {
      s.preparedGiven = false;
      InvalidateInner(s, i, true);
      lookForDispatcher = true;
    } else if (lookForDispatcher && !name.empty()) {
      lookForDispatcher = false;
      if (name == u"KiUserExceptionDispatcher" && !item.Protected()) item.Invalid = true;
    }
  }
  // After the walk, which may have hidden inner items.
  if (s.request.exceptionAddress)
    for (int i = s.Count() - 1; i >= 0; --i)
      if (!s.items[i].Invalid) {
        *s.request.exceptionAddress = s.items[i].FinalOutput.Addr;
        break;
      }
}

namespace {

bool MeetsListing(const TTraceState& s, int i) {
  const TInternalStackItem& item = s.items[i];
  if (item.Invalid) return false;
  if (item.TopItem || item.Creator) return true;
  return !item.FinalOutput.PublicName.empty() && (item.FinalOutput.Line > 0 || !s.request.hideUglyItems);
}

std::uint32_t RelativeAddress(const TFinalOutput& o) {
  return o.PublicAddr != 0 && o.PublicAddr < o.Addr ? static_cast<std::uint32_t>(o.Addr - o.PublicAddr) : 0;
}

std::size_t DecimalWidth(std::int64_t v) { return kelvane::DecimalText(v).size(); }

std::u16string RightAligned(const std::u16string& text, std::size_t width) {
  return text.size() >= width ? text : std::u16string(width - text.size(), u' ') + text;
}
std::u16string LeftAligned(const std::u16string& text, std::size_t width) {
  return text.size() >= width ? text : text + std::u16string(width - text.size(), u' ');
}

struct TWidths {
  std::size_t relAddr = 0, module = 0, unit = 0, line = 0, relLine = 0;
};

TWidths ColumnWidths(const TTraceState& s, const std::vector<int>& candidates) {
  TWidths w;
  const bool relLines = s.request.showRelativeLines;
  for (int i : candidates) {
    const TFinalOutput& o = s.items[i].FinalOutput;
    if (s.request.showRelativeAddrs && RelativeAddress(o) != 0)
      w.relAddr = std::max(w.relAddr, HexText(RelativeAddress(o), 0).size() + 2);
    w.module = std::max(w.module, o.ModuleName.size() + 1);
    w.unit = std::max(w.unit, o.UnitName.size() + 1);
    if (o.PublicLine > 0) w.line = std::max(w.line, DecimalWidth(o.PublicLine) + 1);
    if (o.Line > 0 || o.PublicLine > 0)
      w.relLine = std::max(w.relLine, DecimalWidth(o.Line) + (relLines && o.PublicLine > 0 ? 2 : 1));
  }
  return w;
}

std::u16string ListedLine(const TTraceState& s, const TFinalOutput& o, const TWidths& w) {
  std::u16string line = HexText(o.Addr, 2 * s.pointerSize) + u" ";
  if (w.relAddr > 0) line += u"+" + HexText(RelativeAddress(o), w.relAddr - 2) + u" ";
  line += LeftAligned(o.ModuleName, w.module);
  line += LeftAligned(o.UnitName, w.unit);
  if (w.line > 0) line += RightAligned(o.PublicLine > 0 ? kelvane::DecimalText(o.PublicLine) : u"", w.line - 1) + u" ";
  if (w.relLine > 0) {
    std::u16string text;
    if (o.Line > 0 || o.PublicLine > 0)
      text = (s.request.showRelativeLines && o.PublicLine > 0 ? u"+" : u"") + kelvane::DecimalText(o.Line);
    line += RightAligned(text, w.relLine - 1) + u" ";
  }
  return line + o.PublicName;
}

TStackItem RecordOf(const TFinalOutput& o) {
  TStackItem r;
  r.Addr = o.Addr;
  r.relAddr = RelativeAddress(o);
  r.ModuleName = o.ModuleName;
  r.UnitName = o.UnitName;
  r.Line = o.PublicLine;
  r.relLine = o.PublicLine > 0 ? o.Line : (o.Line > 0 ? o.Line : 0);
  r.FunctionName = o.PublicName;
  return r;
}

void WriteChecksums(const TTraceState& s, const std::vector<int>& listed) {
  const TTraceRequest& r = s.request;
  if (!r.topChecksum || !r.stackChecksum || !r.hasLines) return;
  for (std::size_t k = 0; k < listed.size(); ++k) {
    const TFinalOutput& o = s.items[listed[k]].FinalOutput;
    const std::uint32_t v = ItemChecksum(o.Addr, o.PublicAddr, o.ModuleName, o.UnitName, o.PublicName);
    if (k == 0) {
      *r.topChecksum = *r.stackChecksum = v;
      *r.hasLines = o.Line > 0;
      continue;
    }
    const std::uint8_t bytes[4] = {static_cast<std::uint8_t>(v), static_cast<std::uint8_t>(v >> 8),
                                   static_cast<std::uint8_t>(v >> 16), static_cast<std::uint8_t>(v >> 24)};
    *r.stackChecksum = Crc32Update(*r.stackChecksum, bytes, 4);
    if (o.Line > 0) *r.hasLines = true;
  }
}

void WriteExceptionFunction(const TTraceState& s, const std::vector<int>& listed) {
  const TTraceRequest& r = s.request;
  const TFinalOutput* chosen = nullptr;
  for (int i : listed) {
    const TFinalOutput& o = s.items[i].FinalOutput;
    if (o.PublicAddr != 0 && o.PublicLine > 0) {
      chosen = &o;
      break;
    }
    if (o.PublicAddr != 0 && !chosen) chosen = &o;
  }
  if (!chosen) return;
  if (r.exceptionFunction) *r.exceptionFunction = chosen->PublicAddr;
  if (r.exceptionFunctionAddr) *r.exceptionFunctionAddr = chosen->Addr;
}

}  // namespace

std::u16string ComposeResult(TTraceState& s) {
  std::vector<int> candidates, listed;
  for (int i = s.Count() - 1; i >= 0; --i)
    if (MeetsListing(s, i)) candidates.push_back(i);
  const TWidths widths = ColumnWidths(s, candidates);
  std::u16string text;
  for (int i : candidates) {
    if (s.Aborted()) break;
    const TInternalStackItem& item = s.items[i];
    const bool always = item.TopItem || item.Creator;
    if (!always && !listed.empty() && s.items[listed.back()].FinalOutput.Addr == item.FinalOutput.Addr) continue;
    if (!listed.empty()) text += u"\r\n";
    text += ListedLine(s, item.FinalOutput, widths);
    listed.push_back(i);
    if (s.request.stackTrace) s.request.stackTrace->push_back(RecordOf(item.FinalOutput));
  }
  WriteChecksums(s, listed);
  WriteExceptionFunction(s, listed);
  return text;
}

}  // namespace ruvex
