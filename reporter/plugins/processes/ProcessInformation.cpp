#include "reporter/plugins/processes/ProcessInformation.h"

#include <string_view>

#include "common/bytes/ByteCursor.h"
#include "common/text/Utf.h"

namespace ruvex {

std::optional<std::vector<std::uint8_t>> QueryProcessInformation(const TProcessInformationQuery& query) {
  std::vector<std::uint8_t> buffer;
  const TQueryAttempt probe = query(buffer);
  if (probe.needed != 0) {
    buffer.assign(std::size_t(probe.needed) * 2, 0);
    if (query(buffer).ok) return buffer;
    return std::nullopt;
  }
  for (std::size_t size = kProcessQueryStart * 2; size <= kProcessQueryLimit; size *= 2) {
    buffer.assign(size, 0);
    if (query(buffer).ok) return buffer;
  }
  return std::nullopt;
}

namespace {

// Offsets in one record: the fields after the six 64-bit times move with
// the pointer width.
struct TRecordLayout {
  std::size_t nameLength, nameBuffer, processId, sessionId, size;
  static TRecordLayout For(unsigned pointerSize) {
    if (pointerSize == 8) return {0x38, 0x40, 0x50, 0x64, 0x68};
    return {0x38, 0x3C, 0x44, 0x50, 0x54};
  }
};

std::uint64_t ReadUnsigned(std::string_view bytes, std::size_t offset, unsigned width) {
  std::uint64_t value = 0;
  for (unsigned i = 0; i < width; ++i) value |= std::uint64_t(static_cast<std::uint8_t>(bytes[offset + i])) << (8 * i);
  return value;
}

std::u16string NameAt(std::string_view all, std::uint64_t bufferAddress, std::uint64_t pointer, std::uint16_t length) {
  if (pointer == 0 || length == 0 || pointer < bufferAddress) return {};
  const std::uint64_t offset = pointer - bufferAddress;
  if (offset > all.size() || length > all.size() - offset) return {};
  return kelvane::Utf16FromBytes(all.substr(std::size_t(offset), length & ~1u), false);
}

}  // namespace

std::vector<TProcessRecord> ParseProcessRecords(const std::vector<std::uint8_t>& buffer,
                                                std::uint64_t bufferAddress, unsigned pointerSize) {
  const std::string_view all(reinterpret_cast<const char*>(buffer.data()), buffer.size());
  const TRecordLayout layout = TRecordLayout::For(pointerSize);
  std::vector<TProcessRecord> records;
  records.reserve(64);
  std::size_t at = 0;
  for (;;) {
    if (at > all.size() || all.size() - at < layout.size) break;
    const std::string_view record = all.substr(at, layout.size);
    const auto next = static_cast<std::uint32_t>(ReadUnsigned(record, 0, 4));
    const auto length = static_cast<std::uint16_t>(ReadUnsigned(record, layout.nameLength, 2));
    const std::uint64_t pointer = ReadUnsigned(record, layout.nameBuffer, pointerSize);
    records.push_back({static_cast<std::uint32_t>(ReadUnsigned(record, layout.processId, pointerSize)),
                       static_cast<std::uint32_t>(ReadUnsigned(record, layout.sessionId, 4)),
                       NameAt(all, bufferAddress, pointer, length)});
    if (next == 0) break;
    at += next;
  }
  return records;
}

}  // namespace ruvex
