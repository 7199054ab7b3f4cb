#pragma once
// Read access to the code and data that the report engines look at. The live
// process is one implementation; PE images laid out at their image base and
// plain byte buffers are others, so decoding, symbol lookup and stack tracing
// run and are tested away from Windows, over real 32-bit images.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <optional>
#include <string>
#include <vector>

namespace ruvex {

// Wide enough for the address spaces of both Windows builds.
using Address = std::uint64_t;

// One committed region, as the memory manager sees it.
struct MemoryRegion {
  Address base = 0;
  std::uint64_t size = 0;
  Address allocationBase = 0;  // for a module's pages: the module's base
  bool readable = false;
  bool writable = false;
  bool executable = false;
  bool guard = false;
};

class IMemoryReader {
 public:
  virtual ~IMemoryReader() = default;
  // Copies `size` bytes at `address` into `out`. False when any byte of the
  // range cannot be read; a fault never escapes.
  virtual bool Read(Address address, void* out, std::size_t size) const = 0;
  // The committed region holding `address`, or none.
  virtual std::optional<MemoryRegion> RegionAt(Address address) const = 0;

  template <class T>
  bool ReadValue(Address address, T& value) const {
    return Read(address, &value, sizeof(T));
  }
};

// A loaded module: its base, size of image and full file name.
struct ModuleEntry {
  Address base = 0;
  std::uint64_t size = 0;
  std::u16string fileName;

  bool Contains(Address a) const { return a >= base && a - base < size; }
};

class IModuleList {
 public:
  virtual ~IModuleList() = default;
  virtual std::vector<ModuleEntry> Modules() const = 0;

  virtual std::optional<ModuleEntry> ModuleAt(Address address) const {
    for (const ModuleEntry& m : Modules())
      if (m.Contains(address)) return m;
    return std::nullopt;
  }
};

// Bytes at a fixed address: raw code for the disassembler and for tests.
class TBufferMemory : public IMemoryReader {
 public:
  TBufferMemory(Address base, std::vector<std::uint8_t> bytes, bool executable = true)
      : base_(base), bytes_(std::move(bytes)), executable_(executable) {}

  bool Read(Address address, void* out, std::size_t size) const override {
    if (address < base_ || address - base_ > bytes_.size() || size > bytes_.size() - (address - base_))
      return false;
    if (size != 0) std::memcpy(out, bytes_.data() + (address - base_), size);
    return true;
  }
  std::optional<MemoryRegion> RegionAt(Address address) const override {
    if (address < base_ || address - base_ >= bytes_.size()) return std::nullopt;
    return MemoryRegion{base_, bytes_.size(), base_, true, false, executable_, false};
  }

  Address Base() const { return base_; }
  const std::vector<std::uint8_t>& Bytes() const { return bytes_; }

 private:
  Address base_;
  std::vector<std::uint8_t> bytes_;
  bool executable_;
};

}  // namespace ruvex
