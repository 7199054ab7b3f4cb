// Builds complete reports of this process, whose 16 other threads wait 20
// calls deep, and prints the median time of several runs with its spread.
//   bench_report [RUNS] [show]   ("show" prints the last report)
#include <windows.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "reporter/core/threads/LiveReport_win.h"

namespace {

using namespace ruvex;
using Clock = std::chrono::steady_clock;

constexpr int kThreads = 16;
constexpr int kDepth = 20;

HANDLE gRelease = nullptr;
HANDLE gReady = nullptr;
volatile LONG gWaiting = 0;
volatile int gSink = 0;

// Twenty distinct functions, so that every frame is a call of its own.
template <int Depth>
__attribute__((noinline)) void Descend() {
  if constexpr (Depth > 1) {
    Descend<Depth - 1>();
  } else {
    if (InterlockedIncrement(&gWaiting) == kThreads) SetEvent(gReady);
    WaitForSingleObject(gRelease, INFINITE);
  }
  gSink = gSink + Depth;  // no tail call: every frame stays
}

DWORD WINAPI Waiter(void*) {
  Descend<kDepth>();
  return 0;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  const int runs = argc > 1 ? std::max(1, _wtoi(argv[1])) : 7;
  gRelease = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  gReady = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  std::vector<HANDLE> threads;
  for (int i = 0; i < kThreads; ++i) threads.push_back(CreateThread(nullptr, 0, Waiter, nullptr, 0, nullptr));
  WaitForSingleObject(gReady, 10000);
  Sleep(50);

  std::vector<double> ms, startMs;
  std::u16string text;
  for (int run = 0; run < runs; ++run) {
    const auto start = Clock::now();
    TLiveReportSetup setup;
    setup.leftOut = {GetCurrentThreadId()};
    TLiveBugReport report(std::move(setup));
    report.Start(nullptr);
    startMs.push_back(std::chrono::duration<double, std::milli>(Clock::now() - start).count());
    report.Complete();
    text = report.Text();
    ms.push_back(std::chrono::duration<double, std::milli>(Clock::now() - start).count());
  }
  std::sort(startMs.begin(), startMs.end());
  std::vector<double> sorted = ms;
  std::sort(sorted.begin(), sorted.end());
  std::printf("report of %d threads, %d calls deep: %zu characters\n", kThreads + 1, kDepth, text.size());
  std::printf("median %.1f ms (min %.1f, max %.1f) over %d runs; first %.1f ms\n", sorted[sorted.size() / 2],
              sorted.front(), sorted.back(), runs, ms.front());
  std::printf("of which the start (header, thread states): median %.1f ms\n", startMs[startMs.size() / 2]);
  if (argc > 2 && std::wstring(argv[2]) == L"show")
    for (char16_t c : text) std::putchar(c < 128 ? static_cast<char>(c) : '?');
  SetEvent(gRelease);
  WaitForMultipleObjects(static_cast<DWORD>(threads.size()), threads.data(), TRUE, 10000);
  for (HANDLE t : threads) CloseHandle(t);
  return 0;
}
