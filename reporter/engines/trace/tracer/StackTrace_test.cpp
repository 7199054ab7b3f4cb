#include "reporter/engines/trace/tracer/StackTrace.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "common/text/Utf.h"
#include "reporter/engines/trace/support/TraceDemo.h"
#include "reporter/ui/RecordingProgressAlert.h"

namespace ruvex {
namespace {

using namespace ruvex::testing;

struct TTraceFixture : ::testing::Test {
  TFakeTraceHost host;
  TDemoFault fault;
  TStackTrace items;
  TTraceRequest request;

  void SetUp() override {
    AddDemo(host);
    SetStack(host, fault.stack);
    request.stackTrace = &items;
    request.currentAddress = kDemoBase + 0x102D;
    request.isException = true;
    request.externalException = true;
    request.stackBottom = kStackBase;
    request.stackTop = kStackTop;
    request.framePointer = fault.ebp;
  }
  std::string Trace() {
    TStackTracer tracer(host);
    return kelvane::Utf16ToUtf8(tracer.TraceStack(request));
  }
  std::vector<Address> Addresses() const {
    std::vector<Address> out;
    for (const TStackItem& i : items) out.push_back(i.Addr);
    return out;
  }
};

TEST_F(TTraceFixture, KnownFramesTopFirstWithAndWithoutFramePointer) {
  for (Address fp : {fault.ebp, Address{0}}) {
    request.framePointer = fp;
    const std::string text = Trace();
    EXPECT_EQ(text,
              "1000102d Demo.exe Demo 34 B\r\n"
              "10001013 Demo.exe Demo 22 A\r\n"
              "10001003 Demo.exe Demo 12 Main")
        << "frame pointer " << fp;
    ASSERT_EQ(items.size(), 3u);
    EXPECT_EQ(items[0], (TStackItem{kDemoBase + 0x102D, 0xD, u"Demo.exe", u"Demo", 0, 34, u"B"}));
  }
  EXPECT_EQ(host.symbolTraces, 2);  // the symbol files are checked once per trace
}

TEST_F(TTraceFixture, RelativeAddressesAndLinesWidenTheColumns) {
  request.showRelativeAddrs = true;
  request.showRelativeLines = true;
  EXPECT_EQ(Trace(),
            "1000102d +d Demo.exe Demo 34 +4 B\r\n"
            "10001013 +3 Demo.exe Demo 22 +2 A\r\n"
            "10001003 +3 Demo.exe Demo 12 +2 Main");
  EXPECT_EQ(items[1], (TStackItem{kDemoBase + 0x1013, 3, u"Demo.exe", u"Demo", 22, 2, u"A"}));
}

TEST_F(TTraceFixture, OutputsOfTheExceptionLocation) {
  Address exceptionAddress = 1, function = 1, inFunction = 1;
  std::uint32_t topCrc = 0, stackCrc = 0;
  bool hasLines = false;
  request.exceptionAddress = &exceptionAddress;
  request.exceptionFunction = &function;
  request.exceptionFunctionAddr = &inFunction;
  request.topChecksum = &topCrc;
  request.stackChecksum = &stackCrc;
  request.hasLines = &hasLines;
  request.showRelativeLines = true;
  Trace();
  EXPECT_EQ(exceptionAddress, kDemoBase + 0x102D);
  EXPECT_EQ(function, kDemoBase + 0x1020);
  EXPECT_EQ(inFunction, kDemoBase + 0x102D);
  EXPECT_TRUE(hasLines);
  EXPECT_NE(topCrc, 0u);
  EXPECT_NE(topCrc, stackCrc);
  // The checksums hang on offsets and names, not on how lines are shown.
  const std::uint32_t firstTop = topCrc, firstStack = stackCrc;
  request.showRelativeLines = false;
  Trace();
  EXPECT_EQ(topCrc, firstTop);
  EXPECT_EQ(stackCrc, firstStack);
}

TEST_F(TTraceFixture, StaleReturnAddressBetweenCertainFramesIsDropped) {
  // The stale return of C lies between B's top and A's frame in both scans.
  for (Address fp : {fault.ebp, Address{0}}) {
    request.framePointer = fp;
    request.hideUglyItems = false;
    Trace();
    EXPECT_EQ(Addresses(), (std::vector<Address>{kDemoBase + 0x102D, kDemoBase + 0x1013, kDemoBase + 0x1003}));
  }
}

TEST_F(TTraceFixture, WithoutSymbolsTheTopItemIsStillListed) {
  host.symbols.clear();
  request.currentAddress = 0x00400000;  // in no module
  request.framePointer = 0;
  EXPECT_EQ(Trace(), "00400000 ???  ");  // module and unit columns padded
  ASSERT_EQ(items.size(), 1u);
  EXPECT_EQ(items[0].ModuleName, u"???");
}

TEST_F(TTraceFixture, RaiseThroughANamedRoutineIsShownAtTheCall) {
  TDemoStack stack;
  stack.Push(0);
  stack.Push(0);
  stack.Push(kDemoBase + 0x1008);  // Main called A
  stack.Push(0);
  stack.Push(kDemoBase + 0x1068);  // D called Raise (as if from A)
  SetStack(host, stack);
  request.externalException = false;
  request.framePointer = 0;
  request.currentAddress = kDemoBase + 0x1068;  // a raise reports its return address
  const std::string text = Trace();
  EXPECT_EQ(text.substr(0, 26), "10001063 Demo.exe Demo 62 ") << text;
  EXPECT_EQ(items.at(0).FunctionName, u"D");
}

TEST_F(TTraceFixture, AbortBeforeTheTraceGivesNothing) {
  std::atomic<bool> abort{true};
  request.abort = &abort;
  EXPECT_EQ(Trace(), "");
  EXPECT_TRUE(items.empty());
}

TEST_F(TTraceFixture, UnreadableStackRangeGivesNothing) {
  request.stackTop = kStackTop + 0x1000;  // beyond the region
  EXPECT_EQ(Trace(), "");
  request.stackTop = kStackTop;
  request.stackBottom = kStackTop;  // empty
  EXPECT_EQ(Trace(), "");
}

TEST_F(TTraceFixture, RecursionRepeatingTheSameReturnsLeavesTheOutermostCopy) {
  // E called R; R and R2 call each other three times over; the stack
  // overflows at R's next call.
  TDemoStack stack;
  stack.Push(0);
  stack.Push(kDemoBase + 0x1088);
  for (int i = 0; i < 3; ++i) {
    stack.Push(kDemoBase + 0x1078);
    stack.Push(kDemoBase + 0x1098);
  }
  SetStack(host, stack);
  for (Address fp : {Address{0}, fault.ebp}) {  // the frame pointer is nonsense here: no chain
    request.framePointer = fp;
    request.currentAddress = kDemoBase + 0x1073;
    Trace();
    EXPECT_EQ(Addresses(), (std::vector<Address>{kDemoBase + 0x1073, kDemoBase + 0x1093, kDemoBase + 0x1073,
                                                 kDemoBase + 0x1083}));
  }
}

TEST_F(TTraceFixture, ConsecutiveItemsWithTheSameAddressAreListedOnce) {
  // The fault at R's call of R2 itself, with R's own return below: both
  // show the call at 10001073.
  TDemoStack stack;
  stack.Push(0);
  stack.Push(kDemoBase + 0x1088);  // E called R
  stack.Push(kDemoBase + 0x1098);  // R2 called R ... and R faulted at its call
  stack.Push(kDemoBase + 0x1078);  // R called R2 (the same call site as the fault)
  SetStack(host, stack);
  request.framePointer = 0;
  request.currentAddress = kDemoBase + 0x1073;
  request.isException = false;
  Trace();
  const std::vector<Address> a = Addresses();
  for (std::size_t i = 1; i < a.size(); ++i) EXPECT_NE(a[i], a[i - 1]) << i;
  EXPECT_EQ(a.front(), kDemoBase + 0x1073);
}

TEST_F(TTraceFixture, HidingUglyItemsKeepsTheTopAndTheCreator) {
  host.symbols[kDemoBase] = DemoSymbols();
  // Lines only for B: the others become ugly.
  auto map = std::make_shared<TMapFile>(*host.symbols[kDemoBase]);
  TMapFile stripped;
  stripped.AddSegment(true, kDemoBase + 0x1000, 0x100, u"Demo");
  stripped.SortSegments();
  for (const TMfPublic& p : map->Publics()) stripped.AddPublic(true, p.Name, p.Address);
  stripped.SortPublics();
  stripped.AddLine(30, kDemoBase + 0x1020);
  stripped.AddLine(34, kDemoBase + 0x102D);
  stripped.SortLines();
  stripped.SetCodeRange(kDemoBase + 0x1000, kDemoBase + 0x1100);
  stripped.SetValid(true);
  host.symbols[kDemoBase] = std::make_shared<TMapFile>(stripped);
  request.hideUglyItems = true;
  request.creatorAddress = kDemoBase + 0x1008;  // the creator location, in Main
  Trace();
  // Top (B, with a line), A hidden, Main's call hidden, the creator listed.
  ASSERT_EQ(items.size(), 2u);
  EXPECT_EQ(items[0].FunctionName, u"B");
  EXPECT_EQ(items[1].FunctionName, u"Main");
  request.hideUglyItems = false;
  Trace();
  EXPECT_EQ(items.size(), 4u);
}

TEST_F(TTraceFixture, ReloadedModuleAtTheSameBaseGetsFreshNameAndSymbols) {
  TStackTracer tracer(host);
  tracer.TraceStack(request);
  EXPECT_EQ(items.at(0).ModuleName, u"Demo.exe");
  // Another build of the library is loaded at the same base, without symbols.
  host.process.images = TImageMemory();
  host.process.images.AddImage(DemoImage(0x1234), u"C:\\Other\\Other.dll");
  host.symbols.clear();
  tracer.TraceStack(request);
  ASSERT_FALSE(items.empty());
  EXPECT_EQ(items[0].ModuleName, u"Other.dll");
  EXPECT_EQ(items[0].FunctionName, u"");
}

TEST_F(TTraceFixture, FrameChainLeavingTheStackEndsThere) {
  // A saved frame pointer far above the stack top: the chain ends, the
  // trace still finds the frames by their call sites.
  TDemoFault broken;
  Put32(broken.stack.bytes, static_cast<std::size_t>(broken.ebp - kStackBase), 0x7FFFFFF0);
  SetStack(host, broken.stack);
  Trace();
  EXPECT_EQ(Addresses(), (std::vector<Address>{kDemoBase + 0x102D, kDemoBase + 0x1013, kDemoBase + 0x1003}));
}

TEST_F(TTraceFixture, PreparedStackGivesTheSameTrace) {
  const std::string prepared = PrepareStack(host, fault.ebp, kStackTop, kStackBase, false, 0);
  ASSERT_GE(prepared.size(), 4u);
  request.preparedStack = &prepared;
  request.framePointer = 0;
  Trace();
  EXPECT_EQ(Addresses(), (std::vector<Address>{kDemoBase + 0x102D, kDemoBase + 0x1013, kDemoBase + 0x1003}));
}

TEST_F(TTraceFixture, RuntimeFramesOfACxxTerminationAreHidden) {
  auto map = DemoSymbols();
  TMapFile renamed;
  renamed.AddSegment(true, kDemoBase + 0x1000, 0x100, u"Demo");
  renamed.SortSegments();
  for (const TMfPublic& p : map->Publics())
    renamed.AddPublic(true, p.Name == u"A" ? u"_ThrowExceptionLDTC" : p.Name, p.Address);
  renamed.SortPublics();
  for (const TMfLine& l : map->Lines()) renamed.AddLine(l.Line, l.Address);
  renamed.SortLines();
  renamed.SetValid(true);
  host.symbols[kDemoBase] = std::make_shared<TMapFile>(renamed);
  Trace();
  EXPECT_EQ(items.size(), 3u);
  request.cxxTermination = true;
  Trace();
  // The throw routine goes; the top stays, being the exception location.
  ASSERT_EQ(items.size(), 2u);
  EXPECT_EQ(items[0].FunctionName, u"B");
  EXPECT_EQ(items[1].FunctionName, u"Main");
}

TEST_F(TTraceFixture, HandlerFramesOfAPreparedStackAreHidden) {
  auto map = DemoSymbols();
  TMapFile renamed;
  renamed.AddSegment(true, kDemoBase + 0x1000, 0x100, u"Demo");
  renamed.SortSegments();
  for (const TMfPublic& p : map->Publics())
    renamed.AddPublic(true,
                      p.Name == u"A" ? u"__ExceptionHandler" : p.Name == u"Main" ? u"KiUserExceptionDispatcher" : p.Name,
                      p.Address);
  renamed.SortPublics();
  for (const TMfLine& l : map->Lines()) renamed.AddLine(l.Line, l.Address);
  renamed.SortLines();
  renamed.SetValid(true);
  host.symbols[kDemoBase] = std::make_shared<TMapFile>(renamed);
  const std::string prepared = PrepareStack(host, fault.ebp, kStackTop, kStackBase, false, 0);
  request.preparedStack = &prepared;
  Trace();
  ASSERT_EQ(items.size(), 1u);
  EXPECT_EQ(items[0].FunctionName, u"B");
  // Without the current address the prepared stack no longer counts: the
  // handler frames stay (below them the stale call in B is all there is).
  request.noCurrentAddress = true;
  Trace();
  ASSERT_EQ(items.size(), 3u);
  EXPECT_EQ(items[1].FunctionName, u"__ExceptionHandler");
  EXPECT_EQ(items[2].FunctionName, u"KiUserExceptionDispatcher");
}

TEST_F(TTraceFixture, MinimalDebugInformationListedOncePerModule) {
  auto map = DemoSymbols();
  map->SetMinDebugInfo("$1a2b");
  host.symbols[kDemoBase] = map;
  std::vector<std::u16string> infos{u"DEMO.EXE|$1A2B"};  // an equal entry, in other case
  request.minDebugInfos = &infos;
  Trace();
  EXPECT_EQ(infos, (std::vector<std::u16string>{u"DEMO.EXE|$1A2B"}));
  infos.clear();
  Trace();
  EXPECT_EQ(infos, (std::vector<std::u16string>{u"Demo.exe|$1a2b"}));
}

TEST_F(TTraceFixture, PointerWidthIsAParameter) {
  // The same fault on a stack of 8-byte slots: the engine reads and chains
  // them by the width the host gives, and shows 16 digits. The 64-bit model
  // analyses no function, so each caller is confirmed by its call
  // instruction alone, and the stale return address still goes: its call
  // leads to a function that does not hold the fault.
  host.pointerSize = 8;
  std::vector<std::uint8_t> bytes(0x1000, 0);
  Address sp = kStackTop;
  auto push = [&](std::uint64_t v) {
    sp -= 8;
    Put64(bytes, static_cast<std::size_t>(sp - kStackBase), v);
    return sp;
  };
  push(0);
  const Address mainFrame = push(0);
  push(kDemoBase + 0x1008);
  const Address aFrame = push(mainFrame);
  push(kDemoBase + 0x1018);
  const Address bFrame = push(aFrame);
  push(kDemoBase + 0x1028);  // stale
  host.process.buffers.clear();
  host.process.buffers.emplace_back(kStackBase, bytes, false);
  for (Address fp : {bFrame, Address{0}}) {
    request.framePointer = fp;
    EXPECT_EQ(Trace(),
              "000000001000102d Demo.exe Demo 34 B\r\n"
              "0000000010001013 Demo.exe Demo 22 A\r\n"
              "0000000010001003 Demo.exe Demo 12 Main");
  }
  const std::string prepared = PrepareStack(host, bFrame, kStackTop, kStackBase, false, 0);
  ASSERT_EQ(prepared.size(), 4u + 3 * 9);
  EXPECT_EQ(prepared[4], 1);
  request.preparedStack = &prepared;
  request.framePointer = 0;
  Trace();
  EXPECT_EQ(Addresses(), (std::vector<Address>{kDemoBase + 0x102D, kDemoBase + 0x1013, kDemoBase + 0x1003}));
}

TEST_F(TTraceFixture, ProgressRunsFromZeroToAThousand) {
  TRecordingProgressAlert alert;
  request.progress = &alert;
  Trace();
  const std::vector<int>& p = alert.positions;
  ASSERT_FALSE(p.empty());
  EXPECT_TRUE(std::is_sorted(p.begin(), p.end()));
  EXPECT_GE(p.front(), 0);
  EXPECT_EQ(p.back(), 1000);
  for (int mark : {25, 650}) EXPECT_NE(std::find(p.begin(), p.end(), mark), p.end()) << mark;
}

// Symbols that fail: the phase's internal error, with the original location.
class TFailingHost : public TFakeTraceHost {
 public:
  int failures = 0;
  std::shared_ptr<const TMapFile> ModuleSymbols(Address module) override {
    if (failures > 0) {
      --failures;
      throw std::runtime_error("broken symbols");
    }
    return TFakeTraceHost::ModuleSymbols(module);
  }
};

TEST(TraceStackErrors, InternalErrorNamesThePhaseAndTheOriginalLocation) {
  TFailingHost host;
  AddDemo(host);
  TDemoFault fault;
  SetStack(host, fault.stack);
  TTraceRequest request;
  request.currentAddress = kDemoBase + 0x102D;
  request.isException = true;
  request.stackBottom = kStackBase;
  request.stackTop = kStackTop;
  TStackTracer tracer(host);
  host.failures = 1;
  EXPECT_EQ(kelvane::Utf16ToUtf8(tracer.TraceStack(request)),
            ">> internal error in CollectPossibleStackItems\r\n"
            ">> original exception location: \r\n"
            "1000102d Demo.exe Demo 34 B");
  host.failures = 2;  // the location cannot be named either
  EXPECT_EQ(kelvane::Utf16ToUtf8(tracer.TraceStack(request)),
            ">> internal error in CollectPossibleStackItems\r\n"
            ">> original exception location: \r\n"
            "1000102d");
  host.failures = 1;
  request.isException = false;
  EXPECT_EQ(kelvane::Utf16ToUtf8(tracer.TraceStack(request)), ">> internal error in CollectPossibleStackItems");
}

}  // namespace
}  // namespace ruvex
