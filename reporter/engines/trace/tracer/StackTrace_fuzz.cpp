// The tracer over any stack bytes, with a module whose code is any bytes
// too: it stays within its bounds, never faults, and lists at most one
// location per stack slot (plus the top and the creator).
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "reporter/engines/trace/support/FuzzBudget.h"
#include "reporter/engines/trace/tracer/StackTrace.h"
#include "reporter/engines/trace/support/TraceDemo.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace ruvex;
  using namespace ruvex::testing;
  constexpr std::size_t kHeader = 8, kCode = 256, kMaxStack = 4096;
  if (size < kHeader + kCode || size > kHeader + kCode + kMaxStack) return 0;
  const std::uint8_t flags = data[0];

  TFakeTraceHost host;
  TPeBuilder pe;
  pe.imageBase = kDemoBase;
  pe.sections.push_back({".text", 0x1000, std::vector<std::uint8_t>(data + kHeader, data + kHeader + kCode)});
  pe.sections.push_back({".data", 0x2000, std::vector<std::uint8_t>(0x100, 0), 0xC0000040});
  host.process.images.AddImage(pe.Build(), u"C:\\Fuzz\\Fuzz.dll");
  if (flags & 1) host.symbols[kDemoBase] = DemoSymbols();
  std::vector<std::uint8_t> stack(data + kHeader + kCode, data + size);
  stack.resize((stack.size() + 3) & ~std::size_t{3});
  if (stack.empty()) return 0;
  host.process.buffers.emplace_back(kStackBase, stack, false);

  TFuzzBudget budget(std::chrono::milliseconds(2000));
  TStackTrace items;
  std::uint32_t top = 0, crc = 0;
  bool lines = false;
  std::vector<std::u16string> minInfos;
  TTraceRequest r;
  r.hideUglyItems = flags & 2;
  r.showRelativeAddrs = flags & 4;
  r.showRelativeLines = flags & 8;
  r.isException = flags & 16;
  r.externalException = flags & 32;
  r.cxxTermination = flags & 64;
  r.noCurrentAddress = flags & 128;
  r.stackTrace = &items;
  r.currentAddress = kDemoBase + 0x1000 + data[1];
  r.creatorAddress = data[2] & 1 ? kDemoBase + 0x1000 + data[3] : 0;
  r.stackBottom = kStackBase;
  r.stackTop = kStackBase + stack.size();
  r.framePointer = data[4] & 1 ? kStackBase + (data[5] * 4) % stack.size() : 0;
  r.abort = &budget.abort;
  r.topChecksum = &top;
  r.stackChecksum = &crc;
  r.hasLines = &lines;
  r.minDebugInfos = &minInfos;
  std::string prepared;
  if (data[6] & 1) {
    prepared = PrepareStack(host, r.framePointer, r.stackTop, r.stackBottom, false, 0);
    r.preparedStack = &prepared;
  }
  TStackTracer tracer(host);
  tracer.TraceStack(r);
  if (items.size() > stack.size() / 4 + 2) std::abort();
  return 0;
}
