#pragma once
// Small synthetic PE files (PE32 or PE32+) for tests and fuzz seeds: the
// cases real images never show (exports by ordinal only, forwarder loops,
// named resources, broken headers) are written here on purpose.
#include <algorithm>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

namespace ruvex::testing {

struct TTestSection {
  std::string name;
  std::uint32_t rva = 0;
  std::vector<std::uint8_t> data;
  std::uint32_t characteristics = 0x60000020;  // code, execute, read
  std::uint32_t virtualSize = 0;               // 0: the data's size
};

struct TTestExport {
  std::string name;       // empty: by ordinal only
  std::uint32_t rva = 0;  // ignored for a forwarder
  std::string forwarder;  // "MODULE.Name"
};

struct TTestResource {
  std::u16string typeName;  // empty: typeId
  std::uint16_t typeId = 0;
  std::u16string name;      // empty: nameId
  std::uint16_t nameId = 0;
  std::vector<std::uint8_t> bytes;
  std::uint16_t language = 0x409;
};

inline void Put16(std::vector<std::uint8_t>& b, std::size_t at, std::uint32_t v) {
  if (b.size() < at + 2) b.resize(at + 2);
  b[at] = static_cast<std::uint8_t>(v);
  b[at + 1] = static_cast<std::uint8_t>(v >> 8);
}
inline void Put32(std::vector<std::uint8_t>& b, std::size_t at, std::uint32_t v) {
  Put16(b, at, v & 0xFFFF);
  Put16(b, at + 2, v >> 16);
}
inline void Put64(std::vector<std::uint8_t>& b, std::size_t at, std::uint64_t v) {
  Put32(b, at, static_cast<std::uint32_t>(v));
  Put32(b, at + 4, static_cast<std::uint32_t>(v >> 32));
}

class TPeBuilder {
 public:
  bool pe32Plus = false;
  std::uint64_t imageBase = 0x10000000;
  std::uint32_t entryPoint = 0x1000;
  std::uint32_t sectionAlignment = 0x1000;
  std::uint32_t sizeOfImage = 0;  // 0: computed
  std::vector<TTestSection> sections;
  std::uint32_t directories[16][2] = {};

  // Adds an export section at `rva` whose directory covers the whole section.
  void AddExports(std::uint32_t rva, const std::string& dllName, const std::vector<TTestExport>& exports,
                  std::uint32_t ordinalBase = 1) {
    std::vector<std::uint8_t> d(40, 0);
    const std::uint32_t n = static_cast<std::uint32_t>(exports.size());
    std::vector<std::uint32_t> named;
    for (std::uint32_t i = 0; i < n; ++i)
      if (!exports[i].name.empty()) named.push_back(i);
    std::sort(named.begin(), named.end(), [&](auto a, auto b) { return exports[a].name < exports[b].name; });
    const std::uint32_t functions = 40, names = functions + 4 * n, ordinals = names + 4 * static_cast<std::uint32_t>(named.size());
    d.resize(ordinals + 2 * named.size(), 0);
    auto addString = [&](const std::string& s) {
      const std::uint32_t at = static_cast<std::uint32_t>(d.size());
      d.insert(d.end(), s.begin(), s.end());
      d.push_back(0);
      return rva + at;
    };
    Put32(d, 12, addString(dllName));
    Put32(d, 16, ordinalBase);
    Put32(d, 20, n);
    Put32(d, 24, static_cast<std::uint32_t>(named.size()));
    Put32(d, 28, rva + functions);
    Put32(d, 32, rva + names);
    Put32(d, 36, rva + ordinals);
    for (std::uint32_t i = 0; i < n; ++i)
      Put32(d, functions + 4 * i, exports[i].forwarder.empty() ? exports[i].rva : addString(exports[i].forwarder));
    for (std::size_t k = 0; k < named.size(); ++k) {
      Put32(d, names + 4 * k, addString(exports[named[k]].name));
      Put16(d, ordinals + 2 * k, named[k]);
    }
    directories[0][0] = rva;
    directories[0][1] = static_cast<std::uint32_t>(d.size());
    sections.push_back({".edata", rva, d, 0x40000040});
  }

