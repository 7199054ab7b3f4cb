#pragma once
// What patching code asks of the process's memory: reading, making a range
// writable for one write and putting its protection back, writing, and
// telling the processor that code changed. The Windows half works on the
// running process; TFakeMemoryPatcher is a byte buffer with page
// protections for the tests.
#include <algorithm>
#include <cstdint>
#include <iterator>
#include <map>
#include <memory>
#include <optional>
#include <vector>

#include "reporter/engines/memory/MemoryReader.h"

namespace ruvex {

using TBytes = std::vector<std::uint8_t>;

class IMemoryPatcher : public IMemoryReader {
 public:
  // Makes [address, address + size) writable; returns the old protection
  // to hand back to RestoreProtection, or none when that is refused.
  virtual std::optional<std::uint32_t> MakeWritable(Address address, std::size_t size) = 0;
  virtual void RestoreProtection(Address address, std::size_t size, std::uint32_t oldProtection) = 0;
  // False when any byte could not be written.
  virtual bool Write(Address address, const void* bytes, std::size_t size) = 0;
  virtual void FlushCode(Address address, std::size_t size) = 0;
  // Executable memory for stubs that patches jump into, within reach of a
  // 32-bit displacement from `nearTo` where possible (0: anywhere); 0 when none.
  virtual Address AllocateCode(std::size_t size, Address nearTo = 0) = 0;
  virtual void FreeCode(Address address) = 0;
};

// The running process (Windows).
std::unique_ptr<IMemoryPatcher> CreateProcessMemoryPatcher();

// A buffer at `base` whose pages are read-only until made writable, so a
// write without MakeWritable fails as it would on a code page.
class TFakeMemoryPatcher : public IMemoryPatcher {
 public:
  static constexpr std::uint32_t kReadOnly = 1, kWritable = 2, kNoAccess = 0;
  static constexpr std::size_t kPage = 0x1000;

  TFakeMemoryPatcher(Address base, TBytes bytes) : base_(base), bytes_(std::move(bytes)) {
    protections_.assign((bytes_.size() + kPage - 1) / kPage, kReadOnly);
  }

  // A page that refuses any change of protection.
  void Lock(Address address) { locked_.push_back(PageOf(address)); }
  void SetProtection(Address address, std::uint32_t protection) { protections_[PageOf(address)] = protection; }
  std::uint32_t ProtectionAt(Address address) const { return protections_[PageOf(address)]; }
  const TBytes& Bytes() const { return bytes_; }
  int flushes = 0;
  std::map<Address, TBytes> codeBlocks;  // allocated and not freed, always writable

  bool Read(Address address, void* out, std::size_t size) const override {
    if (TBytes* block = CodeBlockOf(address, size)) {
      std::copy_n(block->begin() + static_cast<std::ptrdiff_t>(address - CodeBase(address)), size,
                  static_cast<std::uint8_t*>(out));
      return true;
    }
    if (!InRange(address, size)) return false;
    for (std::size_t i = 0; i < size; ++i)
      if (protections_[PageOf(address + i)] == kNoAccess) return false;
    for (std::size_t i = 0; i < size; ++i) static_cast<std::uint8_t*>(out)[i] = bytes_[address - base_ + i];
    return true;
  }
  std::optional<MemoryRegion> RegionAt(Address address) const override {
    if (!InRange(address, 1)) return std::nullopt;
    return MemoryRegion{base_, bytes_.size(), base_, true, false, true, false};
  }
  std::optional<std::uint32_t> MakeWritable(Address address, std::size_t size) override {
    if (!InRange(address, size) || size == 0) return std::nullopt;
    const std::size_t first = PageOf(address), last = PageOf(address + size - 1);
    for (std::size_t p = first; p <= last; ++p)
      for (std::size_t l : locked_)
        if (l == p) return std::nullopt;
    const std::uint32_t old = protections_[first];
    for (std::size_t p = first; p <= last; ++p) protections_[p] = kWritable;
    return old;
  }
  void RestoreProtection(Address address, std::size_t size, std::uint32_t oldProtection) override {
    for (std::size_t p = PageOf(address); p <= PageOf(address + size - 1); ++p) protections_[p] = oldProtection;
  }
  bool Write(Address address, const void* bytes, std::size_t size) override {
    if (TBytes* block = CodeBlockOf(address, size)) {
      std::copy_n(static_cast<const std::uint8_t*>(bytes), size,
                  block->begin() + static_cast<std::ptrdiff_t>(address - CodeBase(address)));
      return true;
    }
    if (!InRange(address, size)) return false;
    for (std::size_t i = 0; i < size; ++i)
      if (protections_[PageOf(address + i)] != kWritable) return false;
    for (std::size_t i = 0; i < size; ++i) bytes_[address - base_ + i] = static_cast<const std::uint8_t*>(bytes)[i];
    return true;
  }
  void FlushCode(Address, std::size_t) override { ++flushes; }
  Address AllocateCode(std::size_t size, Address = 0) override {
    nextCode_ += 0x1000;
    codeBlocks[nextCode_] = TBytes(size, 0xCC);
    return nextCode_;
  }
  void FreeCode(Address address) override { codeBlocks.erase(address); }

 private:
  Address CodeBase(Address address) const {
    auto it = codeBlocks.upper_bound(address);
    return it == codeBlocks.begin() ? 0 : std::prev(it)->first;
  }
  TBytes* CodeBlockOf(Address address, std::size_t size) const {
    auto it = codeBlocks.upper_bound(address);
    if (it == codeBlocks.begin()) return nullptr;
    --it;
    if (address - it->first > it->second.size() || size > it->second.size() - (address - it->first)) return nullptr;
    return const_cast<TBytes*>(&it->second);
  }
  bool InRange(Address address, std::size_t size) const {
    return address >= base_ && address - base_ <= bytes_.size() && size <= bytes_.size() - (address - base_);
  }
  std::size_t PageOf(Address address) const { return static_cast<std::size_t>((address - base_) / kPage); }

  Address base_;
  TBytes bytes_;
  std::vector<std::uint32_t> protections_;
  std::vector<std::size_t> locked_;
  Address nextCode_ = 0x7F000000;
};

}  // namespace ruvex
