#include "reporter/core/flow/RequestRing.h"

#include <gtest/gtest.h>

#include <thread>
#include <vector>

using namespace ruvex;
using namespace std::chrono_literals;

namespace {

THandlingRequest Request(std::uint32_t threadId) {
  THandlingRequest request;
  request.completionEvent = kelvane::TKernelHandle(0x100 + threadId);
  request.threadId = threadId;
  request.exceptAddr = 0x401000 + threadId;
  request.exceptionRecord[0] = std::byte(threadId & 0xff);
  request.exceptionRecord[kExceptionRecordSize - 1] = std::byte(0xA5);
  return request;
}

void ExpectRequest(const std::optional<THandlingRequest>& read, std::uint32_t threadId) {
  ASSERT_TRUE(read.has_value());
  EXPECT_EQ(read->threadId, threadId);
  EXPECT_EQ(read->exceptAddr, 0x401000u + threadId);
  EXPECT_EQ(read->completionEvent.Value(), 0x100u + threadId);
  EXPECT_EQ(read->exceptionRecord[0], std::byte(threadId & 0xff));
  EXPECT_EQ(read->exceptionRecord[kExceptionRecordSize - 1], std::byte(0xA5));
}

}  // namespace

TEST(RequestRing, FullRingRefusesWholeRecordsAndKeepsTheQueuedOnesAligned) {
  TRequestRing ring;
  for (std::uint32_t i = 0; i < kRequestSlots; ++i) ASSERT_TRUE(ring.Write(Request(i)));
  EXPECT_FALSE(ring.Write(Request(99)));
  EXPECT_EQ(ring.Pending(), kRequestSlots);
  for (std::uint32_t i = 0; i < kRequestSlots; ++i) ExpectRequest(ring.Read(0ms), i);
  EXPECT_FALSE(ring.Read(0ms).has_value());
}

TEST(RequestRing, WrapsAroundInArrivalOrder) {
  TRequestRing ring;
  std::uint32_t written = 0, read = 0;
  // Three rounds of 11 in, 11 out move the head across the end twice.
  for (int round = 0; round < 3; ++round) {
    for (int i = 0; i < 11; ++i) ASSERT_TRUE(ring.Write(Request(written++)));
    for (int i = 0; i < 11; ++i) ExpectRequest(ring.Read(0ms), read++);
  }
  // Refill after the wrap to the brim: still exactly kRequestSlots fit.
  for (std::uint32_t i = 0; i < kRequestSlots; ++i) ASSERT_TRUE(ring.Write(Request(written++)));
  EXPECT_FALSE(ring.Write(Request(999)));
  for (std::uint32_t i = 0; i < kRequestSlots; ++i) ExpectRequest(ring.Read(0ms), read++);
}

TEST(RequestRing, ReadWaitsForAWriterAndTimesOut) {
  TRequestRing ring;
  auto start = std::chrono::steady_clock::now();
  EXPECT_FALSE(ring.Read(30ms).has_value());
  EXPECT_GE(std::chrono::steady_clock::now() - start, 25ms);

  std::thread writer([&ring] {
    std::this_thread::sleep_for(20ms);
    ring.Write(Request(7));
  });
  ExpectRequest(ring.Read(5s), 7);
  writer.join();
}

TEST(RequestRing, ConcurrentWritersLoseNothing) {
  TRequestRing ring;
  constexpr int kWriters = 4, kEach = 200;
  std::vector<std::thread> writers;
  for (int w = 0; w < kWriters; ++w)
    writers.emplace_back([&ring, w] {
      for (int i = 0; i < kEach; ++i)
        while (!ring.Write(Request(static_cast<std::uint32_t>(w * 1000 + i)))) std::this_thread::yield();
    });
  std::vector<int> nextOf(kWriters, 0);
  for (int n = 0; n < kWriters * kEach; ++n) {
    auto request = ring.Read(5s);
    ASSERT_TRUE(request.has_value());
    int writer = static_cast<int>(request->threadId / 1000), index = static_cast<int>(request->threadId % 1000);
    EXPECT_EQ(index, nextOf[writer]++) << "one writer's requests stay in order";
    EXPECT_EQ(request->exceptAddr, 0x401000u + request->threadId);
  }
  for (auto& t : writers) t.join();
}
