#pragma once
// The symbol information of one module: three sorted tables of units
// (segments), public symbols and source lines, whatever debug information
// they came from, and the lookups the stack tracer and the disassembler make.
//
// The readers of the individual sources fill the tables through AddSegment,
// AddPublic and AddLine and then sort and optimise; lookups rely on the order
// (segments: code first, then by start, longer first for equal starts;
// publics and lines by address).
#include <cstdint>
#include <string>
#include <vector>

#include "reporter/engines/memory/MemoryReader.h"

namespace ruvex {

struct TMfSegment {
  bool IsValid = false;
  bool Code = false;
  ruvex::Address StartAddress = 0;
  std::uint32_t Length = 0;
  std::u16string Unit_;
  bool LineNumbers = false;  // the unit has line information, kept elsewhere

  ruvex::Address End() const { return StartAddress + Length; }
};

struct TMfPublic {
  bool IsValid = false;
  bool Code = false;
  std::u16string Name;
  ruvex::Address Address = 0;
};

struct TMfLine {
  std::int32_t Line = 0;
  ruvex::Address Address = 0;
};

class TMapFile {
 public:
  explicit TMapFile(bool codeOnly = true) : FCodeOnly(codeOnly) {}

  // --- filled by the readers ---------------------------------------------
  // merge: extend the last segment added of the same kind when it has the
  // same unit and the new one starts within it or up to 2 bytes behind it.
  // sortedInsert: insert behind the last segment that sorts before it.
  void AddSegment(bool code, Address start, std::uint32_t length, std::u16string unit, bool merge = false,
                  bool sortedInsert = false, bool lineNumbers = false);
  // extendSegments: a public outside every segment stretches the last
  // segment of its kind or opens a one-byte segment for its unit.
  void AddPublic(bool code, std::u16string name, Address address, bool extendSegments = false);
  void AddLine(std::int32_t line, Address address, bool keepIncreasing = false);

  // The last code segment grows (never shrinks) to end at `end`.
  void ExtendLastSegmentTo(Address end);
  void SortSegments();
  void OptimiseSegments(bool trimOverlap = false);
  void SortPublics();
  void SortLines();
  void Clear();
  // Takes the three tables (and the entry point, when known) of a map that
  // a reader filled on the side, replacing these.
  void AdoptTables(TMapFile&& from);

  void SetValid(bool valid) { FValid = valid; }
  void SetCodeRange(Address base, Address top) { FBaseOfCode = base, FTopOfCode = top; }
  void SetDataRange(Address base, Address top) { FBaseOfData = base, FTopOfData = top; }
  void SetEntryPoint(Address entry) { FEntryPoint = entry; }
  void SetModule(Address hInstance, std::u16string moduleFileName) {
    FHInstance = hInstance;
    FModuleFileName = moduleFileName;
    FMapFileName = std::move(moduleFileName);
  }
  void SetMinDebugInfo(std::string fingerprint) { FMinDebugInfo = std::move(fingerprint); }
  void SetCorrectBase(std::uint32_t rva) { FCorrectBase = rva; }

  // --- lookups -------------------------------------------------------------
  // The segment of kind `code` with start <= address < start + length.
  TMfSegment FindSegment(bool code, Address address) const;
  TMfSegment FindSegment(int index) const;
  // The records stay owned by the map: a lookup copies no name.
  const TMfPublic& FindPublic(int index) const;
  // The public with the greatest address not above `address`; the last one
  // only when the address is below the top of code (when known).
  const TMfPublic& FindPublic(Address address) const;
  // The index FindPublic(address) takes, or -1: the search without copying
  // the record.
  int PublicIndexAt(Address address) const;
  // The address of the public called `name` inside a segment of unit
  // `unit_`; 0 when there is none. A unit without "." is also tried with
  // ".cpp", ".h" and ".c".
  Address FindPublic(bool code, const std::u16string& unit_, const std::u16string& name, bool caseSensitive) const;
  // 0 when unknown; -1 when the table has no lines but the code segment of
  // the address says it has some. `next` gets the address of the following
  // line entry, or address + 1.
  std::int32_t FindLine(Address address) const;
  std::int32_t FindLine(Address address, Address& next) const;
  // The address of public `public_` in a segment of unit `segment`, or 0.
  Address FindAddress(const std::u16string& segment, const std::u16string& public_) const;

