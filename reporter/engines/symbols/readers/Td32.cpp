#include "reporter/engines/symbols/readers/Td32.h"

#include <optional>
#include <vector>

#include "common/text/Utf.h"
#include "common/bytes/ByteCursor.h"
#include "reporter/engines/pe/headers/PeImage.h"
#include "common/text/FileNames.h"

namespace ruvex {

namespace {

constexpr std::uint16_t kNames = 0x130, kModule = 0x120, kSourceModule = 0x127;
constexpr std::uint16_t kSymbolsFb09 = 0x125, kSymbolsFb0a = 0x129;
constexpr std::uint16_t kLocalData = 0x201, kGlobalData = 0x202, kPublic = 0x203;
constexpr std::uint16_t kLocalProc = 0x204, kGlobalProc = 0x205;
// More entries than any linker writes.
constexpr std::uint32_t kMaxEntries = 1u << 20;

struct TEntry {
  std::uint16_t type;
  std::uint32_t offset, size;
};

std::u16string WithoutPath(std::string_view name) {
  return kelvane::Utf8ToUtf16(kelvane::FileNameOf(name));
}

class TTd32Reader {
 public:
  TTd32Reader(std::string_view data, TMapFile& map) : data_(data), map_(map) {}

  bool Run() {
    if (data_.size() < 8) return false;
    const std::string_view signature = data_.substr(0, 4);
    if (signature != "FB09" && signature != "FB0A") return false;
    const std::uint16_t symbolType = signature == "FB09" ? kSymbolsFb09 : kSymbolsFb0a;
    if (!ReadDirectory()) return false;
    for (const TEntry& e : entries_)
      if (e.type == kNames && !Names(Sub(e))) return false;
    for (const TEntry& e : entries_)
      if (e.type == kModule && !Module(Sub(e))) return false;
    for (const TEntry& e : entries_)
      if (e.type == kSourceModule && !SourceModule(Sub(e))) return false;
    map_.SortSegments();
    map_.OptimiseSegments(true);
    for (const TEntry& e : entries_)
      if (e.type == symbolType && !Symbols(Sub(e))) return false;
    map_.SortPublics();
    map_.SortSegments();
    map_.OptimiseSegments(true);
    return true;
  }

 private:
  std::string_view Sub(const TEntry& e) const { return data_.substr(e.offset, e.size); }

  bool ReadDirectory() {
    kelvane::TByteCursor c(data_);
    std::uint32_t at = 0;
    c.Seek(4);
    c.Read(at);
    std::uint16_t headerSize = 0, entrySize = 0;
    std::uint32_t count = 0;
    if (!c.Seek(at) || !c.Read(headerSize) || !c.Read(entrySize) || !c.Read(count)) return false;
    if (headerSize < 8 || entrySize < 12 || count > kMaxEntries || !c.Seek(at + std::size_t{headerSize}) ||
        !c.CanHold(count, entrySize))
      return false;
    for (std::uint32_t i = 0; i < count; ++i) {
      const std::size_t start = c.Position();
      TEntry e{};
      std::uint16_t module = 0;
      c.Read(e.type), c.Read(module), c.Read(e.offset), c.Read(e.size);
      if (e.offset > data_.size() || e.size > data_.size() - e.offset) return false;
      entries_.push_back(e);
      c.Seek(start + entrySize);
    }
    return true;
  }

  std::string Name(std::uint32_t index) const {
    return index >= 1 && index <= names_.size() ? names_[index - 1] : std::string();
  }

  std::optional<Address> At(std::uint16_t segment, std::uint32_t offset, bool& code) const {
    code = segment == 1;
    return (code ? map_.BaseOfCode() : map_.BaseOfData()) + offset;
  }

  bool Names(std::string_view sub) {
    kelvane::TByteCursor c(sub);
    std::uint32_t count = 0;
    if (!c.Read(count) || !c.CanHold(count, 2)) return false;
    for (std::uint32_t i = 0; i < count; ++i) {
      std::uint8_t length = 0;
      std::string_view name, zero;
      if (!c.Read(length) || !c.Bytes(length, name) || !c.Bytes(1, zero)) return false;
      names_.emplace_back(name);
    }
    return true;
  }

  bool Module(std::string_view sub) {
    kelvane::TByteCursor c(sub);
    std::uint16_t overlay = 0, library = 0, segments = 0, style = 0;
    std::uint32_t nameIndex = 0;
    if (!c.Read(overlay) || !c.Read(library) || !c.Read(segments) || !c.Read(style) || !c.Read(nameIndex) ||
        !c.Skip(16) || !c.CanHold(segments, 12))
      return false;
    const std::u16string unit = WithoutPath(Name(nameIndex));
    for (std::uint16_t i = 0; i < segments; ++i) {
      std::uint16_t segment = 0, flags = 0;
      std::uint32_t offset = 0, size = 0;
      c.Read(segment), c.Read(flags), c.Read(offset), c.Read(size);
      bool code = false;
      if (auto a = At(segment, offset, code)) map_.AddSegment(code, *a, size, unit, true);
    }
    return true;
  }

