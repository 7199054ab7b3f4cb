#include "reporter/engines/symbols/readers/Jdbg.h"

#include <algorithm>
#include <optional>
#include <vector>

#include "common/text/Utf.h"
#include "common/bytes/ByteCursor.h"
#include "common/text/FileNames.h"

namespace ruvex {

namespace {

constexpr std::int32_t kEndOfStream = 0x7FFFFFFF;
constexpr std::size_t kMaxName = 255;

std::uint32_t RotateRight8(std::uint32_t v) { return (v >> 8) | (v << 24); }

// One value: 7 bits per byte, least significant group first, the high bit
// saying that more follow; at most 5 bytes. None at the stream's end
// marker or when the bytes run out.
class TValueStream {
 public:
  TValueStream(std::string_view data, std::size_t start) : data_(data), pos_(start) {}
  std::optional<std::int32_t> Next() {
    std::uint32_t value = 0;
    for (int shift = 0; shift < 35; shift += 7) {
      if (pos_ >= data_.size()) return std::nullopt;
      const auto b = static_cast<std::uint8_t>(data_[pos_++]);
      value |= static_cast<std::uint32_t>(b & 0x7F) << shift;
      if (!(b & 0x80)) {
        const auto v = static_cast<std::int32_t>(value);
        if (v == kEndOfStream) return std::nullopt;
        return v;
      }
    }
    return std::nullopt;  // more than 5 groups: not a value of this format
  }