  bool IsValid() const { return FValid; }
  bool CodeOnly() const { return FCodeOnly; }
  const std::string& MinDebugInfo() const { return FMinDebugInfo; }
  Address EntryPoint() const { return FEntryPoint; }
  Address BaseOfCode() const { return FBaseOfCode; }
  Address TopOfCode() const { return FTopOfCode; }
  Address BaseOfData() const { return FBaseOfData; }
  Address TopOfData() const { return FTopOfData; }
  Address HInstance() const { return FHInstance; }
  std::uint32_t CorrectBase() const { return FCorrectBase; }
  const std::u16string& ModuleFileName() const { return FModuleFileName; }
  const std::u16string& MapFileName() const { return FMapFileName; }

  int SegmentCount() const { return static_cast<int>(FSItems.size()); }
  int PublicCount() const { return static_cast<int>(FPItems.size()); }
  int LineCount() const { return static_cast<int>(FLItems.size()); }
  const std::vector<TMfSegment>& Segments() const { return FSItems; }
  const std::vector<TMfPublic>& Publics() const { return FPItems; }
  const std::vector<TMfLine>& Lines() const { return FLItems; }

 private:
  int SegmentIndex(bool code, Address address) const;
  void ExtendForPublic(bool code, Address address, const std::u16string& unit);

  bool FCodeOnly;
  std::vector<TMfSegment> FSItems;
  std::vector<TMfPublic> FPItems;
  std::vector<TMfLine> FLItems;
  // The addresses of FPItems and FLItems, index for index: the searches run
  // over these packed keys instead of the wide records.
  std::vector<Address> FPKeys;
  std::vector<Address> FLKeys;
  // The starts of FSItems while the table is sorted (code first), with the
  // count of code segments; empty while segments are being added.
  std::vector<Address> FSKeys;
  int FSCodeCount = 0;
  void IndexSegments();
  Address FEntryPoint = 0;
  Address FBaseOfData = 0, FTopOfData = 0;
  Address FHInstance = 0;
  bool FValid = false;
  Address FBaseOfCode = 0, FTopOfCode = 0;
  std::u16string FModuleFileName;
  std::u16string FMapFileName;
  std::string FMinDebugInfo;
  int FSLastAdded[2] = {-1, -1};  // by kind: [0] data, [1] code
  std::uint32_t FCorrectBase = 0;
};

// The index of the last of the sorted `keys` not after `key`, or -1: the
// result of the probing search below, found by a plain binary search over
// packed keys.
int LastNotAfter(const std::vector<Address>& keys, Address key);

// The probing search the lookups share, over `count` sorted entries:
// position count div 2 and step (position + 2) div 2, down by the step when
// `before(p)` (the key sorts before entry p), else up, the step halved
// (rounding up) after every probe and one more probe after the first with
// step 1. Returns the index of the last entry not after the key, or -1.
template <class Before>
int ProbeSearch(int count, Before before) {
  if (count <= 0) return -1;
  int p = count / 2;
  int s = (p + 2) / 2;
  bool lastRound = false;
  for (;;) {
    if (before(p))
      p = p - s < 0 ? 0 : p - s;
    else
      p = p + s > count - 1 ? count - 1 : p + s;
    if (s == 1) {
      if (lastRound) break;
      lastRound = true;
    }
    s = (s + 1) / 2;
  }
  // The probes end next to the answer; settle on it exactly.
  while (p >= 0 && before(p)) --p;
  while (p + 1 < count && !before(p + 1)) ++p;
  return p;
}


}  // namespace ruvex
