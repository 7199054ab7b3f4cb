#include "reporter/engines/symbols/readers/TextMap.h"

#include <optional>
#include <vector>

#include "common/text/Utf.h"

namespace ruvex {

namespace {

std::optional<std::uint64_t> Hex(std::string_view s) {
  if (s.empty()) return std::nullopt;
  std::uint64_t v = 0;
  for (char c : s) {
    int d;
    if (c >= '0' && c <= '9') d = c - '0';
    else if (c >= 'A' && c <= 'F') d = c - 'A' + 10;
    else if (c >= 'a' && c <= 'f') d = c - 'a' + 10;
    else return std::nullopt;
    v = v * 16 + static_cast<unsigned>(d);
  }
  return v;
}

std::optional<std::int64_t> Decimal(std::string_view s) {
  if (s.empty() || s.size() > 10) return std::nullopt;
  std::int64_t v = 0;
  for (char c : s) {
    if (c < '0' || c > '9') return std::nullopt;
    v = v * 10 + (c - '0');
  }
  return v;
}

std::string_view Trim(std::string_view s) {
  while (!s.empty() && static_cast<unsigned char>(s.front()) <= 32) s.remove_prefix(1);
  while (!s.empty() && static_cast<unsigned char>(s.back()) <= 32) s.remove_suffix(1);
  return s;
}

// Column n counted from 1.
char At(std::string_view line, std::size_t column) { return column <= line.size() ? line[column - 1] : '\0'; }

bool ContainsNoCase(std::string_view text, std::string_view word) {
  for (std::size_t i = 0; i + word.size() <= text.size(); ++i) {
    bool same = true;
    for (std::size_t j = 0; j < word.size() && same; ++j)
      same = (text[i + j] | 0x20) == (word[j] | 0x20);
    if (same) return true;
  }
  return false;
}

struct TSegmentEntry {
  bool code = false;
  std::uint64_t relStart = 0;
};

class TTextMapReader {
 public:
  explicit TTextMapReader(TMapFile& map) : map_(map) {}

  bool Run(std::string_view text) {
    std::size_t pos = 0;
    while (pos <= text.size()) {
      std::size_t end = text.find('\n', pos);
      if (end == std::string_view::npos) end = text.size();
      std::string_view line = text.substr(pos, end - pos);
      if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
      while (!line.empty() && (line.front() == ' ' || line.front() == '\t')) line.remove_prefix(1);
      Line(line);
      pos = end + 1;
    }
    EndBlock();
    map_.SortPublics();
    return !segments_.empty();
  }

 private:
  enum class Block { None, Segments, Detailed, Publics, Lines };

  void Line(std::string_view line) {
    if (line.find("Start         Length     Name                   Class") != std::string_view::npos)
      return Begin(Block::Segments);
    if (line.find("Detailed map of segments") != std::string_view::npos) return Begin(Block::Detailed);
    if (line.find("Publics by Value") != std::string_view::npos) return Begin(Block::Publics);
    if (line.find("Line numbers for ") != std::string_view::npos && line.find('(') != std::string_view::npos &&
        line.find(')') != std::string_view::npos) {
      Begin(Block::Lines);
      lastLineAddress_.reset();
      return;
    }
    if (line.find("Program entry point at ") != std::string_view::npos) return EntryPoint(line);
    switch (block_) {
      case Block::Segments: return SegmentLine(line);
      case Block::Detailed: return DetailedLine(line);
      case Block::Publics: return PublicLine(line);
      case Block::Lines: return LineNumbers(line);
      case Block::None: return;
    }
  }

  void Begin(Block b) {
    EndBlock();
    block_ = b;
  }
  void EndBlock() {
    if (block_ == Block::Detailed) map_.SortSegments();
    block_ = Block::None;
  }

  void SegmentLine(std::string_view line) {
    if (line.size() <= 46 || At(line, 5) != ':' || At(line, 14) != ' ' || At(line, 23) != 'H' || cut_) return;
    const auto number = Hex(line.substr(0, 4));
    const auto start = Hex(line.substr(5, 8));
    const auto length = Hex(line.substr(14, 8));
    if (!number || !start || !length) return;
    if (*number != segments_.size() + 1) return;  // numbers run 1, 2, 3
    const std::string_view name = Trim(line.substr(24, 23));
    if (!segments_.empty() && *start < runningBase_) {
      cut_ = true;
      return;
    }
    runningBase_ = *start;
    TSegmentEntry e;
    if (!inData_ && ContainsNoCase(name, "data")) {
      inData_ = true;
      firstDataStart_ = *start;
    }
    e.code = !inData_;
    if (segments_.empty()) firstStart_ = *start;
    e.relStart = *start - (e.code ? firstStart_ : firstDataStart_);
    segments_.push_back(e);
  }