  // Adds a resource section at `rva`: resources of the same type share a
  // type entry, languages of the same name share a name entry.
  void AddResources(std::uint32_t rva, const std::vector<TTestResource>& resources) {
    std::vector<std::uint8_t> d;
    auto directory = [&](std::size_t count) {
      const std::size_t at = d.size();
      d.resize(at + 16 + 8 * count, 0);
      Put16(d, at + 14, static_cast<std::uint32_t>(count));  // counts only matter in sum here
      return at + 16;
    };
    auto nameString = [&](const std::u16string& s) {
      const std::size_t at = d.size();
      Put16(d, at, static_cast<std::uint32_t>(s.size()));
      for (std::size_t i = 0; i < s.size(); ++i) Put16(d, at + 2 + 2 * i, s[i]);
      d.resize((d.size() + 3) & ~std::size_t{3}, 0);
      return static_cast<std::uint32_t>(at) | 0x80000000u;
    };
    auto sameType = [](const TTestResource& a, const TTestResource& b) {
      return a.typeName == b.typeName && (!a.typeName.empty() || a.typeId == b.typeId);
    };
    auto sameName = [](const TTestResource& a, const TTestResource& b) {
      return a.name == b.name && (!a.name.empty() || a.nameId == b.nameId);
    };
    // types -> names -> languages
    std::vector<std::vector<std::vector<const TTestResource*>>> tree;
    for (const auto& r : resources) {
      auto type = std::find_if(tree.begin(), tree.end(), [&](const auto& t) { return sameType(*t[0][0], r); });
      if (type == tree.end()) {
        tree.push_back({{&r}});
        continue;
      }
      auto name = std::find_if(type->begin(), type->end(), [&](const auto& n) { return sameName(*n[0], r); });
      if (name == type->end())
        type->push_back({&r});
      else
        name->push_back(&r);
    }
    const std::size_t rootEntries = directory(tree.size());
    for (std::size_t t = 0; t < tree.size(); ++t) {
      const TTestResource& firstOfType = *tree[t][0][0];
      const std::size_t nameDir = d.size();
      const std::size_t nameEntries = directory(tree[t].size());
      Put32(d, rootEntries + 8 * t, firstOfType.typeName.empty() ? firstOfType.typeId : nameString(firstOfType.typeName));
      Put32(d, rootEntries + 8 * t + 4, static_cast<std::uint32_t>(nameDir) | 0x80000000u);
      for (std::size_t n = 0; n < tree[t].size(); ++n) {
        const auto& languages = tree[t][n];
        const std::size_t langDir = d.size();
        const std::size_t langEntries = directory(languages.size());
        Put32(d, nameEntries + 8 * n, languages[0]->name.empty() ? languages[0]->nameId : nameString(languages[0]->name));
        Put32(d, nameEntries + 8 * n + 4, static_cast<std::uint32_t>(langDir) | 0x80000000u);
        for (std::size_t l = 0; l < languages.size(); ++l) {
          const TTestResource& r = *languages[l];
          const std::size_t dataEntry = d.size();
          d.resize(dataEntry + 16, 0);
          d.insert(d.end(), r.bytes.begin(), r.bytes.end());
          d.resize((d.size() + 3) & ~std::size_t{3}, 0);
          Put32(d, dataEntry, rva + static_cast<std::uint32_t>(dataEntry + 16));
          Put32(d, dataEntry + 4, static_cast<std::uint32_t>(r.bytes.size()));
          Put32(d, langEntries + 8 * l, r.language);
          Put32(d, langEntries + 8 * l + 4, static_cast<std::uint32_t>(dataEntry));
        }
      }
    }
    directories[2][0] = rva;
    directories[2][1] = static_cast<std::uint32_t>(d.size());
    sections.push_back({".rsrc", rva, d, 0x40000040});
  }

  std::vector<std::uint8_t> Build() const {
    constexpr std::uint32_t kFileAlignment = 0x200, kHeaders = 0x400, kPeAt = 0x40;
    const std::uint32_t optionalSize = (pe32Plus ? 112 : 96) + 16 * 8;
    std::vector<std::uint8_t> f(kHeaders, 0);
    f[0] = 'M';
    f[1] = 'Z';
    Put32(f, 0x3C, kPeAt);
    Put32(f, kPeAt, 0x4550);
    const std::size_t fh = kPeAt + 4;
    Put16(f, fh, pe32Plus ? 0x8664 : 0x014C);
    Put16(f, fh + 2, static_cast<std::uint32_t>(sections.size()));
    Put16(f, fh + 16, optionalSize);
    Put16(f, fh + 18, 0x2102);
    const std::size_t oh = fh + 20;
    Put16(f, oh, pe32Plus ? 0x20B : 0x10B);
    Put32(f, oh + 16, entryPoint);
    if (pe32Plus)
      Put64(f, oh + 24, imageBase);
    else
      Put32(f, oh + 28, static_cast<std::uint32_t>(imageBase));
    Put32(f, oh + 32, sectionAlignment);
    Put32(f, oh + 36, kFileAlignment);
    std::uint32_t end = sectionAlignment;
    for (const auto& s : sections) {
      const std::uint32_t size = s.virtualSize ? s.virtualSize : static_cast<std::uint32_t>(s.data.size());
      end = std::max(end, (s.rva + size + sectionAlignment - 1) / sectionAlignment * sectionAlignment);
    }
    Put32(f, oh + 56, sizeOfImage ? sizeOfImage : end);
    Put32(f, oh + 60, kHeaders);
    Put16(f, oh + 68, 2);
    const std::size_t dirs = oh + (pe32Plus ? 112 : 96);
    Put32(f, dirs - 4, 16);
    for (int i = 0; i < 16; ++i) {
      Put32(f, dirs + 8 * i, directories[i][0]);
      Put32(f, dirs + 8 * i + 4, directories[i][1]);
    }
    std::size_t table = oh + optionalSize;
    for (const auto& s : sections) {
      const std::uint32_t raw = static_cast<std::uint32_t>((f.size() + kFileAlignment - 1) / kFileAlignment * kFileAlignment);
      const std::uint32_t rawSize =
          static_cast<std::uint32_t>((s.data.size() + kFileAlignment - 1) / kFileAlignment * kFileAlignment);
      std::memcpy(&f[table], s.name.data(), std::min<std::size_t>(8, s.name.size()));
      Put32(f, table + 8, s.virtualSize ? s.virtualSize : static_cast<std::uint32_t>(s.data.size()));
      Put32(f, table + 12, s.rva);
      Put32(f, table + 16, rawSize);
      Put32(f, table + 20, rawSize ? raw : 0);
      Put32(f, table + 36, s.characteristics);
      table += 40;
      f.resize(raw, 0);
      f.insert(f.end(), s.data.begin(), s.data.end());
      f.resize(raw + rawSize, 0);
    }
    return f;
  }
};

}  // namespace ruvex::testing
