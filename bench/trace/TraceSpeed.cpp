// Traces synthetic stacks dense with return addresses into a small image
// with real calls, and prints per case the candidates (slots that could be
// return addresses) and the median time of several runs with its spread,
// so that the growth with the stack's size and the thread count shows.
//   bench_trace [RUNS]
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>

#include "BenchRows.h"

#include "common/bytes/LittleEndian.h"
#include "reporter/engines/trace/support/TraceDemo.h"
#include "reporter/engines/trace/tracer/StackTrace.h"

namespace {

using namespace ruvex;
using namespace ruvex::testing;
using Clock = std::chrono::steady_clock;

// A run that takes longer is aborted and reported as such.
constexpr auto kRunLimit = std::chrono::seconds(20);

// Return addresses of the demo image's calls, and values that are none.
constexpr std::uint32_t kReturns[] = {0x1008, 0x1018, 0x1028, 0x1068, 0x1078, 0x1088, 0x1098};

// A stack of `size` bytes in slots of `pointerSize`: every other slot a
// return address of the image, the others plain numbers.
std::vector<std::uint8_t> DenseStack(std::size_t size, unsigned pointerSize) {
  std::vector<std::uint8_t> bytes(size, 0);
  for (std::size_t slot = 0; slot + pointerSize <= size; slot += pointerSize) {
    const std::size_t n = slot / pointerSize;
    const std::uint32_t value = n % 2 ? kDemoBase + kReturns[(n / 2) % std::size(kReturns)] : 0x1000 + n;
    Put32(bytes, slot, value);
  }
  return bytes;
}

struct TStackCase {
  Address base;
  std::size_t size;
};

struct TRunResult {
  double seconds = 0;
  bool aborted = false;
};

// One trace of each stack, as a report of every thread does them.
TRunResult TraceAll(TStackTracer& tracer, const std::vector<TStackCase>& stacks) {
  std::atomic<bool> abort{false};
  TRunResult result;
  const auto start = Clock::now();
  for (const TStackCase& stack : stacks) {
    TTraceRequest request;
    request.currentAddress = kDemoBase + 0x102D;
    request.isException = true;
    request.externalException = true;
    request.stackBottom = stack.base;
    request.stackTop = stack.base + stack.size;
    request.abort = &abort;
    // The limit is checked by a watchdog: an aborted trace ends early.
    std::atomic<bool> done{false};
    std::thread watchdog([&] {
      while (!done && Clock::now() - start < kRunLimit) std::this_thread::sleep_for(std::chrono::milliseconds(10));
      if (!done) abort = true;
    });
    tracer.TraceStack(request);
    done = true;
    watchdog.join();
    if (abort) {
      result.aborted = true;
      break;
    }
  }
  result.seconds = std::chrono::duration<double>(Clock::now() - start).count();
  return result;
}

std::size_t Candidates(TFakeTraceHost& host, const std::vector<TStackCase>& stacks) {
  std::size_t count = 0;
  for (const TStackCase& s : stacks) {
    const std::string prepared = PrepareStack(host, 0, s.base + s.size, s.base, false, 0);
    if (prepared.size() >= 4) count += kelvane::GetLe(prepared, 0, 4);  // the entry count leads
  }
  return count;
}

void RunCase(const char* name, std::size_t stackSize, int threads, unsigned pointerSize, int runs) {
  TFakeTraceHost host;
  AddDemo(host);
  host.pointerSize = pointerSize;  // 8: the 64-bit code model, without function analysis
  std::vector<TStackCase> stacks;
  for (int t = 0; t < threads; ++t) {
    const Address base = 0x00100000 + static_cast<Address>(t) * (stackSize + 0x10000);
    host.process.buffers.emplace_back(base, DenseStack(stackSize, pointerSize), false);
    stacks.push_back({base, stackSize});
  }
  const std::size_t candidates = Candidates(host, stacks);
  TStackTracer tracer(host);
  std::vector<double> times;
  bool aborted = false;
  for (int r = 0; r < runs && !aborted; ++r) {
    const TRunResult result = TraceAll(tracer, stacks);
    aborted = result.aborted;
    times.push_back(result.seconds);
  }
  std::sort(times.begin(), times.end());
  const double median = times[times.size() / 2];
  std::printf("%-22s %10zu %6d %12.2f %12.2f %12.2f%s\n", name, candidates, static_cast<int>(times.size()),
              median * 1e3, times.front() * 1e3, times.back() * 1e3, aborted ? "  (aborted at the limit)" : "");
  const bench::TTiming timing{median, median > 0 ? (times.back() - times.front()) / median : 0};
  bench::Row(std::string("trace ") + name + " (" + std::to_string(pointerSize) + "-byte slots), ms", timing, "-", {},
             1e3, "ms");
}

}  // namespace

int main(int argc, char** argv) {
  const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 5;
  std::printf("%-22s %10s %6s %12s %12s %12s\n", "case", "candidates", "runs", "median ms", "min ms", "max ms");
  for (unsigned width : {4u, 8u}) {
    std::printf("%u-byte slots\n", width);
    RunCase("stack 64 KB", 64 * 1024, 1, width, runs);
    RunCase("stack 1 MB", 1024 * 1024, 1, width, runs);
    RunCase("10 threads x 64 KB", 64 * 1024, 10, width, runs);
    RunCase("50 threads x 64 KB", 64 * 1024, 50, width, runs);
  }
  return 0;
}