  // The absolute address of segment:offset, or none for an unknown segment.
  std::optional<Address> AddressOf(std::uint64_t segment, std::uint64_t offset, bool* code = nullptr) const {
    if (segment == 0 || segment > segments_.size()) return std::nullopt;
    const TSegmentEntry& e = segments_[segment - 1];
    if (code) *code = e.code;
    return (e.code ? map_.BaseOfCode() : map_.BaseOfData()) + e.relStart + offset;
  }

  void DetailedLine(std::string_view line) {
    if (line.size() <= 72 || At(line, 5) != ':' || At(line, 14) != ' ' || At(line, 23) != ' ' ||
        At(line, 24) != 'C' || At(line, 25) != '=')
      return;
    const auto segment = Hex(line.substr(0, 4));
    const auto offset = Hex(line.substr(5, 8));
    const auto length = Hex(line.substr(14, 8));
    if (!segment || !offset || !length || *length > 0xFFFFFFFFu) return;
    bool code = false;
    const auto start = AddressOf(*segment, *offset, &code);
    if (!start) return;
    std::string_view rest = Trim(line);
    const std::size_t lastBlank = rest.find_last_of(' ');
    if (lastBlank == std::string_view::npos) return;
    rest = Trim(rest.substr(0, lastBlank));
    const std::size_t cut = rest.find_last_of("=\\|");
    const std::string_view unit = Trim(cut == std::string_view::npos ? rest : rest.substr(cut + 1));
    map_.AddSegment(code, *start, static_cast<std::uint32_t>(*length), kelvane::Utf8ToUtf16(unit), true);
  }

  void PublicLine(std::string_view line) {
    if (line.size() <= 13 || At(line, 5) != ':') return;
    line = Trim(line);
    if (!line.empty() && line.back() == ')') {
      const std::size_t open = line.rfind('(');
      if (open != std::string_view::npos) line = Trim(line.substr(0, open));
    }
    const std::size_t lastBlank = line.find_last_of(' ');
    if (lastBlank == std::string_view::npos) return;
    const auto segment = Hex(line.substr(0, 4));
    const auto offset = Hex(Trim(line.substr(5, lastBlank - 5)));
    bool code = false;
    const auto address = segment && offset ? AddressOf(*segment, *offset, &code) : std::nullopt;
    if (!address) return;
    map_.AddPublic(code, kelvane::Utf8ToUtf16(line.substr(lastBlank + 1)), *address);
  }

  void LineNumbers(std::string_view line) {
    std::vector<std::string_view> fields;
    for (std::size_t i = 0; i < line.size();) {
      while (i < line.size() && static_cast<unsigned char>(line[i]) <= 32) ++i;
      const std::size_t start = i;
      while (i < line.size() && static_cast<unsigned char>(line[i]) > 32) ++i;
      if (i > start) fields.push_back(line.substr(start, i - start));
    }
    for (std::size_t i = 0; i + 1 < fields.size(); i += 2) {
      const auto number = Decimal(fields[i]);
      const std::string_view where = fields[i + 1];
      if (!number || where.size() != 13 || where[4] != ':') continue;
      const auto segment = Hex(where.substr(0, 4));
      const auto offset = Hex(where.substr(5));
      bool code = false;
      const auto address = segment && offset ? AddressOf(*segment, *offset, &code) : std::nullopt;
      if (!address || !code) continue;
      if (lastLineAddress_ && *address <= *lastLineAddress_) continue;
      lastLineAddress_ = *address;
      map_.AddLine(static_cast<std::int32_t>(*number), *address);
    }
  }

  void EntryPoint(std::string_view line) {
    if (line.size() < 35 || At(line, 28) != ':') return;
    const auto segment = Hex(line.substr(23, 4));
    const auto offset = Hex(line.substr(28, 8));
    const auto address = segment && offset ? AddressOf(*segment, *offset) : std::nullopt;
    if (address) map_.SetEntryPoint(*address);
  }

  TMapFile& map_;
  Block block_ = Block::None;
  std::vector<TSegmentEntry> segments_;
  std::uint64_t runningBase_ = 0, firstStart_ = 0, firstDataStart_ = 0;
  bool inData_ = false, cut_ = false;
  std::optional<Address> lastLineAddress_;
};

}  // namespace

bool ParseTextMap(std::string_view text, TMapFile& map) {
  TMapFile staged(map.CodeOnly());
  staged.SetCodeRange(map.BaseOfCode(), map.TopOfCode());
  staged.SetDataRange(map.BaseOfData(), map.TopOfData());
  if (!TTextMapReader(staged).Run(text)) return false;
  // Only a map that parsed is taken, so a failed one leaves nothing behind.
  map.AdoptTables(std::move(staged));
  return true;
}

}  // namespace ruvex
