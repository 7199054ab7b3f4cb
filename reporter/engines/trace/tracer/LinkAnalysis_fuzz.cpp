// The link phases over any candidate list with any links: bounded in time
// and memory, never a fault, and the top and creator items never rejected.
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <vector>

#include "reporter/engines/trace/support/FuzzBudget.h"
#include "reporter/engines/trace/support/TraceDemo.h"
#include "reporter/engines/trace/tracer/TraceState.h"

namespace {

struct TReader {
  const std::uint8_t* data;
  std::size_t size, at = 0;
  std::uint8_t Byte() { return at < size ? data[at++] : 0; }
  std::uint16_t Word() { return static_cast<std::uint16_t>(Byte() | Byte() << 8); }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace ruvex;
  using namespace ruvex::testing;
  if (size < 4 || size > 16384) return 0;
  TReader in{data, size};
  TFakeTraceHost host;
  AddDemo(host);
  TX86CodeModel32 model;
  TTraceCaches caches;
  TTraceRequest request;
  TFuzzBudget budget(std::chrono::milliseconds(2000));
  request.abort = &budget.abort;
  request.hideUglyItems = in.Byte() & 1;
  const TReadableSnapshot snapshot(host.Memory(), host.CommittedRegions());
  caches.BeginTrace(host, model, snapshot);
  TTraceState s(host, model, caches, request, snapshot);
  const int module = caches.RegisterModule(kDemoBase);
  // A few functions of the demo image to link through.
  std::vector<int> functions{-1};
  for (std::uint32_t entry : {0x1000u, 0x1010u, 0x1020u, 0x1070u, 0x1090u})
    functions.push_back(caches.AddFunction(kDemoBase + entry, {}, entry & 0x10));

  const int n = 1 + in.Word() % 512;
  s.items.resize(n);
  for (TInternalStackItem& item : s.items) {
    const std::uint8_t f = in.Byte();
    item.AfterInstr = kDemoBase + 0x1000 + in.Byte();
    item.DontKill = f & 1;
    item.Module = f & 2 ? module : -1;
    if (f & 4) item.Links[kCallers].Links.push_back({-1, item.AfterInstr - 5, false, 0, functions[in.Byte() % 6], 0});
  }
  s.items.back().TopItem = s.items.back().DontKill = true;
  s.creatorGiven = in.Byte() & 1;
  if (s.creatorGiven) s.items.front().Creator = s.items.front().DontKill = true;
  // Any links, both ends kept consistent as the phases keep them.
  while (in.at + 4 <= in.size) {
    const int a = in.Word() % n, b = in.Byte() % n;
    const int func = functions[in.Byte() % 6];
    if (a == b) continue;
    const int from = std::min(a, b), to = std::max(a, b);
    AddLink(s, from, kCallees, {to, kDemoBase + 0x1003, false, 0, func, 0});
    AddLink(s, to, kCallers, {from, kDemoBase + 0x1003, false, 0, func, 0});
  }
  RemoveRecursiveStackAreas(s);
  InDeepChecks(s);
  RealizeOptimalLinkChains(s);
  RemoveRecursiveAreas(s);
  FillFinalOutput(s);
  ComposeResult(s);
  if (s.items.back().Invalid || (s.creatorGiven && s.items.front().Invalid)) std::abort();
  if (s.linkCount > TTraceState::kMaxLinks) std::abort();
  return 0;
}
