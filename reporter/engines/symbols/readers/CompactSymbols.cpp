#include "reporter/engines/symbols/readers/CompactSymbols.h"

#include <cstdio>
#include <vector>

#include "common/text/Utf.h"
#include "reporter/archive/Block.h"
#include "reporter/archive/Crc32.h"
#include "reporter/engines/symbols/readers/Blowfish.h"
#include "common/bytes/ByteCursor.h"
#include "common/bytes/LittleEndian.h"

namespace ruvex {

namespace {

constexpr std::string_view kKeyWord = "Vexlar";
constexpr std::size_t kMaxPackedString = 255;
// Opens the block of public names longer than a packed string holds (C++
// template names often are).
constexpr std::string_view kLongNamesTag = "LNAM";

std::uint32_t Le32At(std::string_view data, std::size_t at) {
  std::uint32_t v = 0;
  kelvane::TByteCursor c(data);
  c.Seek(at);
  c.Read(v);
  return v;
}

// One signed byte in -127..127, or 0x80 and the 32-bit value.
bool ReadPackedInt(kelvane::TByteCursor& c, std::int32_t& value) {
  std::int8_t b = 0;
  if (!c.Read(b)) return false;
  if (static_cast<std::uint8_t>(b) != 0x80) {
    value = b;
    return true;
  }
  return c.Read(value);
}

void PutPackedInt(std::string& out, std::int64_t value) {
  if (value >= -127 && value <= 127) {
    out.push_back(static_cast<char>(static_cast<std::int8_t>(value)));
    return;
  }
  out.push_back(static_cast<char>(0x80));
  kelvane::PutLe32(out, static_cast<std::uint32_t>(value));
}

// A length byte and that many UTF-8 bytes; a length beyond the data reads
// as an empty text and consumes the rest.
bool ReadPackedString(kelvane::TByteCursor& c, std::u16string& text) {
  std::uint8_t n = 0;
  if (!c.Read(n)) return false;
  std::string_view bytes;
  if (!c.Bytes(n, bytes)) {
    c.Seek(c.Position() + c.Remaining());
    text.clear();
    return true;
  }
  text = kelvane::Utf8ToUtf16(bytes);
  return true;
}

// A text of more than 255 bytes keeps its first whole characters here; the
// long-names block behind the line table holds it whole.
void PutPackedString(std::string& out, std::string utf8) {
  if (utf8.size() > kMaxPackedString) {
    std::size_t cut = kMaxPackedString;
    while (cut > 0 && (static_cast<std::uint8_t>(utf8[cut]) & 0xC0) == 0x80) --cut;  // whole characters
    utf8.resize(cut);
  }
  out.push_back(static_cast<char>(utf8.size()));
  out += utf8;
}

// Behind the line table, before the entry point: the tag, a 32-bit count,
// then per name the 32-bit index of its public, its 32-bit byte length and
// its UTF-8 bytes. Readers that do not know the block see the shortened
// names (and, as any data that is not exactly an entry point, skip the rest).
void PutLongNames(std::string& out, const std::vector<std::pair<std::uint32_t, std::string>>& names) {
  if (names.empty()) return;
  out += kLongNamesTag;
  kelvane::PutLe32(out, static_cast<std::uint32_t>(names.size()));
  for (const auto& [index, utf8] : names) {
    kelvane::PutLe32(out, index);
    kelvane::PutLe32(out, static_cast<std::uint32_t>(utf8.size()));
    out += utf8;
  }
}

// True when there is no block; false when there is one that is not sound.
bool ReadLongNames(kelvane::TByteCursor& c, std::vector<std::pair<std::u16string, std::int64_t>>& publics) {
  std::string_view tag;
  const std::size_t start = c.Position();
  if (c.Remaining() <= 4 || !c.Bytes(kLongNamesTag.size(), tag) || tag != kLongNamesTag) {
    c.Seek(start);
    return true;
  }
  std::uint32_t count = 0;
  if (!c.Read(count) || !c.CanHold(count, 8)) return false;
  for (std::uint32_t i = 0; i < count; ++i) {
    std::uint32_t index = 0, length = 0;
    std::string_view bytes;
    if (!c.Read(index) || !c.Read(length) || index >= publics.size() || !c.Bytes(length, bytes)) return false;
    publics[index].first = kelvane::Utf8ToUtf16(bytes);
  }
  return true;
}

struct TStaged {
  struct Seg {
    std::uint32_t start, length;
    std::u16string unit;
    bool lines;
  };
  std::vector<Seg> segments;
  std::vector<std::pair<std::u16string, std::int64_t>> publics;
  std::vector<std::pair<std::int64_t, std::int64_t>> lines;
  bool hasEntry = false;
  std::uint32_t entry = 0;
};

bool ParseStream(std::string_view stream, bool minimal, TStaged& out) {
  kelvane::TByteCursor c(stream);
  std::uint32_t count = 0;
  if (!c.Read(count) || !c.CanHold(count, minimal ? 9 : 9)) return false;
  out.segments.reserve(count);
  for (std::uint32_t i = 0; i < count; ++i) {
    TStaged::Seg s{};
    if (!c.Read(s.start) || !c.Read(s.length)) return false;
    if (minimal) {
      std::uint8_t flag = 0;
      if (!c.Read(flag)) return false;
      s.lines = flag != 0;
      s.unit = u"segment%" + kelvane::U16(std::to_string(i));
    } else if (!ReadPackedString(c, s.unit)) {
      return false;
    }
    out.segments.push_back(std::move(s));
  }
  if (!c.Read(count) || !c.CanHold(count, 1)) return false;
  std::int64_t address = 0;
  for (std::uint32_t i = 0; i < count; ++i) {
    std::u16string name;
    if (minimal)
      name = u"public%" + kelvane::U16(std::to_string(i));
    else if (!ReadPackedString(c, name))
      return false;
    if (i == 0) {
      std::uint32_t first = 0;
      if (!c.Read(first)) return false;
      address = first;
    } else {
      std::int32_t delta = 0;
      if (!ReadPackedInt(c, delta)) return false;
      address += delta;
    }
    out.publics.emplace_back(std::move(name), address);
  }
  if (!c.Read(count) || !c.CanHold(count, 2)) return false;
  std::int64_t line = 0;
  address = 0;
  for (std::uint32_t i = 0; i < count; ++i) {
    if (i == 0) {
      std::int32_t l = 0;
      std::uint32_t a = 0;
      if (!c.Read(l) || !c.Read(a)) return false;
      line = l, address = a;
    } else {
      std::int32_t dl = 0, da = 0;
      if (!ReadPackedInt(c, dl) || !ReadPackedInt(c, da)) return false;
      line += dl, address += da;
    }
    out.lines.emplace_back(line, address);
  }
  if (!minimal && !ReadLongNames(c, out.publics)) return false;
  if (c.Remaining() == 4) {
    out.hasEntry = true;
    c.Read(out.entry);
  }
  return true;
}

}  // namespace

std::optional<TCompactHeader> ReadCompactHeader(std::string_view data) {
  if (data.size() <= kCompactSignature.size() + 8 || data.substr(0, kCompactSignature.size()) != kCompactSignature)
    return std::nullopt;
  TCompactHeader h;
  kelvane::TByteCursor c(data);
  c.Seek(kCompactSignature.size());
  if (!c.Read(h.payloadLength) || !c.Read(h.version)) return std::nullopt;
  if (h.version == 3) {
    if (!c.Read(h.dosDate) || !c.Read(h.dosTime) || !c.Read(h.crc) || !c.Read(h.flags)) return std::nullopt;
  } else if (h.version != 2) {
    return std::nullopt;
  }
  h.payloadOffset = c.Position();
  if (h.payloadLength > kMaxCompactPayload || h.payloadLength > c.Remaining()) return std::nullopt;
  return h;
}

std::string CompactFingerprint(std::string_view data) {
  if (data.size() < 30) return {};
  char text[40];
  std::snprintf(text, sizeof text, "$%08x, $%08x, $%08x", static_cast<unsigned>(data.size()),
                static_cast<unsigned>(Le32At(data, 22)), static_cast<unsigned>(Le32At(data, 26)));
  return text;
}

std::string CompactKey(std::uint32_t length) {
  char text[64];
  std::snprintf(text, sizeof text, "%.*s$%07X%.*s%08u", static_cast<int>(kKeyWord.size()), kKeyWord.data(),
                static_cast<unsigned>(length), static_cast<int>(kKeyWord.size()), kKeyWord.data(),
                static_cast<unsigned>(length));
  std::string key = std::string(text) + text;
  TBlowfish(key).EncryptEcb(key);
  return key;
}

bool ParseCompactSymbols(std::string_view data, TMapFile& map, std::string_view expected, TCompactHeader* header) {
  const std::optional<TCompactHeader> h = ReadCompactHeader(data);
  if (!h) return false;
  if (!expected.empty() && CompactFingerprint(data) != expected) return false;
  std::string payload(data.substr(h->payloadOffset, h->payloadLength));
  TBlowfish(CompactKey(h->payloadLength)).DecryptEcb(payload);
  if (payload.size() < kBlockHeaderSize || Le32At(payload, 4) != 0 ||
      Le32At(payload, 0) > kMaxCompactStream)  // the 64-bit length, capped
    return false;
  const std::optional<std::string> stream = TryUnpackBlock(payload);
  if (!stream) return false;
  TStaged staged;
  if (!ParseStream(*stream, h->Minimal(), staged)) return false;

  const Address base = map.BaseOfCode();
  for (const auto& s : staged.segments) map.AddSegment(true, base + s.start, s.length, s.unit, false, false, s.lines);
  map.SortSegments();
  for (const auto& [name, rel] : staged.publics)
    if (rel >= 0) map.AddPublic(true, name, base + static_cast<Address>(rel));
  map.SortPublics();
  for (const auto& [line, rel] : staged.lines)
    if (rel >= 0) map.AddLine(static_cast<std::int32_t>(line), base + static_cast<Address>(rel));
  if (staged.hasEntry) map.SetEntryPoint(base + staged.entry);
  if (header) *header = *h;
  return true;
}

std::string WriteCompactSymbols(const TMapFile& map, const TCompactWriteOptions& options) {
  const Address base = map.BaseOfCode();
  auto rel = [&](Address a) { return static_cast<std::uint32_t>(a - base); };
  std::string stream;
  std::vector<const TMfSegment*> segments;
  for (const TMfSegment& s : map.Segments())
    if (s.Code) segments.push_back(&s);
  kelvane::PutLe32(stream, static_cast<std::uint32_t>(segments.size()));
  for (const TMfSegment* s : segments) {
    kelvane::PutLe32(stream, rel(s->StartAddress));
    kelvane::PutLe32(stream, s->Length);
    if (options.minimal) {
      bool lines = s->LineNumbers;
      for (const TMfLine& l : map.Lines()) lines = lines || (l.Address >= s->StartAddress && l.Address < s->End());
      stream.push_back(lines ? 1 : 0);
    } else {
      PutPackedString(stream, kelvane::Utf16ToUtf8(s->Unit_));
    }
  }
  std::vector<const TMfPublic*> publics;
  for (const TMfPublic& p : map.Publics())
    if (p.Code) publics.push_back(&p);
  kelvane::PutLe32(stream, static_cast<std::uint32_t>(publics.size()));
  std::vector<std::pair<std::uint32_t, std::string>> longNames;
  for (std::size_t i = 0; i < publics.size(); ++i) {
    if (!options.minimal) {
      std::string name = kelvane::Utf16ToUtf8(publics[i]->Name);
      if (name.size() > kMaxPackedString) longNames.emplace_back(static_cast<std::uint32_t>(i), name);
      PutPackedString(stream, std::move(name));
    }
    if (i == 0)
      kelvane::PutLe32(stream, rel(publics[0]->Address));
    else
      PutPackedInt(stream, static_cast<std::int64_t>(publics[i]->Address) - static_cast<std::int64_t>(publics[i - 1]->Address));
  }
  const std::vector<TMfLine>& lines = map.Lines();
  kelvane::PutLe32(stream, static_cast<std::uint32_t>(lines.size()));
  for (std::size_t i = 0; i < lines.size(); ++i) {
    if (i == 0) {
      kelvane::PutLe32(stream, static_cast<std::uint32_t>(lines[0].Line));
      kelvane::PutLe32(stream, rel(lines[0].Address));
    } else {
      PutPackedInt(stream, std::int64_t{lines[i].Line} - lines[i - 1].Line);
      PutPackedInt(stream, static_cast<std::int64_t>(lines[i].Address) - static_cast<std::int64_t>(lines[i - 1].Address));
    }
  }
  PutLongNames(stream, longNames);
  if (map.EntryPoint() != 0) kelvane::PutLe32(stream, rel(map.EntryPoint()));

  std::string payload = PackBlock(stream, false);
  const std::uint32_t crc = Crc32Of(stream.data(), stream.size());
  TBlowfish(CompactKey(static_cast<std::uint32_t>(payload.size()))).EncryptEcb(payload);

  std::string out(kCompactSignature);
  kelvane::PutLe32(out, static_cast<std::uint32_t>(payload.size()));
  kelvane::PutLe32(out, options.version == 2 ? 2 : 3);
  if (options.version != 2) {
    kelvane::PutLe16(out, options.dosDate);
    kelvane::PutLe16(out, options.dosTime);
    kelvane::PutLe32(out, crc);
    kelvane::PutLe32(out, options.minimal ? kCompactFlagMinimal : 0);
  }
  return out + payload;
}

}  // namespace ruvex