  bool SourceModule(std::string_view sub) {
    kelvane::TByteCursor c(sub);
    std::uint16_t files = 0, segments = 0;
    if (!c.Read(files) || !c.Read(segments) || !c.CanHold(files, 4)) return false;
    std::vector<std::uint32_t> fileOffsets(files);
    for (std::uint32_t& f : fileOffsets) c.Read(f);
    for (std::uint32_t f : fileOffsets) {
      kelvane::TByteCursor fc(sub);
      std::uint16_t blocks = 0;
      std::uint32_t nameIndex = 0;
      if (!fc.Seek(f) || !fc.Read(blocks) || !fc.Read(nameIndex) || !fc.CanHold(blocks, 4)) return false;
      const std::u16string unit = WithoutPath(Name(nameIndex));
      std::vector<std::uint32_t> blockOffsets(blocks);
      for (std::uint32_t& b : blockOffsets) fc.Read(b);
      for (std::uint32_t b : blockOffsets)
        if (!LineBlock(sub, b, unit)) return false;
    }
    return true;
  }

  bool LineBlock(std::string_view sub, std::uint32_t at, const std::u16string& unit) {
    kelvane::TByteCursor c(sub);
    std::uint16_t segment = 0, count = 0;
    if (!c.Seek(at) || !c.Read(segment) || !c.Read(count) || !c.CanHold(count, 6)) return false;
    kelvane::TByteCursor lines(sub);
    lines.Seek(c.Position() + std::size_t{count} * 4);
    Address first = 0, last = 0;
    for (std::uint16_t i = 0; i < count; ++i) {
      std::uint32_t offset = 0;
      std::uint16_t line = 0;
      c.Read(offset), lines.Read(line);
      bool code = false;
      const auto a = At(segment, offset, code);
      if (!a || !code) continue;
      map_.AddLine(line, *a);
      if (i == 0 || *a < first) first = *a;
      if (*a > last) last = *a;
    }
    if (count > 0 && segment == 1)
      map_.AddSegment(true, first, static_cast<std::uint32_t>(last - first + 1), unit, true);
    return true;
  }

  bool Symbols(std::string_view sub) {
    kelvane::TByteCursor c(sub);
    if (!c.Skip(4)) return false;
    while (c.Remaining() >= 4) {
      std::uint16_t length = 0, type = 0;
      c.Read(length);
      const std::size_t next = c.Position() + length;
      if (length < 2 || next > sub.size()) return false;  // a zero length would never advance
      c.Read(type);
      std::uint32_t offset = 0, nameIndex = 0;
      std::uint16_t segment = 0;
      bool known = true;
      if (type == kLocalProc || type == kGlobalProc) {
        known = c.Skip(24) && c.Read(offset) && c.Read(segment) && c.Skip(6) && c.Read(nameIndex);
      } else if (type == kLocalData || type == kGlobalData || type == kPublic) {
        known = c.Read(offset) && c.Read(segment) && c.Skip(6) && c.Read(nameIndex);
      } else {
        known = false;
      }
      if (known && c.Position() <= next) {
        bool code = false;
        const bool procedure = type == kLocalProc || type == kGlobalProc;
        if (auto a = At(segment, offset, code))
          map_.AddPublic(code && (procedure || type == kPublic), kelvane::Utf8ToUtf16(Name(nameIndex)), *a, true);
      }
      c.Seek(next);
    }
    return true;
  }

  std::string_view data_;
  TMapFile& map_;
  std::vector<TEntry> entries_;
  std::vector<std::string> names_;
};

}  // namespace

bool ParseTd32(std::string_view data, TMapFile& map) {
  TMapFile staged(map.CodeOnly());
  staged.SetCodeRange(map.BaseOfCode(), map.TopOfCode());
  staged.SetDataRange(map.BaseOfData(), map.TopOfData());
  if (!TTd32Reader(data, staged).Run()) return false;
  map.AdoptTables(std::move(staged));
  return true;
}

std::string_view ExternalDebugData(std::string_view file) {
  const TBufferMemory memory(0, std::vector<std::uint8_t>(file.begin(), file.end()), false);
  const std::optional<TNtHeaders> headers = ImageNtHeaders(memory, 0);
  if (!headers || headers->sections.empty()) return file;
  const std::optional<TDataDirectory> debug = ReadDataDirectory(memory, *headers, kDirDebug);
  const TSectionHeader& last = headers->sections.back();
  if (!debug || last.virtualAddress != debug->rva || last.pointerToRawData > file.size()) return file;
  return file.substr(last.pointerToRawData, std::min<std::size_t>(last.sizeOfRawData, file.size() - last.pointerToRawData));
}

}  // namespace ruvex
