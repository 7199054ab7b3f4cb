#include "reporter/engines/pe/resources/Version.h"

#include <algorithm>

#include "common/text/Utf.h"
#include "reporter/engines/pe/headers/ImageMemory.h"
#include "reporter/engines/pe/resources/Resources.h"
#include "common/text/HexText.h"

namespace ruvex {
namespace {

constexpr std::uint32_t kFixedSignature = 0xFEEF04BD;

struct TBlock {
  std::u16string key;
  std::size_t valueBegin = 0, valueSize = 0;  // bytes
  bool isText = false;
  std::size_t childrenBegin = 0, end = 0;
};

std::size_t Align4(std::size_t v) { return (v + 3) & ~std::size_t{3}; }

std::uint16_t Word(const std::string& s, std::size_t at) {
  return static_cast<std::uint16_t>(static_cast<unsigned char>(s[at]) | static_cast<unsigned char>(s[at + 1]) << 8);
}

// The block at `at` within [at, limit), or false when it does not fit.
bool ReadBlock(const std::string& s, std::size_t at, std::size_t limit, TBlock& b) {
  if (at + 6 > limit) return false;
  const std::size_t length = Word(s, at);
  const std::size_t valueLength = Word(s, at + 2);
  b.isText = Word(s, at + 4) == 1;
  if (length < 6 || length > limit - at) return false;
  b.end = at + length;
  b.key.clear();
  std::size_t p = at + 6;
  for (; p + 2 <= b.end; p += 2) {
    const char16_t c = Word(s, p);
    if (c == 0) break;
    b.key.push_back(c);
  }
  if (p + 2 > b.end) return false;
  b.valueBegin = std::min(Align4(p + 2), b.end);
  // Text values count characters; some writers count bytes, so clip.
  b.valueSize = std::min(b.isText ? valueLength * 2 : valueLength, b.end - b.valueBegin);
  b.childrenBegin = std::min(Align4(b.valueBegin + b.valueSize), b.end);
  return true;
}

template <class Visit>
void ForEachChild(const std::string& s, const TBlock& parent, Visit visit) {
  TBlock child;
  for (std::size_t at = parent.childrenBegin; ReadBlock(s, at, parent.end, child); at = Align4(child.end)) {
    visit(child);
    if (Align4(child.end) <= at) break;
  }
}

std::u16string TextValue(const std::string& s, const TBlock& b) {
  std::u16string out;
  for (std::size_t p = b.valueBegin; p + 2 <= b.valueBegin + b.valueSize; p += 2) {
    const char16_t c = Word(s, p);
    if (c == 0) break;
    out.push_back(c);
  }
  return out;
}

char16_t Fold(char16_t c) { return c >= u'A' && c <= u'Z' ? static_cast<char16_t>(c - u'A' + u'a') : c; }

bool SameIgnoringCase(const std::u16string& a, const std::u16string& b) {
  return a.size() == b.size() &&
         std::equal(a.begin(), a.end(), b.begin(), [](char16_t x, char16_t y) { return Fold(x) == Fold(y); });
}

std::u16string TrimBlanks(const std::u16string& s) {
  std::size_t begin = 0, end = s.size();
  while (begin < end && s[begin] <= 32) ++begin;
  while (end > begin && s[end - 1] <= 32) --end;
  return s.substr(begin, end - begin);
}

}  // namespace

std::u16string VersionToText(std::uint32_t mostSignificant, std::uint32_t leastSignificant) {
  return kelvane::Utf8ToUtf16(std::to_string(mostSignificant >> 16) + "." + std::to_string(mostSignificant & 0xFFFF) +
                              "." + std::to_string(leastSignificant >> 16) + "." +
                              std::to_string(leastSignificant & 0xFFFF));
}

TVersionInfo ParseVersionInfo(const std::string& resource) {
  TVersionInfo info;
  TBlock root;
  if (!ReadBlock(resource, 0, resource.size(), root)) return info;
  if (root.valueSize >= 16) {
    const std::uint32_t signature = Word(resource, root.valueBegin) | std::uint32_t{Word(resource, root.valueBegin + 2)} << 16;
    if (signature == kFixedSignature) {
      info.hasFixed = true;
      info.fileVersionMS = Word(resource, root.valueBegin + 8) | std::uint32_t{Word(resource, root.valueBegin + 10)} << 16;
      info.fileVersionLS = Word(resource, root.valueBegin + 12) | std::uint32_t{Word(resource, root.valueBegin + 14)} << 16;
    }
  }
  ForEachChild(resource, root, [&](const TBlock& part) {
    if (part.key == u"StringFileInfo") {
      ForEachChild(resource, part, [&](const TBlock& table) {
        ForEachChild(resource, table, [&](const TBlock& entry) {
          info.strings.push_back({table.key, entry.key, TextValue(resource, entry)});
        });
      });
    } else if (part.key == u"VarFileInfo") {
      ForEachChild(resource, part, [&](const TBlock& var) {
        if (var.key != u"Translation") return;
        for (std::size_t p = var.valueBegin; p + 4 <= var.valueBegin + var.valueSize; p += 4)
          info.translations.push_back(std::uint32_t{Word(resource, p)} << 16 | Word(resource, p + 2));
      });
    }
  });
  return info;
}

std::u16string FileVersionFromResource(const std::string& resource) {
  const TVersionInfo info = ParseVersionInfo(resource);
  if (info.hasFixed && (info.fileVersionMS != 0 || info.fileVersionLS != 0))
    return VersionToText(info.fileVersionMS, info.fileVersionLS);
  if (info.translations.empty()) return {};
  const std::u16string table = kelvane::HexLower16(info.translations.front(), 8);
  for (const TVersionInfo::TString& s : info.strings)
    if (SameIgnoringCase(s.table, table) && s.key == u"FileVersion") return TrimBlanks(s.value);
  return {};
}

std::u16string FileVersionTextOfImageFile(const std::string& path) {
  TImageMemory image;
  if (!image.AddImageFile(path)) return {};
  const Address base = image.Modules().front().base;
  return FileVersionFromResource(
      ResourceBytes(image, base, TResourceId::Of(kResourceTypeVersion), TResourceId::First()));
}

}  // namespace ruvex
