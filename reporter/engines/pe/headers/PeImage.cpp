#include "reporter/engines/pe/headers/PeImage.h"

#include <algorithm>
#include <array>

namespace ruvex {
namespace {

constexpr std::uint16_t kMagicPe32 = 0x10B;
constexpr std::uint16_t kMagicPe32Plus = 0x20B;
constexpr unsigned kMaxDirectories = 16;
constexpr std::size_t kFileHeaderSize = 20;
constexpr std::size_t kSectionHeaderSize = 40;

template <class T>
T Get(const std::uint8_t* p) {
  T v;
  std::memcpy(&v, p, sizeof v);
  return v;
}

bool ReadSections(const IMemoryReader& memory, Address table, std::size_t count,
                  std::vector<TSectionHeader>& out) {
  std::vector<std::uint8_t> raw(count * kSectionHeaderSize);
  if (!raw.empty() && !memory.Read(table, raw.data(), raw.size())) return false;
  out.reserve(count);
  for (std::size_t i = 0; i < count; ++i) {
    const std::uint8_t* s = raw.data() + i * kSectionHeaderSize;
    TSectionHeader h;
    h.name.assign(reinterpret_cast<const char*>(s), strnlen(reinterpret_cast<const char*>(s), 8));
    h.virtualSize = Get<std::uint32_t>(s + 8);
    h.virtualAddress = Get<std::uint32_t>(s + 12);
    h.sizeOfRawData = Get<std::uint32_t>(s + 16);
    h.pointerToRawData = Get<std::uint32_t>(s + 20);
    h.characteristics = Get<std::uint32_t>(s + 36);
    out.push_back(std::move(h));
  }
  return true;
}

}  // namespace

std::optional<TNtHeaders> ImageNtHeaders(const IMemoryReader& memory, Address module) {
  std::uint16_t mz = 0;
  std::uint32_t ntOffset = 0;
  if (!memory.ReadValue(module, mz) || mz != 0x5A4D) return std::nullopt;
  if (!memory.ReadValue(module + 0x3C, ntOffset)) return std::nullopt;

  TNtHeaders h;
  h.module = module;
  h.address = module + ntOffset;
  std::uint32_t signature = 0;
  if (!memory.ReadValue(h.address, signature) || signature != 0x00004550) return std::nullopt;

  std::array<std::uint8_t, kFileHeaderSize> file{};
  if (!memory.Read(h.address + 4, file.data(), file.size())) return std::nullopt;
  h.machine = Get<std::uint16_t>(&file[0]);
  h.numberOfSections = Get<std::uint16_t>(&file[2]);
  const std::uint16_t sizeOfOptional = Get<std::uint16_t>(&file[16]);
  h.characteristics = Get<std::uint16_t>(&file[18]);

  const Address optional = h.address + 4 + kFileHeaderSize;
  std::uint16_t magic = 0;
  if (!memory.ReadValue(optional, magic)) return std::nullopt;
  if (magic != kMagicPe32 && magic != kMagicPe32Plus) return std::nullopt;
  h.pe32Plus = magic == kMagicPe32Plus;

  // The fixed part of the optional header up to the directory count.
  const std::size_t fixedSize = h.pe32Plus ? 112 : 96;
  std::array<std::uint8_t, 112> opt{};
  if (!memory.Read(optional, opt.data(), fixedSize)) return std::nullopt;
  h.sizeOfCode = Get<std::uint32_t>(&opt[4]);
  h.addressOfEntryPoint = Get<std::uint32_t>(&opt[16]);
  h.baseOfCode = Get<std::uint32_t>(&opt[20]);
  h.imageBase = h.pe32Plus ? Get<std::uint64_t>(&opt[24]) : Get<std::uint32_t>(&opt[28]);
  h.sectionAlignment = Get<std::uint32_t>(&opt[32]);
  h.fileAlignment = Get<std::uint32_t>(&opt[36]);
  h.sizeOfImage = Get<std::uint32_t>(&opt[56]);
  h.sizeOfHeaders = Get<std::uint32_t>(&opt[60]);
  h.subsystem = Get<std::uint16_t>(&opt[68]);
  h.numberOfRvaAndSizes = Get<std::uint32_t>(&opt[fixedSize - 4]);

  // The directories must fit inside the optional header the file declares.
  const std::uint32_t room = sizeOfOptional > fixedSize ? (sizeOfOptional - fixedSize) / 8 : 0;
  h.numberOfRvaAndSizes = std::min({h.numberOfRvaAndSizes, room, kMaxDirectories});
  h.dataDirectories = optional + fixedSize;

  const std::size_t sectionCount = std::min<std::size_t>(h.numberOfSections, kMaxSections);
  if (!ReadSections(memory, optional + sizeOfOptional, sectionCount, h.sections)) return std::nullopt;
  return h;
}

std::optional<Address> ImageDataDirectory(const TNtHeaders& headers, unsigned index) {
  if (index >= headers.numberOfRvaAndSizes) return std::nullopt;
  return headers.dataDirectories + Address{index} * 8;
}

std::optional<Address> ImageDataDirectory(const IMemoryReader& memory, Address module, unsigned index) {
  const auto headers = ImageNtHeaders(memory, module);
  if (!headers) return std::nullopt;
  return ImageDataDirectory(*headers, index);
}

std::optional<TDataDirectory> ReadDataDirectory(const IMemoryReader& memory, const TNtHeaders& headers,
                                                unsigned index) {
  const auto entry = ImageDataDirectory(headers, index);
  std::array<std::uint32_t, 2> raw{};
  if (!entry || !memory.Read(*entry, raw.data(), sizeof raw)) return std::nullopt;
  return TDataDirectory{raw[0], raw[1]};
}

std::uint32_t ImageSize(const TNtHeaders& headers) { return headers.sizeOfImage; }

const TSectionHeader* SectionOfRva(const TNtHeaders& headers, std::uint32_t rva) {
  for (const TSectionHeader& s : headers.sections) {
    const std::uint32_t extent = std::max(s.virtualSize, s.sizeOfRawData);
    if (rva >= s.virtualAddress && rva - s.virtualAddress < extent) return &s;
  }
  return nullptr;
}

std::optional<std::uint32_t> RvaToFileOffset(const TNtHeaders& headers, std::uint32_t rva) {
  const TSectionHeader* found = nullptr;
  for (std::size_t i = 0; i < headers.sections.size(); ++i) {
    const TSectionHeader& s = headers.sections[i];
    const bool last = i + 1 == headers.sections.size();
    if (rva >= s.virtualAddress && (last || rva < headers.sections[i + 1].virtualAddress)) {
      found = &s;
      break;
    }
  }
  if (!found) {
    // Below every section: the headers, stored at the same offsets.
    const bool belowAll = std::all_of(headers.sections.begin(), headers.sections.end(),
                                      [&](const TSectionHeader& s) { return rva < s.virtualAddress; });
    if (belowAll) return rva;
    return std::nullopt;
  }
  const std::uint32_t delta = rva - found->virtualAddress;
  if (delta >= found->sizeOfRawData) return std::nullopt;  // uninitialised data has no file bytes
  const std::uint64_t offset = std::uint64_t{found->pointerToRawData} + delta;
  if (offset > 0xFFFFFFFFu) return std::nullopt;
  return static_cast<std::uint32_t>(offset);
}

std::optional<std::string> ReadCString(const IMemoryReader& memory, Address address, std::size_t maxLength) {
  std::string out;
  constexpr std::size_t kChunk = 64;
  char buffer[kChunk];
  while (out.size() <= maxLength) {
    const std::size_t want = std::min(kChunk, maxLength + 1 - out.size());
    if (memory.Read(address, buffer, want)) {
      if (const void* end = std::memchr(buffer, 0, want)) {
        out.append(buffer, static_cast<std::size_t>(static_cast<const char*>(end) - buffer));
        return out;
      }
      out.append(buffer, want);
      address += want;
      continue;
    }
    // The string may end just before an unreadable page: one byte at a time.
    char c = 0;
    if (!memory.Read(address, &c, 1)) return std::nullopt;
    if (c == 0) return out;
    out.push_back(c);
    ++address;
  }
  return std::nullopt;
}

}  // namespace ruvex
