#include "reporter/core/threads/StackDump.h"

#include <algorithm>
#include <array>

#include "common/text/HexText.h"

namespace ruvex {
namespace {

constexpr unsigned kBytesPerLine = 16;

std::u16string DumpLine(Address address, const std::uint8_t* bytes, unsigned count, unsigned addressDigits) {
  std::u16string line = kelvane::HexLower16(address, addressDigits) + u"  ";
  for (unsigned i = 0; i < kBytesPerLine; ++i) {
    if (i == 8) line += i < count ? u"- " : u"  ";
    line += i < count ? kelvane::HexLower16(bytes[i], 2) + u" " : u"   ";
  }
  line += u' ';
  for (unsigned i = 0; i < count; ++i)
    line += bytes[i] >= 0x20 && bytes[i] <= 0x7E ? static_cast<char16_t>(bytes[i]) : u'.';
  return line;
}

}  // namespace

std::u16string GetStackDump(const IMemoryReader& memory, Address stackPointer, unsigned pointerSize) {
  const std::optional<MemoryRegion> region = memory.RegionAt(stackPointer);
  if (!region || !region->readable || region->guard) return {};
  const Address end = region->base + region->size;
  const unsigned digits = pointerSize == 8 ? 16 : 8;
  std::u16string text;
  Address at = stackPointer;
  for (unsigned n = 0; n < kStackDumpLines && at < end; ++n, at += kBytesPerLine) {
    const unsigned count = static_cast<unsigned>(std::min<std::uint64_t>(kBytesPerLine, end - at));
    std::array<std::uint8_t, kBytesPerLine> bytes{};
    if (!memory.Read(at, bytes.data(), count)) break;
    if (!text.empty()) text += u"\r\n";
    text += DumpLine(at, bytes.data(), count, digits);
  }
  return text;
}

}  // namespace ruvex
