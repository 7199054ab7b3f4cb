#include "reporter/engines/symbols/mapfile/MapFile.h"
#include "common/text/Windows1252.h"

#include <algorithm>

#include "reporter/engines/pe/exports/Unmangle.h"

namespace ruvex {

using kelvane::EqualsIgnoreCase;
using kelvane::StartsWithIgnoreCase;

namespace {

// Tables grow to 16 entries first, then by half of their capacity.
template <class T>
void MakeRoom(std::vector<T>& v) {
  if (v.size() < v.capacity()) return;
  v.reserve(v.capacity() < 16 ? 16 : v.capacity() + v.capacity() / 2);
}

std::u16string WithoutSourceExtension(std::u16string unit) {
  for (const char16_t* ext : {u".dpr", u".pas", u".inc"})
    if (unit.size() > 4 && EqualsIgnoreCase(std::u16string_view(unit).substr(unit.size() - 4), ext)) {
      unit.resize(unit.size() - 4);
      break;
    }
  return unit;
}

// Code segments first, then ascending start, the longer first.
bool SegmentBefore(const TMfSegment& a, const TMfSegment& b) {
  if (a.Code != b.Code) return a.Code;
  if (a.StartAddress != b.StartAddress) return a.StartAddress < b.StartAddress;
  return a.Length > b.Length;
}

bool RemovePrefix(std::u16string& name, const std::u16string& unit) {
  if (unit.empty() || name.size() <= unit.size() || name[unit.size()] != u'.' || !StartsWithIgnoreCase(name, unit))
    return false;
  name.erase(0, unit.size() + 1);
  return true;
}

}  // namespace

void TMapFile::Clear() {
  FSItems.clear();
  FPItems.clear();
  FLItems.clear();
  FPKeys.clear();
  FLKeys.clear();
  FSKeys.clear();
  FSLastAdded[0] = FSLastAdded[1] = -1;
  FEntryPoint = 0;
  FValid = false;
}

void TMapFile::AdoptTables(TMapFile&& from) {
  FSItems = std::move(from.FSItems);
  FPItems = std::move(from.FPItems);
  FLItems = std::move(from.FLItems);
  FPKeys = std::move(from.FPKeys);
  FLKeys = std::move(from.FLKeys);
  FSKeys.clear();
  if (std::is_sorted(FSItems.begin(), FSItems.end(), SegmentBefore)) IndexSegments();
  if (from.FEntryPoint != 0) FEntryPoint = from.FEntryPoint;
  FSLastAdded[0] = FSLastAdded[1] = -1;
}

void TMapFile::AddSegment(bool code, Address start, std::uint32_t length, std::u16string unit, bool merge,
                          bool sortedInsert, bool lineNumbers) {
  if (FCodeOnly && !code) return;
  FSKeys.clear();
  unit = WithoutSourceExtension(std::move(unit));
  int& last = FSLastAdded[code ? 1 : 0];
  if (merge && last >= 0 && last < SegmentCount()) {
    TMfSegment& prev = FSItems[last];
    if (prev.Code == code && EqualsIgnoreCase(prev.Unit_, unit) && start >= prev.StartAddress && start <= prev.End() + 2) {
      const Address end = std::max(prev.End(), start + length);
      prev.Length = static_cast<std::uint32_t>(end - prev.StartAddress);
      prev.LineNumbers = prev.LineNumbers || lineNumbers;
      return;
    }
  }
  TMfSegment s{true, code, start, length, std::move(unit), lineNumbers};
  MakeRoom(FSItems);
  std::size_t at = FSItems.size();
  if (sortedInsert) {
    // Behind the last segment that sorts before the new one.
    at = 0;
    for (std::size_t i = FSItems.size(); i-- > 0;)
      if (SegmentBefore(FSItems[i], s)) {
        at = i + 1;
        break;
      }
    for (int& l : FSLastAdded)
      if (l >= static_cast<int>(at)) ++l;
  }
  FSItems.insert(FSItems.begin() + static_cast<std::ptrdiff_t>(at), std::move(s));
  last = static_cast<int>(at);
}

void TMapFile::ExtendForPublic(bool code, Address address, const std::u16string& unit) {
  // The segment of this kind that precedes the address grows up to it
  // (never past the next segment's start); a public of another unit then
  // opens a one-byte segment of its own.
  const int p = ProbeSearch(SegmentCount(), [&](int i) {
    const TMfSegment& s = FSItems[i];
    if (s.Code != code) return !s.Code ? code : false;
    return address < s.StartAddress;
  });
  const bool found = p >= 0 && FSItems[p].Code == code;
  const bool sameUnit = found && (unit.empty() || EqualsIgnoreCase(FSItems[p].Unit_, unit));
  if (found) {
    TMfSegment& prev = FSItems[p];
    Address end = sameUnit ? address + 1 : address;
    if (p + 1 < SegmentCount() && FSItems[p + 1].Code == code) end = std::min(end, FSItems[p + 1].StartAddress);
    if (end > prev.End()) prev.Length = static_cast<std::uint32_t>(end - prev.StartAddress);
    if (sameUnit) return;
  }
  AddSegment(code, address, 1, unit, true, true);
}

void TMapFile::AddPublic(bool code, std::u16string name, Address address, bool extendSegments) {
  if (FCodeOnly && !code) return;
  if (name.size() >= 5 && name.compare(0, 3, u"@$x") == 0 && name[4] == u'$') return;
  std::u16string readable, unit;
  UnmangleName(name, readable, unit);
  if (readable.compare(0, 2, u"@@") == 0) readable.erase(0, 2);
  if (extendSegments && SegmentIndex(code, address) < 0) ExtendForPublic(code, address, unit);
  const int si = SegmentIndex(code, address);
  if (si >= 0) {
    const std::u16string& segUnit = FSItems[si].Unit_;
    if (unit.empty() && RemovePrefix(readable, segUnit)) unit = segUnit;
    if (EqualsIgnoreCase(readable, segUnit)) readable = u"initialization";
    if (!unit.empty() && !EqualsIgnoreCase(unit, segUnit)) {
      readable = unit + u"." + readable;
      RemovePrefix(readable, segUnit);
    }
  }
  MakeRoom(FPItems);
  FPItems.push_back(TMfPublic{true, code, std::move(readable), address});
  FPKeys.push_back(address);
}

void TMapFile::AddLine(std::int32_t line, Address address, bool keepIncreasing) {
  if (keepIncreasing && !FLItems.empty() && address <= FLItems.back().Address) return;
  MakeRoom(FLItems);
  FLItems.push_back(TMfLine{line, address});
  FLKeys.push_back(address);
}

void TMapFile::ExtendLastSegmentTo(Address end) {
  for (std::size_t i = FSItems.size(); i-- > 0;)
    if (FSItems[i].Code) {
      TMfSegment& s = FSItems[i];
      if (end > s.End() && end - s.StartAddress <= 0xFFFFFFFFu) s.Length = static_cast<std::uint32_t>(end - s.StartAddress);
      return;
    }
}

void TMapFile::SortSegments() {
  std::stable_sort(FSItems.begin(), FSItems.end(), SegmentBefore);
  FSLastAdded[0] = FSLastAdded[1] = -1;
  IndexSegments();
}

void TMapFile::IndexSegments() {
  FSKeys.clear();
  FSKeys.reserve(FSItems.size());
  FSCodeCount = 0;
  for (const TMfSegment& s : FSItems) {
    FSKeys.push_back(s.StartAddress);
    FSCodeCount += s.Code ? 1 : 0;
  }
}

template <class T>
std::vector<Address> KeysOf(const std::vector<T>& items) {
  std::vector<Address> keys;
  keys.reserve(items.size());
  for (const T& item : items) keys.push_back(item.Address);
  return keys;
}

void TMapFile::SortPublics() {
  std::stable_sort(FPItems.begin(), FPItems.end(),
                   [](const TMfPublic& a, const TMfPublic& b) { return a.Address < b.Address; });
  FPKeys = KeysOf(FPItems);
}

void TMapFile::SortLines() {
  std::stable_sort(FLItems.begin(), FLItems.end(),
                   [](const TMfLine& a, const TMfLine& b) { return a.Address < b.Address; });
  FLKeys = KeysOf(FLItems);
}

void TMapFile::OptimiseSegments(bool trimOverlap) {
  std::size_t i = 0;
  while (i + 1 < FSItems.size()) {
    TMfSegment& a = FSItems[i];
    TMfSegment& b = FSItems[i + 1];
    if (a.Length == 0 || a.StartAddress == b.StartAddress) {
      FSItems.erase(FSItems.begin() + static_cast<std::ptrdiff_t>(i));
      continue;
    }
    if (a.Code == b.Code) {
      if (!trimOverlap || a.End() > b.StartAddress)
        a.Length = static_cast<std::uint32_t>(b.StartAddress - a.StartAddress);
      if (EqualsIgnoreCase(a.Unit_, b.Unit_)) {
        a.Length = static_cast<std::uint32_t>(std::max(a.End(), b.End()) - a.StartAddress);
        a.LineNumbers = a.LineNumbers || b.LineNumbers;
        FSItems.erase(FSItems.begin() + static_cast<std::ptrdiff_t>(i + 1));
        continue;
      }
    }
    ++i;
  }
  FSLastAdded[0] = FSLastAdded[1] = -1;
  FSKeys.clear();
  if (std::is_sorted(FSItems.begin(), FSItems.end(), SegmentBefore)) IndexSegments();
}

int TMapFile::SegmentIndex(bool code, Address address) const {
  if (!FSKeys.empty() && FSKeys.size() == FSItems.size()) {
    // Code segments first, then data, each block by start.
    const auto first = FSKeys.begin() + (code ? 0 : FSCodeCount);
    const auto last = code ? FSKeys.begin() + FSCodeCount : FSKeys.end();
    const auto after = std::upper_bound(first, last, address);
    if (after == first) return -1;
    const int p = static_cast<int>(after - FSKeys.begin()) - 1;
    const TMfSegment& s = FSItems[p];
    return address - s.StartAddress >= s.Length ? -1 : p;
  }
  // Data sorts behind all code; the key is (kind, address).
  const int p = ProbeSearch(SegmentCount(), [&](int i) {
    const TMfSegment& s = FSItems[i];
    if (s.Code != code) return !s.Code ? code : false;
    return address < s.StartAddress;
  });
  if (p < 0) return -1;
  const TMfSegment& s = FSItems[p];
  if (s.Code != code || address < s.StartAddress || address - s.StartAddress >= s.Length) return -1;
  return p;
}

TMfSegment TMapFile::FindSegment(bool code, Address address) const {
  const int i = SegmentIndex(code, address);
  return i < 0 ? TMfSegment{} : FSItems[i];
}

TMfSegment TMapFile::FindSegment(int index) const {
  return index >= 0 && index < SegmentCount() ? FSItems[index] : TMfSegment{};
}

const TMfPublic& TMapFile::FindPublic(int index) const {
  static const TMfPublic kNone;
  return index >= 0 && index < PublicCount() ? FPItems[index] : kNone;
}

int LastNotAfter(const std::vector<Address>& keys, Address key) {
  return static_cast<int>(std::upper_bound(keys.begin(), keys.end(), key) - keys.begin()) - 1;
}

int TMapFile::PublicIndexAt(Address address) const {
  const int p = LastNotAfter(FPKeys, address);
  if (p < 0) return -1;
  if (p == PublicCount() - 1 && FTopOfCode != 0 && address >= FTopOfCode) return -1;
  return p;
}

const TMfPublic& TMapFile::FindPublic(Address address) const { return FindPublic(PublicIndexAt(address)); }

Address TMapFile::FindPublic(bool code, const std::u16string& unit_, const std::u16string& name,
                             bool caseSensitive) const {
  auto search = [&](const std::u16string& unit) -> Address {
    for (const TMfPublic& p : FPItems) {
      if (p.Code != code || !(caseSensitive ? p.Name == name : EqualsIgnoreCase(p.Name, name))) continue;
      for (const TMfSegment& s : FSItems)
        if (s.Code == code && p.Address >= s.StartAddress && p.Address <= s.End() && EqualsIgnoreCase(s.Unit_, unit))
          return p.Address;
    }
    return 0;
  };
  if (Address a = search(unit_)) return a;
  if (unit_.find(u'.') == std::u16string::npos)
    for (const char16_t* ext : {u".cpp", u".h", u".c"})
      if (Address a = search(unit_ + ext)) return a;
  return 0;
}

Address TMapFile::FindAddress(const std::u16string& segment, const std::u16string& public_) const {
  for (const TMfSegment& s : FSItems) {
    if (!EqualsIgnoreCase(s.Unit_, segment)) continue;
    for (const TMfPublic& p : FPItems)
      if (p.Code == s.Code && p.Address >= s.StartAddress && p.Address < s.End() && EqualsIgnoreCase(p.Name, public_))
        return p.Address;
  }
  return 0;
}

std::int32_t TMapFile::FindLine(Address address) const {
  Address next = 0;
  return FindLine(address, next);
}

std::int32_t TMapFile::FindLine(Address address, Address& next) const {
  next = address + 1;
  const int si = SegmentIndex(true, address);
  if (FLItems.empty()) return si >= 0 && FSItems[si].LineNumbers ? -1 : 0;
  const int p = LastNotAfter(FLKeys, address);
  if (p < 0 || si < 0) return 0;
  const TMfSegment& s = FSItems[si];
  const TMfLine& l = FLItems[p];
  if (l.Address < s.StartAddress || l.Address >= s.End()) return 0;
  if (p + 1 < LineCount()) next = FLItems[p + 1].Address;
  return l.Line;
}

}  // namespace ruvex
