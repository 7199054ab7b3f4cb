#include "reporter/core/hooks/modules/FileCrc.h"

#include <cstring>

#include "common/bytes/LittleEndian.h"
#include "reporter/archive/Crc32.h"
#include "reporter/engines/memory/MemoryReader.h"
#include "reporter/engines/pe/headers/PeImage.h"

namespace ruvex {
namespace {

struct TFileCrcSlot {
  unsigned char tag[16];
  std::uint32_t crc;
};

// This module's own slot. Its tag is the one copy in the file of the bytes
// the search looks for: the search reads them from here rather than from a
// second constant.
extern "C" const volatile TFileCrcSlot ruvexFileCrcSlot = {
    {0x52, 0x76, 0x78, 0xC3, 0x63, 0x72, 0x63, 0x9A, 0x53, 0x6C, 0x6F, 0x74, 0x01, 0xE5, 0x7A, 0x3C}, 0};

}  // namespace

std::string FileCrcSlotTag() {
  std::string tag(16, '\0');
  for (std::size_t i = 0; i < tag.size(); ++i) tag[i] = static_cast<char>(ruvexFileCrcSlot.tag[i]);
  return tag;
}

namespace {

struct TRange {
  std::size_t begin = 0, end = 0;
  bool Contains(std::size_t at) const { return at >= begin && at < end; }
};

// The certificate table and the directory entry that points at it; both
// change when the file is signed.
void CertificateRanges(std::string_view file, TRange& table, TRange& entry) {
  std::vector<std::uint8_t> bytes(file.begin(), file.end());
  TBufferMemory memory(0, std::move(bytes), false);
  const auto headers = ImageNtHeaders(memory, 0);
  if (!headers || headers->numberOfRvaAndSizes <= kDirSecurity) return;
  const auto directory = ReadDataDirectory(memory, *headers, kDirSecurity);
  if (!directory) return;
  entry.begin = static_cast<std::size_t>(headers->dataDirectories + 8 * kDirSecurity);
  entry.end = entry.begin + 8;
  // The security entry holds a file offset, not a relative address.
  if (directory->rva != 0 && directory->rva <= file.size() && directory->size <= file.size() - directory->rva) {
    table.begin = directory->rva;
    table.end = table.begin + directory->size;
  }
}

}  // namespace

std::optional<std::size_t> FindFileCrcSlot(std::string_view file) {
  const std::string tag = FileCrcSlotTag();
  const std::size_t first = file.find(tag);
  if (first == std::string_view::npos || file.size() - first < tag.size() + 4) return std::nullopt;
  if (file.find(tag, first + 1) != std::string_view::npos) return std::nullopt;
  return first + tag.size();
}

std::uint32_t ComputeFileCrc(std::string_view file, std::size_t slot) {
  TRange table, entry;
  CertificateRanges(file, table, entry);
  const TRange checksum{slot, slot + 4};
  std::uint32_t crc = 0xFFFFFFFFu;
  std::size_t at = 0;
  while (at < file.size()) {
    // The longest run up to the next left-out range.
    std::size_t end = file.size();
    for (const TRange& r : {table, entry, checksum})
      if (r.begin > at && r.begin < end) end = r.begin;
    if (checksum.Contains(at)) {
      static const char kZeros[4] = {};
      crc = Crc32Update(crc, kZeros, checksum.end - at);
      at = checksum.end;
    } else if (table.Contains(at)) {
      at = table.end;
    } else if (entry.Contains(at)) {
      at = entry.end;
    } else {
      crc = Crc32Update(crc, file.data() + at, end - at);
      at = end;
    }
  }
  return ~crc;
}

TFileCrcResult CheckFileCrc(std::string_view file) {
  TFileCrcResult result;
  const auto slot = FindFileCrcSlot(file);
  if (!slot) return result;
  result.stored = kelvane::GetLe(file, *slot, 4);
  if (result.stored == 0) return result;
  result.computed = ComputeFileCrc(file, *slot);
  result.state = result.computed == result.stored ? TFileCrcState::matches : TFileCrcState::mismatch;
  return result;
}

std::optional<std::string> StampFileCrc(std::string file, std::string& error) {
  const auto slot = FindFileCrcSlot(file);
  if (!slot) {
    error = "the file has no checksum slot (or more than one)";
    return std::nullopt;
  }
  // A checksum of 0 reads as "not stamped": such a file (one in 2^32) stays unchecked.
  const std::uint32_t crc = ComputeFileCrc(file, *slot);
  for (int i = 0; i < 4; ++i) file[*slot + i] = static_cast<char>(crc >> (8 * i));
  return file;
}

}  // namespace ruvex
