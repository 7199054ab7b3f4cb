#include "tools/symbols/SymbolInput.h"

#include <cxxabi.h>

#include <algorithm>
#include <cstdlib>
#include <map>

#include "common/text/Utf.h"
#include "reporter/engines/pe/headers/PeImage.h"
#include "common/text/FileNames.h"

namespace ruvex::symbols {

namespace {

std::vector<std::string_view> Lines(std::string_view text) {
  std::vector<std::string_view> out;
  std::size_t pos = 0;
  while (pos < text.size()) {
    std::size_t end = text.find('\n', pos);
    if (end == std::string_view::npos) end = text.size();
    std::string_view line = text.substr(pos, end - pos);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    out.push_back(line);
    pos = end + 1;
  }
  return out;
}

std::vector<std::string_view> Fields(std::string_view line) {
  std::vector<std::string_view> out;
  std::size_t i = 0;
  while (i < line.size()) {
    while (i < line.size() && (line[i] == ' ' || line[i] == '\t')) ++i;
    const std::size_t start = i;
    while (i < line.size() && line[i] != ' ' && line[i] != '\t') ++i;
    if (i > start) out.push_back(line.substr(start, i - start));
  }
  return out;
}

// The number behind "(key" in an objdump -t line, e.g. "(sec  1)".
std::optional<long> Tagged(std::string_view line, std::string_view key, int base) {
  const std::size_t at = line.find(key);
  if (at == std::string_view::npos) return std::nullopt;
  const std::string rest(line.substr(at + key.size(), 16));
  char* end = nullptr;
  const long v = std::strtol(rest.c_str(), &end, base);
  if (end == rest.c_str()) return std::nullopt;
  return v;
}

// The full name of a file record: the unit of a line sequence that holds one
// of the record's functions and whose name extends the record.
std::string FullUnitName(const std::string& record, const std::vector<Address>& functions,
                         const std::vector<TLineUnit>& lineUnits) {
  for (Address a : functions) {
    auto it = std::upper_bound(lineUnits.begin(), lineUnits.end(), a,
                               [](Address x, const TLineUnit& u) { return x < u.start; });
    if (it == lineUnits.begin() || a >= std::prev(it)->end) continue;
    const std::string& name = std::prev(it)->name;
    if (name.size() > record.size() && name.compare(0, record.size(), record) == 0) return name;
  }
  return record;
}

}  // namespace

std::vector<TLineUnit> LineUnits(std::string_view decodedLines) {
  std::vector<TLineUnit> out;
  std::string unit;
  std::string_view lastTitle;  // "path:" before a file switch or a unit's table
  Address sequenceStart = 0;
  bool inSequence = false;
  for (std::string_view line : Lines(decodedLines)) {
    if (line.compare(0, 9, "File name") == 0) {  // the column titles open a unit's table
      std::string_view title = lastTitle;
      if (title.compare(0, 4, "CU: ") == 0) title.remove_prefix(4);
      unit = kelvane::FileNameOf(std::string_view(title));
      inSequence = false;
      continue;
    }
    if (!line.empty() && line[0] != ' ' && line.back() == ':') {
      lastTitle = line.substr(0, line.size() - 1);
      continue;
    }
    const std::vector<std::string_view> f = Fields(line);
    if (f.size() < 3 || f[2].substr(0, 2) != "0x" || unit.empty()) continue;
    const Address address = std::strtoull(std::string(f[2]).c_str(), nullptr, 16);
    if (!inSequence) {
      sequenceStart = address;
      inSequence = true;
    }
    if (f[1] == "-") {  // the end of a sequence
      if (address > sequenceStart) out.push_back({sequenceStart, address, unit});
      inSequence = false;
    }
  }
  std::sort(out.begin(), out.end(), [](const TLineUnit& a, const TLineUnit& b) { return a.start < b.start; });
  return out;
}

std::string ReadableName(std::string name, bool i386) {
  if (i386) {
    if (!name.empty() && (name[0] == '_' || name[0] == '@')) name.erase(0, 1);
    const std::size_t at = name.rfind('@');
    if (at != std::string::npos && at + 1 < name.size() &&
        name.find_first_not_of("0123456789", at + 1) == std::string::npos)
      name.resize(at);  // "@8": the bytes of arguments of stdcall and fastcall
  }
  if (name.compare(0, 2, "_Z") == 0) {
    int status = 0;
    char* demangled = abi::__cxa_demangle(name.c_str(), nullptr, nullptr, &status);
    if (status == 0 && demangled) name = demangled;
    std::free(demangled);
  }
  return name;
}

std::optional<TImageLayout> ReadImageLayout(std::string_view file) {
  const TBufferMemory memory(0, std::vector<std::uint8_t>(file.begin(), file.end()), false);
  const std::optional<TNtHeaders> headers = ImageNtHeaders(memory, 0);
  if (!headers) return std::nullopt;
  TImageLayout layout;
  layout.i386 = headers->machine == kMachineI386;
  layout.imageBase = headers->imageBase;
  for (const TSectionHeader& s : headers->sections) {
    layout.sections.push_back(headers->imageBase + s.virtualAddress);
    layout.codeSections.push_back((s.characteristics & kSectionCode) != 0);
  }
  TNtHeaders atBase = *headers;
  layout.ranges = ModuleRanges(memory, atBase);
  // Ranges at the image base, where the symbol tools place addresses.
  layout.ranges.baseOfCode += headers->imageBase;
  layout.ranges.topOfCode += headers->imageBase;
  layout.ranges.baseOfData += headers->imageBase;
  layout.ranges.topOfData += headers->imageBase;
  if (layout.ranges.entryPoint) layout.ranges.entryPoint += headers->imageBase;
  return layout;
}

int AddObjdumpSymbols(std::string_view text, const TImageLayout& layout, TMapFile& map,
                      const std::vector<TLineUnit>& lineUnits) {
  struct Function {
    Address address;
    std::size_t record;  // index into records, or npos before the first
    std::string name;
  };
  struct Record {
    std::string unit;
    std::vector<Address> functions;
  };
  std::vector<Function> functions;
  std::vector<Record> records;
  for (std::string_view line : Lines(text)) {
    if (line.empty() || line[0] != '[') continue;
    const auto sec = Tagged(line, "(sec", 10);
    const auto type = Tagged(line, "(ty", 16);
    const auto storage = Tagged(line, "(scl", 10);
    const std::size_t aux = line.find("(nx");
    const std::size_t hex = aux == std::string_view::npos ? aux : line.find(" 0x", aux);
    if (!sec || !type || !storage || hex == std::string_view::npos) continue;
    const std::size_t nameAt = line.find(' ', hex + 1);
    if (nameAt == std::string_view::npos) continue;
    const std::string_view name = line.substr(nameAt + 1);
    if (*storage == 103) {  // a ".file" entry opens the next source file
      records.push_back({kelvane::FileNameOf(std::string_view(name)), {}});
      continue;
    }
    if (*type != 0x20 || *sec < 1 || static_cast<std::size_t>(*sec) > layout.sections.size() ||
        !layout.codeSections[*sec - 1])
      continue;
    const Address offset = std::strtoull(std::string(line.substr(hex + 1, nameAt - hex - 1)).c_str(), nullptr, 16);
    const Address address = layout.sections[*sec - 1] + offset;
    const std::size_t record = records.empty() ? std::string::npos : records.size() - 1;
    if (!records.empty()) records.back().functions.push_back(address);
    functions.push_back({address, record, ReadableName(std::string(name), layout.i386)});
  }
  for (Record& r : records) r.unit = FullUnitName(r.unit, r.functions, lineUnits);
  auto unitOf = [&](const Function& f) { return f.record == std::string::npos ? std::string() : records[f.record].unit; };
  std::stable_sort(functions.begin(), functions.end(),
                   [](const Function& a, const Function& b) { return a.address < b.address; });
  const Address top = layout.ranges.topOfCode;
  for (std::size_t i = 0; i < functions.size(); ++i) {
    const Address end = i + 1 < functions.size() ? functions[i + 1].address : std::max(top, functions[i].address + 1);
    const std::string unit = unitOf(functions[i]);
    if (!unit.empty())
      map.AddSegment(true, functions[i].address, static_cast<std::uint32_t>(end - functions[i].address),
                     kelvane::Utf8ToUtf16(unit), true);
  }
  map.SortSegments();
  for (const Function& f : functions) map.AddPublic(true, kelvane::Utf8ToUtf16(f.name), f.address);
  map.SortPublics();
  return static_cast<int>(functions.size());
}

int AddDecodedLines(std::string_view text, const TImageLayout& layout, TMapFile& map) {
  std::map<Address, std::int32_t> rows;  // the last row at an address holds
  for (std::string_view line : Lines(text)) {
    const std::vector<std::string_view> f = Fields(line);
    if (f.size() < 3 || f[2].substr(0, 2) != "0x") continue;
    const bool endOfSequence = f[1] == "-";
    if (!endOfSequence && (f[1].find_first_not_of("0123456789") != std::string_view::npos || f[1].size() > 9))
      continue;
    const Address address = std::strtoull(std::string(f[2]).c_str(), nullptr, 16);
    if (address < layout.ranges.baseOfCode || address >= layout.ranges.topOfCode) continue;
    // Behind the end of a sequence (padding between functions) no source
    // line holds: a record of line 0, unless a sequence starts right there.
    if (endOfSequence)
      rows.emplace(address, 0);
    else
      rows[address] = static_cast<std::int32_t>(std::strtol(std::string(f[1]).c_str(), nullptr, 10));
  }
  for (const auto& [address, number] : rows) map.AddLine(number, address);
  return static_cast<int>(rows.size());
}

}  // namespace ruvex::symbols
