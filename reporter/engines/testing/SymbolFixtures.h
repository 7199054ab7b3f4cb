#pragma once
// Writers of the debug formats the symbol readers take, for tests and fuzz
// seeds: small files in the published layouts, built field by field.
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "common/bytes/ByteCursor.h"
#include "common/bytes/LittleEndian.h"

namespace ruvex::testing {

// --- JDBG ------------------------------------------------------------------

inline void PutJdbgValue(std::string& out, std::uint32_t v) {
  do {
    std::uint8_t b = v & 0x7F;
    v >>= 7;
    if (v) b |= 0x80;
    out.push_back(static_cast<char>(b));
  } while (v);
}

// 6-bit packed; names with other characters than [a-zA-Z0-9_] go
// scrambled behind a 1 byte.
inline std::string PackJdbgName(const std::string& name) {
  auto code = [](char c) -> int {
    if (c >= 'a' && c <= 'z') return c - 'a' + 1;
    if (c >= 'A' && c <= 'Z') return c - 'A' + 27;
    if (c >= '0' && c <= '9') return c - '0' + 53;
    if (c == '_') return 63;
    return -1;
  };
  bool packable = true;
  for (char c : name) packable = packable && code(c) >= 0;
  std::string out;
  if (!packable) {
    out.push_back(1);
    for (char c : name) out.push_back(static_cast<char>(static_cast<std::uint8_t>(c) == 0xAA ? c : c ^ 0xAA));
    out.push_back(0);
    return out;
  }
  std::uint32_t bits = 0;
  int have = 0;
  std::vector<int> codes;
  for (char c : name) codes.push_back(code(c));
  codes.push_back(0);
  for (int c : codes) {
    bits |= static_cast<std::uint32_t>(c) << have;
    have += 6;
    while (have >= 8) {
      out.push_back(static_cast<char>(bits & 0xFF));
      bits >>= 8;
      have -= 8;
    }
  }
  if (have > 0) out.push_back(static_cast<char>(bits & 0xFF));
  return out;
}

struct TJdbgFixture {
  std::vector<std::pair<std::uint32_t, std::string>> units, sources;
  struct Symbol {
    std::uint32_t address;
    std::string first, second;
  };
  std::vector<Symbol> symbols;
  std::vector<std::pair<std::uint32_t, std::uint32_t>> lines;  // address, line
  bool checkSumValid = true;

  std::string Build() const {
    std::string words(1, '\0');  // offset 0 means "no name"
    auto word = [&](const std::string& name) -> std::uint32_t {
      if (name.empty()) return 0;
      const auto at = static_cast<std::uint32_t>(words.size());
      words += PackJdbgName(name);
      return at;
    };
    auto named = [&](const auto& list) {
      std::string s;
      std::uint32_t a = 0, n = 0;
      for (const auto& [address, name] : list) {
        const std::uint32_t w = word(name);
        PutJdbgValue(s, address - a);
        PutJdbgValue(s, w - n);
        a = address, n = w;
      }
      PutJdbgValue(s, 0x7FFFFFFF);
      return s;
    };
    const std::string unitStream = named(units), sourceStream = named(sources);
    std::string symbolStream;
    std::uint32_t a = 0, f = 0, g = 0;
    for (const Symbol& s : symbols) {
      const std::uint32_t w1 = word(s.first), w2 = word(s.second);
      PutJdbgValue(symbolStream, s.address - a);
      PutJdbgValue(symbolStream, w1 - f);
      PutJdbgValue(symbolStream, w2 - g);
      a = s.address, f = w1, g = w2;
    }
    PutJdbgValue(symbolStream, 0x7FFFFFFF);
    std::string lineStream;
    std::uint32_t la = 0, ll = 0;
    for (const auto& [address, line] : lines) {
      PutJdbgValue(lineStream, address - la);
      PutJdbgValue(lineStream, line - ll);
      la = address, ll = line;
    }
    PutJdbgValue(lineStream, 0x7FFFFFFF);

    std::string out = "JDBG";
    out.push_back(1);
    std::uint32_t at = 34;
    for (const std::string* s : std::initializer_list<const std::string*>{&unitStream, &sourceStream, &symbolStream, &lineStream, &words}) {
      kelvane::PutLe32(out, at);
      at += static_cast<std::uint32_t>(s->size());
    }
    kelvane::PutLe32(out, 0);  // module name
    kelvane::PutLe32(out, 0);  // checksum, set below
    out.push_back(checkSumValid ? 1 : 0);
    out += unitStream + sourceStream + symbolStream + lineStream + words;
    while (out.size() % 4) out.push_back(0);
    if (checkSumValid) {
      // A trailing word makes the sum of all words, less the stored
      // checksum and rotated right by 8, equal to it.
      const std::uint32_t checkSum = 0x5EED1234;
      for (int i = 0; i < 4; ++i) out[29 + i] = static_cast<char>(checkSum >> (8 * i));
      out.append(4, '\0');
      std::uint32_t sum = 0;
      kelvane::TByteCursor c(out);
      for (std::uint32_t w = 0; c.Read(w);) sum += w;
      const std::uint32_t wanted = ((checkSum << 8) | (checkSum >> 24)) + checkSum;
      const std::uint32_t pad = wanted - sum;
      for (int i = 0; i < 4; ++i) out[out.size() - 4 + i] = static_cast<char>(pad >> (8 * i));
    }
    return out;
  }
};

// --- TD32 ------------------------------------------------------------------

struct TTd32Fixture {
  std::string signature = "FB09";
  std::vector<std::string> names;  // index 1 and up
  struct Module {
    std::uint32_t nameIndex;
    std::vector<std::pair<std::uint32_t, std::uint32_t>> codeSegments;  // offset, size in segment 1
  };
  std::vector<Module> modules;
  struct Source {
    std::uint32_t nameIndex;
    std::vector<std::pair<std::uint32_t, std::uint16_t>> lines;  // offset, line (segment 1)
  };
  std::vector<Source> sources;
  struct Symbol {
    std::uint16_t type;  // 0x205 procedure, 0x203 public, 0x202 data
    std::uint32_t offset;
    std::uint16_t segment;
    std::uint32_t nameIndex;
  };
  std::vector<Symbol> symbols;

