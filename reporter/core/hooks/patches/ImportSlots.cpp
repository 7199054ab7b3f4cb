#include "reporter/core/hooks/patches/ImportSlots.h"

#include "common/text/Windows1252.h"
#include "reporter/engines/pe/headers/PeImage.h"

namespace ruvex {
namespace {

// Caps against hostile images.
constexpr unsigned kMaxDescriptors = 4096;
constexpr unsigned kMaxThunks = 65536;
constexpr std::size_t kDescriptorSize = 20;

struct TImportDescriptor {
  std::uint32_t nameTable, timeDateStamp, forwarderChain, name, addressTable;
};

bool SameDll(const std::string& a, std::string_view b) {
  return kelvane::EqualsIgnoreCase(kelvane::DecodeWindows1252(a), kelvane::DecodeWindows1252(b));
}

}  // namespace

std::vector<Address> FindImportSlots(const IMemoryReader& memory, Address module, std::string_view dllName,
                                     std::string_view function, Address resolved) {
  std::vector<Address> slots;
  const auto headers = ImageNtHeaders(memory, module);
  if (!headers) return slots;
  const auto directory = ReadDataDirectory(memory, *headers, kDirImport);
  if (!directory || directory->rva == 0) return slots;
  const unsigned slotSize = headers->pe32Plus ? 8 : 4;
  const std::uint64_t ordinalFlag = headers->pe32Plus ? 1ull << 63 : 1ull << 31;
  for (unsigned d = 0; d < kMaxDescriptors; ++d) {
    TImportDescriptor desc{};
    if (!memory.ReadValue(module + directory->rva + d * kDescriptorSize, desc)) break;
    if (desc.name == 0 && desc.addressTable == 0) break;
    const auto name = ReadCString(memory, module + desc.name, 260);
    if (!name || !SameDll(*name, dllName)) continue;
    for (unsigned t = 0; t < kMaxThunks; ++t) {
      const Address slot = module + desc.addressTable + Address{t} * slotSize;
      std::uint64_t value = 0, nameEntry = 0;
      if (!memory.Read(slot, &value, slotSize) || value == 0) break;
      bool matches = resolved != 0 && value == resolved;
      if (!matches && desc.nameTable != 0 &&
          memory.Read(module + desc.nameTable + Address{t} * slotSize, &nameEntry, slotSize) && nameEntry != 0 &&
          !(nameEntry & ordinalFlag)) {
        // Hint (2 bytes), then the name.
        const auto imported = ReadCString(memory, module + static_cast<std::uint32_t>(nameEntry) + 2, 512);
        matches = imported && *imported == function;
      }
      if (matches) slots.push_back(slot);
    }
  }
  return slots;
}

}  // namespace ruvex
