#include "reporter/engines/pe/exports/Exports.h"

#include <algorithm>
#include <array>

#include "reporter/engines/pe/exports/Unmangle.h"
#include "common/text/FileNames.h"

namespace ruvex {

using kelvane::FileNameOf;
namespace {

constexpr std::size_t kMaxExportNameLength = 4096;
constexpr std::size_t kMaxForwarderLength = 512;

template <class T>
bool ReadTable(const IMemoryReader& memory, Address address, std::uint32_t count, std::vector<T>& out) {
  out.resize(count);
  return count == 0 || memory.Read(address, out.data(), std::size_t{count} * sizeof(T));
}

// The three tables of the directory, read in one go each.
struct TExportTables {
  std::vector<std::uint32_t> functions;
  std::vector<std::uint32_t> names;
  std::vector<std::uint16_t> nameOrdinals;
};

std::optional<TExportTables> ReadTables(const IMemoryReader& memory, const TExportDirectory& dir) {
  TExportTables t;
  if (!ReadTable(memory, dir.module + dir.addressOfFunctions, dir.numberOfFunctions, t.functions) ||
      !ReadTable(memory, dir.module + dir.addressOfNames, dir.numberOfNames, t.names) ||
      !ReadTable(memory, dir.module + dir.addressOfNameOrdinals, dir.numberOfNames, t.nameOrdinals))
    return std::nullopt;
  return t;
}

std::u16string Widen(const std::string& s) {
  std::u16string out;
  out.reserve(s.size());
  for (unsigned char c : s) out.push_back(c);
  return out;
}

char FoldAscii(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

bool SameTextIgnoringCase(const std::string& a, const std::string& b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(),
                                            [](char x, char y) { return FoldAscii(x) == FoldAscii(y); });
}

// "C:\\dir\\NTDLL.dll" -> "NTDLL"; forwarders name modules without folder
// and usually without extension.
std::string ModuleStem(const std::u16string& fileName) {
  std::string out;
  for (const char16_t c : FileNameOf(fileName)) out.push_back(c < 128 ? static_cast<char>(c) : '?');
  return out;
}

std::optional<ModuleEntry> FindLoadedModule(const IModuleList& modules, const std::string& wanted) {
  for (const ModuleEntry& m : modules.Modules()) {
    const std::string file = ModuleStem(m.fileName);
    const std::size_t dot = file.rfind('.');
    const std::string stem = dot == std::string::npos ? file : file.substr(0, dot);
    if (SameTextIgnoringCase(file, wanted) || SameTextIgnoringCase(stem, wanted)) return m;
  }
  return std::nullopt;
}

std::optional<std::uint32_t> ParseOrdinal(const std::string& text) {
  if (text.size() < 2 || text[0] != '#' || text.size() > 6) return std::nullopt;
  std::uint32_t v = 0;
  for (std::size_t i = 1; i < text.size(); ++i) {
    if (text[i] < '0' || text[i] > '9') return std::nullopt;
    v = v * 10 + static_cast<std::uint32_t>(text[i] - '0');
  }
  return v;
}

std::optional<Address> Resolve(const IMemoryReader& memory, const IModuleList& modules, Address module,
                               std::uint32_t rva, int depth) {
  const auto dir = ReadExportDirectory(memory, module);
  if (!dir || !dir->IsForwarder(rva)) return module + rva;
  if (depth >= kMaxForwarderChain) return std::nullopt;

  const auto text = ReadCString(memory, module + rva, kMaxForwarderLength);
  if (!text) return std::nullopt;
  // Split at the first "." whose module part names a loaded module, so
  // that module names holding a dot ("krnl386.exe16.Name") resolve too.
  for (std::size_t dot = text->find('.'); dot != std::string::npos; dot = text->find('.', dot + 1)) {
    if (dot == 0) continue;
    const auto target = FindLoadedModule(modules, text->substr(0, dot));
    if (!target) continue;
    if (target->base == module) return std::nullopt;
    const auto entry = ExportEntryByName(memory, target->base, text->substr(dot + 1));
    if (!entry) return std::nullopt;
    return Resolve(memory, modules, target->base, *entry, depth + 1);
  }
  return std::nullopt;
}

// Compares a stored name with `wanted` in one read of its length plus the
// terminator; a read that fails there falls back to the bounded reader.
bool NameEquals(const IMemoryReader& memory, Address address, const std::string& wanted) {
  char buffer[256];
  if (wanted.size() < sizeof buffer) {
    if (memory.Read(address, buffer, wanted.size() + 1))
      return buffer[wanted.size()] == 0 && std::memcmp(buffer, wanted.data(), wanted.size()) == 0;
  }
  const auto stored = ReadCString(memory, address, kMaxExportNameLength);
  return stored && *stored == wanted;
}

bool SameDirectoryLayout(const TExportDirectory& a, const TExportDirectory& b) {
  return a.rva == b.rva && a.addressOfNames == b.addressOfNames && a.addressOfFunctions == b.addressOfFunctions &&
         a.sizeOfImage == b.sizeOfImage;
}

}  // namespace

std::optional<TExportDirectory> ReadExportDirectory(const IMemoryReader& memory, Address module) {
  const auto headers = ImageNtHeaders(memory, module);
  if (!headers) return std::nullopt;
  const auto entry = ReadDataDirectory(memory, *headers, kDirExport);
  if (!entry || entry->rva == 0 || entry->size == 0) return std::nullopt;

  std::array<std::uint32_t, 10> raw{};
  if (!memory.Read(module + entry->rva, raw.data(), sizeof raw)) return std::nullopt;
  TExportDirectory dir;
  dir.module = module;
  dir.rva = entry->rva;
  dir.size = entry->size;
  dir.ordinalBase = raw[4];
  dir.numberOfFunctions = std::min(raw[5], kMaxExportEntries);
  dir.numberOfNames = std::min(raw[6], kMaxExportEntries);
  dir.addressOfFunctions = raw[7];
  dir.addressOfNames = raw[8];
  dir.addressOfNameOrdinals = raw[9];
  dir.sizeOfImage = headers->sizeOfImage;
  return dir;
}

std::vector<TExport> ListExports(const IMemoryReader& memory, Address module) {
  std::vector<TExport> out;
  const auto dir = ReadExportDirectory(memory, module);
  if (!dir) return out;
  const auto tables = ReadTables(memory, *dir);
  if (!tables) return out;

  std::vector<std::string> names(dir->numberOfFunctions);
  for (std::uint32_t i = 0; i < dir->numberOfNames; ++i) {
    const std::uint16_t index = tables->nameOrdinals[i];
    if (index >= names.size() || !names[index].empty()) continue;
    if (auto name = ReadCString(memory, module + tables->names[i], kMaxExportNameLength)) names[index] = *name;
  }
  for (std::uint32_t i = 0; i < dir->numberOfFunctions; ++i) {
    const std::uint32_t rva = tables->functions[i];
    if (rva == 0) continue;
    TExport e{dir->ordinalBase + i, rva, names[i], {}};
    if (dir->IsForwarder(rva))
      if (auto text = ReadCString(memory, module + rva, kMaxForwarderLength)) e.forwarder = *text;
    out.push_back(std::move(e));
  }
  return out;
}

std::u16string ExportName(const IMemoryReader& memory, Address module, Address address, bool unmangle) {
  const auto dir = ReadExportDirectory(memory, module);
  if (!dir || address < module) return {};
  const auto tables = ReadTables(memory, *dir);
  if (!tables) return {};

  const Address rva = address - module;
  const auto at = std::find(tables->functions.begin(), tables->functions.end(), rva);
  if (rva == 0 || at == tables->functions.end()) return {};
  const std::uint32_t index = static_cast<std::uint32_t>(at - tables->functions.begin());

  for (std::uint32_t i = 0; i < dir->numberOfNames; ++i) {
    if (tables->nameOrdinals[i] != index) continue;
    const auto name = ReadCString(memory, module + tables->names[i], kMaxExportNameLength);
    if (!name) break;
    std::u16string text = Widen(*name);
    if (!unmangle) return text;
    std::u16string readable, unit;
    if (!UnmangleName(text, readable, unit)) return text;
    return unit.empty() ? readable : unit + u"." + readable;
  }
  return u"#" + Widen(std::to_string(std::uint64_t{dir->ordinalBase} + index));
}

std::optional<std::uint32_t> ExportEntryByName(const IMemoryReader& memory, Address module, const std::string& name) {
  const auto dir = ReadExportDirectory(memory, module);
  if (!dir) return std::nullopt;
  const auto tables = ReadTables(memory, *dir);
  if (!tables) return std::nullopt;

  if (const auto ordinal = ParseOrdinal(name)) {
    if (*ordinal < dir->ordinalBase || *ordinal - dir->ordinalBase >= dir->numberOfFunctions) return std::nullopt;
    const std::uint32_t entry = tables->functions[*ordinal - dir->ordinalBase];
    return entry != 0 ? std::optional<std::uint32_t>(entry) : std::nullopt;
  }
  auto entryOfName = [&](std::uint32_t i) -> std::optional<std::uint32_t> {
    const std::uint16_t index = tables->nameOrdinals[i];
    if (index >= dir->numberOfFunctions) return std::nullopt;
    return tables->functions[index];
  };
  // Linkers sort the name table (the loader relies on it), so a binary
  // search finds the name in a few reads; of equal names the first counts.
  // What the search misses, say in a table that is not sorted, the walk
  // from the start below still finds.
  std::uint32_t low = 0, high = dir->numberOfNames;
  while (low < high) {
    const std::uint32_t mid = low + (high - low) / 2;
    const auto stored = ReadCString(memory, module + tables->names[mid], kMaxExportNameLength);
    if (!stored) break;
    const int order = stored->compare(name);
    if (order == 0) {
      std::uint32_t first = mid;
      while (first > 0 && NameEquals(memory, module + tables->names[first - 1], name)) --first;
      return entryOfName(first);
    }
    if (order < 0)
      low = mid + 1;
    else
      high = mid;
  }
  for (std::uint32_t i = 0; i < dir->numberOfNames; ++i)
    if (NameEquals(memory, module + tables->names[i], name)) return entryOfName(i);
  return std::nullopt;
}

std::optional<Address> ResolveExport(const IMemoryReader& memory, const IModuleList& modules, Address module,
                                     std::uint32_t rva) {
  return Resolve(memory, modules, module, rva, 0);
}

std::optional<Address> ImageProcAddress(const IMemoryReader& memory, const IModuleList& modules, Address module,
                                        const std::string& name, bool doubleCheck, const TProcAddressHooks& hooks) {
  const auto dir = ReadExportDirectory(memory, module);
  std::optional<std::uint32_t> entry = dir ? ExportEntryByName(memory, module, name) : std::nullopt;
  if (!entry) return hooks.systemLookup ? hooks.systemLookup(module, name) : std::nullopt;

  if (doubleCheck || *entry >= dir->sizeOfImage) {
    std::optional<std::uint32_t> confirmed;
    if (hooks.verify) confirmed = hooks.verify(module, name, *entry);
    if (!confirmed && hooks.mapFile) {
      if (const std::unique_ptr<IMemoryReader> file = hooks.mapFile(module)) {
        const auto fileDir = ReadExportDirectory(*file, module);
        if (fileDir && SameDirectoryLayout(*dir, *fileDir)) confirmed = ExportEntryByName(*file, module, name);
      }
    }
    if (confirmed) entry = confirmed;
  }
  if (auto address = ResolveExport(memory, modules, module, *entry)) return address;
  return hooks.systemLookup ? hooks.systemLookup(module, name) : std::nullopt;
}

std::optional<ModuleEntry> ModuleOfAddress(const IMemoryReader& memory, const IModuleList& modules, Address address) {
  const auto region = memory.RegionAt(address);
  if (!region) return std::nullopt;
  for (ModuleEntry m : modules.Modules()) {
    if (m.base != region->allocationBase) continue;
    if (m.fileName.size() > 260) m.fileName.resize(260);
    return m;
  }
  return std::nullopt;
}

}  // namespace ruvex