  static std::string NamesSubsection(const std::vector<std::string>& names) {
    std::string s;
    kelvane::PutLe32(s, static_cast<std::uint32_t>(names.size()));
    for (const std::string& n : names) {
      s.push_back(static_cast<char>(n.size()));
      s += n;
      s.push_back(0);
    }
    return s;
  }

  std::string Build() const {
    std::vector<std::pair<std::uint16_t, std::string>> subs;
    subs.emplace_back(0x130, NamesSubsection(names));
    for (const Module& m : modules) {
      std::string s;
      kelvane::PutLe16(s, 0), kelvane::PutLe16(s, 0), kelvane::PutLe16(s, static_cast<std::uint16_t>(m.codeSegments.size())), kelvane::PutLe16(s, 0);
      kelvane::PutLe32(s, m.nameIndex), kelvane::PutLe32(s, 0), kelvane::PutLe32(s, 0), kelvane::PutLe32(s, 0), kelvane::PutLe32(s, 0);
      for (const auto& [offset, size] : m.codeSegments) {
        kelvane::PutLe16(s, 1), kelvane::PutLe16(s, 0), kelvane::PutLe32(s, offset), kelvane::PutLe32(s, size);
      }
      subs.emplace_back(0x120, s);
    }
    for (const Source& src : sources) {
      // One file with one block, in segment 1.
      std::string s;
      kelvane::PutLe16(s, 1), kelvane::PutLe16(s, 1);
      kelvane::PutLe32(s, 18);  // the file entry follows this header
      kelvane::PutLe32(s, 0), kelvane::PutLe32(s, 0), kelvane::PutLe16(s, 1);
      kelvane::PutLe16(s, 1), kelvane::PutLe32(s, src.nameIndex);
      kelvane::PutLe32(s, static_cast<std::uint32_t>(s.size() + 4 + 8));
      kelvane::PutLe32(s, 0), kelvane::PutLe32(s, 0);
      kelvane::PutLe16(s, 1), kelvane::PutLe16(s, static_cast<std::uint16_t>(src.lines.size()));
      for (const auto& l : src.lines) kelvane::PutLe32(s, l.first);
      for (const auto& l : src.lines) kelvane::PutLe16(s, l.second);
      subs.emplace_back(0x127, s);
    }
    std::string sym;
    kelvane::PutLe32(sym, 1);
    for (const Symbol& y : symbols) {
      std::string r;
      kelvane::PutLe16(r, y.type);
      if (y.type == 0x204 || y.type == 0x205) {
        for (int i = 0; i < 6; ++i) kelvane::PutLe32(r, 0);
        kelvane::PutLe32(r, y.offset), kelvane::PutLe16(r, y.segment), kelvane::PutLe32(r, 0), r.push_back(0), r.push_back(0);
        kelvane::PutLe32(r, y.nameIndex);
      } else {
        kelvane::PutLe32(r, y.offset), kelvane::PutLe16(r, y.segment), kelvane::PutLe16(r, 0), kelvane::PutLe32(r, 0), kelvane::PutLe32(r, y.nameIndex);
      }
      kelvane::PutLe16(sym, static_cast<std::uint16_t>(r.size()));
      sym += r;
    }
    subs.emplace_back(signature == "FB09" ? 0x125 : 0x129, sym);

    std::string out = signature;
    kelvane::PutLe32(out, 0);  // directory offset, set below
    std::vector<std::pair<std::uint32_t, std::uint32_t>> placed;
    for (const auto& [type, body] : subs) {
      placed.emplace_back(static_cast<std::uint32_t>(out.size()), static_cast<std::uint32_t>(body.size()));
      out += body;
    }
    const auto dir = static_cast<std::uint32_t>(out.size());
    for (int i = 0; i < 4; ++i) out[4 + i] = static_cast<char>(dir >> (8 * i));
    kelvane::PutLe16(out, 16), kelvane::PutLe16(out, 12), kelvane::PutLe32(out, static_cast<std::uint32_t>(subs.size()));
    kelvane::PutLe32(out, 0), kelvane::PutLe32(out, 0);
    for (std::size_t i = 0; i < subs.size(); ++i) {
      kelvane::PutLe16(out, subs[i].first), kelvane::PutLe16(out, 1), kelvane::PutLe32(out, placed[i].first), kelvane::PutLe32(out, placed[i].second);
    }
    return out;
  }
};

}  // namespace ruvex::testing
