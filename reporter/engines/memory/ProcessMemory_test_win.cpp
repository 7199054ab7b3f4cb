// The live process reader against the real system (runs under wine64).
#include <windows.h>

#include <gtest/gtest.h>

#include "reporter/engines/memory/ProcessMemory.h"
#include "reporter/engines/memory/MemoryChecks.h"

namespace ruvex {
namespace {

Address AddressOf(const void* p) { return reinterpret_cast<std::uintptr_t>(p); }

TEST(ProcessMemory, ReadsCommittedMemoryAndRefusesTheRest) {
  const TProcessMemory memory;
  static const char text[] = "readable";
  char copy[sizeof text] = {};
  EXPECT_TRUE(memory.Read(AddressOf(text), copy, sizeof text));
  EXPECT_STREQ(copy, text);

  // A reserved page, a guard page and a no-access page are not read.
  char* reserved = static_cast<char*>(VirtualAlloc(nullptr, 3 * 4096, MEM_RESERVE, PAGE_NOACCESS));
  ASSERT_TRUE(reserved);
  VirtualAlloc(reserved, 4096, MEM_COMMIT, PAGE_READWRITE);
  VirtualAlloc(reserved + 4096, 4096, MEM_COMMIT, PAGE_READWRITE | PAGE_GUARD);
  reserved[10] = 42;
  char byte = 0;
  EXPECT_TRUE(memory.Read(AddressOf(reserved + 10), &byte, 1));
  EXPECT_EQ(byte, 42);
  EXPECT_FALSE(memory.Read(AddressOf(reserved + 4000), copy, 200));  // runs into the guard page
  EXPECT_FALSE(memory.Read(AddressOf(reserved + 2 * 4096), &byte, 1));
  EXPECT_FALSE(memory.RegionAt(AddressOf(reserved + 2 * 4096)));
  EXPECT_TRUE(IsReadableRange(memory, AddressOf(reserved), 4096));
  EXPECT_FALSE(IsReadableRange(memory, AddressOf(reserved), 4097));
  EXPECT_FALSE(IsReadableRange(memory, AddressOf(reserved + 4096), 1));
  EXPECT_TRUE(IsReadableRange(AddressOf(reserved), 16));
  EXPECT_FALSE(IsReadableRange(AddressOf(reserved + 2 * 4096), 16));
  EXPECT_FALSE(memory.Read(0, &byte, 1));
  // The guard page is still armed: the check did not touch it.
  MEMORY_BASIC_INFORMATION info{};
  VirtualQuery(reserved + 4096, &info, sizeof info);
  EXPECT_TRUE(info.Protect & PAGE_GUARD);
  VirtualFree(reserved, 0, MEM_RELEASE);
}

}  // namespace
}  // namespace ruvex