 private:
  std::string_view data_;
  std::size_t pos_;
};

char NameChar(unsigned code) {
  if (code >= 1 && code <= 26) return static_cast<char>('a' + code - 1);
  if (code >= 27 && code <= 52) return static_cast<char>('A' + code - 27);
  if (code >= 53 && code <= 62) return static_cast<char>('0' + code - 53);
  return '_';
}

struct TStaged {
  std::vector<std::pair<std::int64_t, std::string>> units, sources, symbols;
  std::vector<std::pair<std::int64_t, std::int32_t>> lines;
};

bool InRange(std::int32_t offset, std::size_t size) { return offset > 0 && static_cast<std::size_t>(offset) < size; }

}  // namespace

std::string JdbgName(std::string_view words, std::size_t offset) {
  std::string out;
  if (offset >= words.size()) return out;
  std::string_view p = words.substr(offset);
  if (static_cast<std::uint8_t>(p[0]) == 1) {
    for (std::size_t i = 1; i < p.size() && p[i] != 0 && out.size() < kMaxName; ++i) {
      const auto b = static_cast<std::uint8_t>(p[i]);
      out.push_back(static_cast<char>(b == 0xAA ? b : b ^ 0xAA));
    }
    return out;
  }
  // Four 6-bit codes in every three bytes, low bits first; code 0 ends.
  std::uint32_t bits = 0;
  int have = 0;
  std::size_t i = 0;
  while (out.size() < kMaxName) {
    if (have < 6) {
      if (i >= p.size()) break;
      bits |= static_cast<std::uint32_t>(static_cast<std::uint8_t>(p[i++])) << have;
      have += 8;
    }
    const unsigned code = bits & 0x3F;
    bits >>= 6;
    have -= 6;
    if (code == 0) break;
    out.push_back(NameChar(code));
  }
  return out;
}

bool ParseJdbg(std::string_view data, TMapFile& map) {
  if (data.size() <= kJdbgHeaderSize || data.size() % 4 != 0 || data.substr(0, 4) != "JDBG") return false;
  kelvane::TByteCursor c(data);
  c.Seek(4);
  std::uint8_t version = 0, checkSumValid = 0;
  std::int32_t units = 0, sourceNames = 0, symbols = 0, lineNumbers = 0, words = 0, moduleName = 0, checkSum = 0;
  c.Read(version);
  c.Read(units), c.Read(sourceNames), c.Read(symbols), c.Read(lineNumbers), c.Read(words), c.Read(moduleName);
  c.Read(checkSum), c.Read(checkSumValid);
  if (version != 1) return false;
  if (checkSumValid) {
    std::uint32_t sum = 0;
    kelvane::TByteCursor w(data);
    for (std::uint32_t word = 0; w.Read(word);) sum += word;
    if (RotateRight8(sum - static_cast<std::uint32_t>(checkSum)) != static_cast<std::uint32_t>(checkSum)) return false;
  }
  for (std::int32_t offset : {units, sourceNames, symbols, lineNumbers, words})
    if (!InRange(offset, data.size())) return false;
  const std::string_view wordData = data.substr(static_cast<std::size_t>(words));

  TStaged staged;
  // Units and source names: address and name offset; symbols: address and
  // two name offsets; lines: address and line. All deltas.
  auto readNamed = [&](std::int32_t start, auto& out) {
    TValueStream s(data, static_cast<std::size_t>(start));
    std::int64_t address = 0, name = 0;
    while (auto da = s.Next()) {
      const auto dn = s.Next();
      if (!dn) return false;
      address += *da, name += *dn;
      if (name < 0) return false;
      out.emplace_back(address, JdbgName(wordData, static_cast<std::size_t>(name)));
    }
    return true;
  };
  if (!readNamed(units, staged.units) || !readNamed(sourceNames, staged.sources)) return false;
  {
    TValueStream s(data, static_cast<std::size_t>(symbols));
    std::int64_t address = 0, first = 0, second = 0;
    while (auto da = s.Next()) {
      const auto d1 = s.Next(), d2 = s.Next();
      if (!d1 || !d2) return false;
      address += *da, first += *d1, second += *d2;
      if (first < 0 || second < 0) return false;
      std::string name = JdbgName(wordData, static_cast<std::size_t>(first));
      if (second != 0) name += "." + JdbgName(wordData, static_cast<std::size_t>(second));
      staged.symbols.emplace_back(address, std::move(name));
    }
  }
  {
    TValueStream s(data, static_cast<std::size_t>(lineNumbers));
    std::int64_t address = 0, line = 0;
    while (auto da = s.Next()) {
      const auto dl = s.Next();
      if (!dl) return false;
      address += *da, line += *dl;
      staged.lines.emplace_back(address, static_cast<std::int32_t>(line));
    }
  }

  TMapFile m(map.CodeOnly());
  m.SetCodeRange(map.BaseOfCode(), map.TopOfCode());
  const Address base = map.BaseOfCode();
  for (const auto& [rel, name] : staged.sources) {
    const std::string unit = kelvane::FileNameOf(std::string_view(name));
    if (rel >= 0) m.AddSegment(true, base + static_cast<Address>(rel), 1, kelvane::Utf8ToUtf16(unit));
  }
  m.SortSegments();
  m.OptimiseSegments();
  m.ExtendLastSegmentTo(map.TopOfCode());
  std::stable_sort(staged.units.begin(), staged.units.end(),
                   [](const auto& a, const auto& b) { return a.first < b.first; });
  auto unitAt = [&](std::int64_t rel) -> std::string {
    auto it = std::upper_bound(staged.units.begin(), staged.units.end(), rel,
                               [](std::int64_t r, const auto& u) { return r < u.first; });
    return it == staged.units.begin() ? std::string() : std::prev(it)->second;
  };
  for (const auto& [rel, name] : staged.symbols) {
    if (rel < 0) continue;
    const std::string unit = unitAt(rel);
    m.AddPublic(true, kelvane::Utf8ToUtf16(unit.empty() ? name : unit + "." + name), base + static_cast<Address>(rel));
  }
  m.SortPublics();
  for (const auto& [rel, line] : staged.lines)
    if (rel >= 0) m.AddLine(line, base + static_cast<Address>(rel));
  map.AdoptTables(std::move(m));
  return true;
}

}  // namespace ruvex
