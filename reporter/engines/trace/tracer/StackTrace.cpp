// The trace operation: set-up, the phases in their order, each under its
// own guard, and the internal-error text when one fails.
#include "reporter/engines/trace/tracer/StackTrace.h"

#include <exception>

#include "reporter/engines/trace/tracer/TraceState.h"
#include "reporter/engines/trace/support/TraceText.h"
#include "reporter/ui/ProgressAlert.h"

namespace ruvex {
namespace {

// The stack must be one committed, readable region that is no guard page.
bool StackReadable(const IMemoryReader& memory, Address bottom, Address top) {
  if (bottom >= top) return false;
  const std::optional<MemoryRegion> r = memory.RegionAt(bottom);
  return r && r->readable && !r->guard && r->base <= bottom && r->base + r->size >= top;
}

// The return point of the runtime's finally routine: where its one call of
// an unknown place returns.
Address FinallyReturnPoint(const ITraceHost& host, const ICodeModel& model, const IMemoryReader& memory) {
  const Address routine = host.FinallyRoutine();
  if (routine == 0) return 0;
  const TFunctionInfo fi = model.AnalyseFunction(memory, routine, TParseOptions{});
  return fi.IsValid && fi.UnknownTargets.size() == 1 ? fi.UnknownTargets[0].CodeAddr2 : 0;
}

void ClearOutputs(const TTraceRequest& r) {
  if (r.stackTrace) r.stackTrace->clear();
  if (r.exceptionAddress) *r.exceptionAddress = 0;
  if (r.exceptionFunction) *r.exceptionFunction = 0;
  if (r.exceptionFunctionAddr) *r.exceptionFunctionAddr = 0;
}

}  // namespace

std::u16string TStackTracer::InternalError(const char16_t* phase, const TTraceRequest& request, Address current) {
  std::u16string text = std::u16string(kInternalError) + phase;
  if (!request.isException) return text;
  text += u"\r\n" + std::u16string(kOriginalLocation) + u"\r\n";
  try {
    return text + AddressToText(host_, current, request.showRelativeAddrs, request.showRelativeLines);
  } catch (const std::exception&) {
    // The symbols that failed the phase may fail here too.
    return text + HexText(current, 2 * host_.PointerSize());
  }
}

const ICodeModel& X86CodeModelFor(unsigned pointerSize) {
  static const TX86CodeModel32 model32;
  static const TX86CodeModel64 model64;
  if (pointerSize == 8) return model64;
  return model32;
}

TStackTracer::TStackTracer(ITraceHost& host) : host_(host), model_(X86CodeModelFor(host.PointerSize())) {}
TStackTracer::TStackTracer(ITraceHost& host, const ICodeModel& model) : host_(host), model_(model) {}

std::u16string TStackTracer::TraceStack(const TTraceRequest& request) {
  const std::lock_guard<std::mutex> guard(lock_);
  ClearOutputs(request);
  Address bottom = request.stackBottom ? request.stackBottom : host_.CurrentStackPointer();
  Address top = request.stackTop ? request.stackTop : host_.CurrentStackBase();
  Address current = request.currentAddress;
  if (current == 0 && !request.isException) current = host_.CallerAddress();
  if (!StackReadable(host_.Memory(), bottom, top)) return {};

  const TReadableSnapshot snapshot(host_.Memory(), host_.CommittedRegions());
  caches_.BeginTrace(host_, model_, snapshot);
  TTraceState s(host_, model_, caches_, request, snapshot);
  s.bottom = bottom;
  s.top = top;
  s.current = current;
  s.preparedGiven = request.preparedStack != nullptr;
  s.finallyReturnPoint = FinallyReturnPoint(host_, model_, snapshot);

  std::u16string result;
  struct TPhase {
    const char16_t* name;
    void (*run)(TTraceState&);
    int progressAfter;  // -1: unchanged
  };
  static constexpr TPhase kPhases[] = {
      {u"CollectPossibleStackItems", CollectPossibleStackItems, 25},
      {u"RemoveRecursiveStackAreas", RemoveRecursiveStackAreas, -1},
      {u"InDeepChecks", InDeepChecks, 650},
      {u"RealizeOptimalLinkChains", RealizeOptimalLinkChains, 1000},
      {u"RemoveRecursiveAreas", RemoveRecursiveAreas, -1},
      {u"FillFinalOutput", FillFinalOutput, -1},
      {u"ComposeResult", nullptr, -1},
  };
  for (const TPhase& phase : kPhases) {
    if (s.Aborted()) break;
    try {
      if (phase.run)
        phase.run(s);
      else
        result = ComposeResult(s);
    } catch (const std::exception&) {
      return InternalError(phase.name, request, current);
    }
    if (phase.progressAfter >= 0) s.Progress(phase.progressAfter);
  }
  return result;
}

}  // namespace ruvex
