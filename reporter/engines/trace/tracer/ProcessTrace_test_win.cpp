// The tracer over a live thread of this process (runs under wine64 in the
// 64-bit build): another thread stopped in a known chain of calls.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>

#include "common/text/Utf.h"
#include "reporter/engines/trace/tracer/ProcessTrace.h"

namespace ruvex {
namespace {

Address AddressOf(const void* p) { return reinterpret_cast<std::uintptr_t>(p); }

// What the blocked thread leaves for the tracing one: where each function of
// its chain returns to, its stack base, and the events of the hand-over.
struct TBlockedChain {
  HANDLE ready = nullptr;
  HANDLE release = nullptr;
  Address stackBase = 0;
  Address intoMiddle = 0;  // Inner's return address
  Address intoOuter = 0;   // Middle's return address
};

volatile int chainSink;

__attribute__((noinline)) void ChainInner(TBlockedChain& c) {
  c.intoMiddle = AddressOf(__builtin_return_address(0));
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Warray-bounds"
  c.stackBase = AddressOf(reinterpret_cast<const NT_TIB*>(NtCurrentTeb())->StackBase);
#pragma GCC diagnostic pop
  SetEvent(c.ready);
  WaitForSingleObject(c.release, 10000);
  chainSink = chainSink + 1;  // no tail call: the frame stays
}
constexpr int kLineOfInnerCall = __LINE__ + 3;  // the call of ChainInner just below
__attribute__((noinline)) void ChainMiddle(TBlockedChain& c) {
  c.intoOuter = AddressOf(__builtin_return_address(0));
  ChainInner(c);
  chainSink = chainSink + 2;
}
constexpr int kLineOfMiddleCall = __LINE__ + 2;  // the call of ChainMiddle just below
__attribute__((noinline)) void ChainOuter(TBlockedChain& c) {
  ChainMiddle(c);
  chainSink = chainSink + 3;
}

DWORD WINAPI BlockedThread(void* parameter) {
  ChainOuter(*static_cast<TBlockedChain*>(parameter));
  return 0;
}

// The listed call that returns to `returnAddress` (it ends there and starts
// at most one instruction's length before it), named by the test program's
// symbols as `function` in this unit at `line`.
bool ListsCallReturningTo(const TStackTrace& items, Address returnAddress, const char16_t* function, int line) {
  for (const TStackItem& item : items)
    if (item.Addr < returnAddress && returnAddress - item.Addr <= 15)
      return item.FunctionName.find(function) != std::u16string::npos &&
             item.UnitName.find(u"ProcessTrace_test_win.cpp") != std::u16string::npos &&
             (item.Line ? item.Line : item.relLine) == line;
  return false;
}

TEST(ProcessTrace, ListsTheChainOfAStoppedThread) {
  TBlockedChain chain;
  chain.ready = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  chain.release = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  HANDLE thread = CreateThread(nullptr, 0, BlockedThread, &chain, 0, nullptr);
  ASSERT_TRUE(thread);
  ASSERT_EQ(WaitForSingleObject(chain.ready, 10000), WAIT_OBJECT_0);
  Sleep(50);  // into the wait

  ASSERT_NE(SuspendThread(thread), static_cast<DWORD>(-1));
  CONTEXT context{};
  context.ContextFlags = CONTEXT_FULL;
  const bool gotContext = GetThreadContext(thread, &context);
  TStackTrace items;
  std::u16string text;
  if (gotContext) {
    TTraceRequest request;
    request.stackTrace = &items;
#ifdef _WIN64
    request.currentAddress = context.Rip;
    request.stackBottom = context.Rsp;
    // x64 code keeps no frame chain in RBP: call sites alone decide.
#else
    request.currentAddress = context.Eip;
    request.stackBottom = context.Esp;
    request.framePointer = context.Ebp;
#endif
    request.stackTop = chain.stackBase;
    text = ProcessStackTracer().TraceStack(request);
  }
  ResumeThread(thread);
  SetEvent(chain.release);
  WaitForSingleObject(thread, 10000);
  CloseHandle(thread);
  CloseHandle(chain.ready);
  CloseHandle(chain.release);
  ASSERT_TRUE(gotContext);

  char functions[160];
  std::snprintf(functions, sizeof functions, "inner %llx, into middle %llx, into outer %llx; listed: ",
                static_cast<unsigned long long>(AddressOf(reinterpret_cast<const void*>(&ChainInner))),
                static_cast<unsigned long long>(chain.intoMiddle), static_cast<unsigned long long>(chain.intoOuter));
  std::string listing = functions;
  for (const TStackItem& item : items) listing += std::to_string(item.Addr) + " ";
  listing += "\n" + kelvane::Utf16ToUtf8(text);
  // Inner's call of the wait, Middle's call of Inner, Outer's call of Middle.
  bool innerListed = false;
  for (const TStackItem& item : items)
    innerListed |= item.Addr > AddressOf(reinterpret_cast<const void*>(&ChainInner)) &&
                   item.Addr < AddressOf(reinterpret_cast<const void*>(&ChainInner)) + 256 &&
                   item.FunctionName.find(u"ChainInner") != std::u16string::npos;
  EXPECT_TRUE(innerListed) << listing;
  EXPECT_TRUE(ListsCallReturningTo(items, chain.intoMiddle, u"ChainMiddle", kLineOfInnerCall)) << listing;
  EXPECT_TRUE(ListsCallReturningTo(items, chain.intoOuter, u"ChainOuter", kLineOfMiddleCall)) << listing;
}

}  // namespace
}  // namespace ruvex
