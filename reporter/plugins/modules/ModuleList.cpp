#include "reporter/plugins/modules/ModuleList.h"

#include "common/text/FileNames.h"
#include "reporter/plugins/lists/ListText.h"

namespace ruvex {

std::vector<Address> CandidateModuleBases(const IModuleListSystem& system) {
  std::vector<Address> bases;
  bases.reserve(32);
  std::optional<Address> previousAllocation;
  Address address = 0;
  while (auto region = system.Query(address)) {
    if (region->committed && region->allocationBase == region->base && previousAllocation != region->allocationBase)
      bases.push_back(region->base);
    previousAllocation = region->allocationBase;
    // A region that does not move the walk forward (or wraps it) ends it,
    // rather than looping for ever.
    const Address next = region->base + region->size;
    if (region->size == 0 || next <= address) break;
    address = next;
  }
  return bases;
}

std::u16string LongPathForm(std::u16string_view path, const IModuleListSystem& system) {
  std::u16string out;
  std::size_t start = 0;
  while (start <= path.size()) {
    std::size_t end = path.find(u'\\', start);
    if (end == std::u16string_view::npos) end = path.size();
    const std::u16string_view component = path.substr(start, end - start);
    std::u16string piece(component);
    const bool shortName = component.find(u'~') != std::u16string_view::npos &&
                           component.find_first_of(u"*?") == std::u16string_view::npos;
    if (shortName)
      if (auto longName = system.LongComponentName(out + piece)) piece = *longName;
    out += piece;
    if (end == path.size()) break;
    out += u'\\';
    start = end + 1;
  }
  return out;
}

std::vector<TModuleRow> GatherModules(const IModuleListSystem& system) {
  std::vector<TModuleRow> rows;
  rows.reserve(32);
  for (Address base : CandidateModuleBases(system)) {
    const auto fileName = system.ModuleFileName(base);
    if (!fileName || fileName->empty()) continue;
    const std::u16string path = LongPathForm(*fileName, system);
    rows.push_back({base, kelvane::FileNameOf(path), system.FileVersion(path), kelvane::FolderOf(path)});
  }
  return rows;
}

std::u16string FormatModuleList(const std::vector<TModuleRow>& rows, unsigned addressDigits) {
  std::vector<std::u16string> names, versions;
  for (const auto& row : rows) {
    names.push_back(row.name);
    versions.push_back(row.version);
  }
  const std::size_t nameWidth = ColumnWidth(names), versionWidth = ColumnWidth(versions);
  std::vector<std::u16string> lines;
  for (const auto& row : rows)
    lines.push_back(HexColumn(row.base, addressDigits) + u" " + Column(row.name, nameWidth) +
                    Column(row.version, versionWidth) + row.directory);
  return JoinLines(lines);
}

}  // namespace ruvex
