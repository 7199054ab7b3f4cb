#pragma once
// A small 32-bit image whose code really calls from function to function,
// with symbols, and the stack its calls leave behind: the tracer's
// end-to-end fixture.
//
//   Main   10001000  push ebp; mov ebp,esp; call A   (10001003)  -> returns 10001008
//   A      10001010  push ebp; mov ebp,esp; call B   (10001013)  -> returns 10001018
//   B      10001020  push ebp; mov ebp,esp; call C   (10001023)  -> returns 10001028
//                    mov eax,1 (10001028); mov eax,[0] (1000102d: the fault)
//   C      10001040  ret
//   Raise  10001050  ret   (named "@RaiseExcept" in the symbols)
//   D      10001060  push ebp; mov ebp,esp; call Raise (10001063) -> returns 10001068
//   R      10001070  push ebp; mov ebp,esp; call R2 (10001073) -> returns 10001078
//   E      10001080  push ebp; mov ebp,esp; call R  (10001083) -> returns 10001088
//   R2     10001090  push ebp; mov ebp,esp; call R  (10001093) -> returns 10001098 (a recursion)
#include <cstdint>
#include <memory>
#include <vector>

#include "reporter/engines/testing/TestPeBuilder.h"
#include "reporter/engines/trace/support/TraceFakes.h"

namespace ruvex::testing {

constexpr Address kDemoBase = 0x10000000;
constexpr Address kStackBase = 0x00100000;
constexpr Address kStackTop = kStackBase + 0x1000;

struct TDemoCode {
  std::vector<std::uint8_t> bytes = std::vector<std::uint8_t>(0x100, 0xCC);
  void At(std::uint32_t offset, std::initializer_list<std::uint8_t> b) {
    std::copy(b.begin(), b.end(), bytes.begin() + offset);
  }
  void Prologue(std::uint32_t offset) { At(offset, {0x55, 0x89, 0xE5}); }
  void Call(std::uint32_t offset, std::uint32_t target) {
    const std::uint32_t rel = target - (offset + 5);
    At(offset, {0xE8, std::uint8_t(rel), std::uint8_t(rel >> 8), std::uint8_t(rel >> 16), std::uint8_t(rel >> 24)});
  }
  void Epilogue(std::uint32_t offset) { At(offset, {0x5D, 0xC3}); }
};

inline std::vector<std::uint8_t> DemoImage(std::uint32_t timeStamp = 0) {
  TDemoCode c;
  c.Prologue(0x00); c.Call(0x03, 0x10); c.Epilogue(0x08);
  c.Prologue(0x10); c.Call(0x13, 0x20); c.Epilogue(0x18);
  c.Prologue(0x20); c.Call(0x23, 0x40);
  c.At(0x28, {0xB8, 1, 0, 0, 0});
  c.At(0x2D, {0x8B, 0x05, 0, 0, 0, 0});
  c.Epilogue(0x33);
  c.At(0x40, {0xC3});
  c.At(0x50, {0xC3});
  c.Prologue(0x60); c.Call(0x63, 0x50); c.Epilogue(0x68);
  c.Prologue(0x70); c.Call(0x73, 0x90); c.Epilogue(0x78);
  c.Prologue(0x80); c.Call(0x83, 0x70); c.Epilogue(0x88);
  c.Prologue(0x90); c.Call(0x93, 0x70); c.Epilogue(0x98);
  TPeBuilder pe;
  pe.imageBase = kDemoBase;
  pe.sections.push_back({".text", 0x1000, c.bytes});
  pe.sections.push_back({".data", 0x2000, std::vector<std::uint8_t>(0x100, 0), 0xC0000040});
  std::vector<std::uint8_t> file = pe.Build();
  Put32(file, 0x40 + 8, timeStamp);
  return file;
}

inline std::shared_ptr<TMapFile> DemoSymbols() {
  auto m = std::make_shared<TMapFile>();
  m->AddSegment(true, kDemoBase + 0x1000, 0x100, u"Demo");
  m->SortSegments();
  const std::pair<const char16_t*, std::uint32_t> publics[] = {
      {u"Main", 0x00}, {u"A", 0x10}, {u"B", 0x20}, {u"C", 0x40}, {u"@RaiseExcept", 0x50}, {u"D", 0x60}, {u"R", 0x70},
      {u"E", 0x80}, {u"R2", 0x90}};
  for (const auto& [name, at] : publics) m->AddPublic(true, name, kDemoBase + 0x1000 + at);
  m->SortPublics();
  // Lines: each function starts on a line of its own; calls are 2 below.
  const std::pair<std::int32_t, std::uint32_t> lines[] = {
      {10, 0x00}, {12, 0x03}, {13, 0x08}, {20, 0x10}, {22, 0x13}, {23, 0x18}, {30, 0x20}, {32, 0x23},
      {33, 0x28}, {34, 0x2D}, {35, 0x33}, {40, 0x40}, {50, 0x50}, {60, 0x60}, {62, 0x63}, {70, 0x70},
      {72, 0x73}, {73, 0x78}, {80, 0x80}, {82, 0x83}, {83, 0x88}, {90, 0x90}, {92, 0x93}, {93, 0x98}};
  for (const auto& [line, at] : lines) m->AddLine(line, kDemoBase + 0x1000 + at);
  m->SortLines();
  m->SetCodeRange(kDemoBase + 0x1000, kDemoBase + 0x1100);
  m->SetModule(kDemoBase, u"C:\\Demo\\Demo.exe");
  m->SetValid(true);
  return m;
}

// Writes 32-bit values into the stack buffer from `top` downwards.
struct TDemoStack {
  std::vector<std::uint8_t> bytes = std::vector<std::uint8_t>(0x1000, 0);
  Address sp = kStackTop;
  Address Push(std::uint32_t v) {
    sp -= 4;
    Put32(bytes, static_cast<std::size_t>(sp - kStackBase), v);
    return sp;
  }
};

// The stack at the fault in B: Main called A, A called B, B's call of C
// has returned and left its return address below the stack pointer.
struct TDemoFault {
  TDemoStack stack;
  Address ebp = 0, esp = 0;
  TDemoFault() {
    stack.Push(0);                           // no caller of Main
    stack.Push(0);                           // Main: push ebp
    const Address mainFrame = stack.sp;
    stack.Push(kDemoBase + 0x1008);          // call A
    stack.Push(static_cast<std::uint32_t>(mainFrame));  // A: push ebp
    const Address aFrame = stack.sp;
    stack.Push(kDemoBase + 0x1018);          // call B
    stack.Push(static_cast<std::uint32_t>(aFrame));     // B: push ebp
    ebp = esp = stack.sp;
    stack.Push(kDemoBase + 0x1028);          // call C, returned
  }
};

inline void AddDemo(TFakeTraceHost& host, bool withSymbols = true, std::uint32_t timeStamp = 0) {
  host.process.images.AddImage(DemoImage(timeStamp), u"C:\\Demo\\Demo.exe");
  host.mainModule = kDemoBase;
  if (withSymbols) host.symbols[kDemoBase] = DemoSymbols();
}

inline void SetStack(TFakeTraceHost& host, const TDemoStack& stack) {
  host.process.buffers.erase(std::remove_if(host.process.buffers.begin(), host.process.buffers.end(),
                                            [](const TBufferMemory& b) { return b.Base() == kStackBase; }),
                             host.process.buffers.end());
  host.process.buffers.emplace_back(kStackBase, stack.bytes, false);
}

}  // namespace ruvex::testing
