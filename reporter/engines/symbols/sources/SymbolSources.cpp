#include "reporter/engines/symbols/sources/SymbolSources.h"
#include "common/text/Windows1252.h"

#include <optional>

#include "reporter/engines/symbols/readers/CompactSymbols.h"
#include "reporter/engines/symbols/sources/DebugHelp.h"
#include "reporter/engines/symbols/readers/Jdbg.h"
#include "reporter/engines/pe/headers/ModuleRanges.h"
#include "reporter/engines/pe/headers/PeImage.h"
#include "reporter/engines/pe/resources/Resources.h"
#include "reporter/engines/symbols/readers/Td32.h"
#include "reporter/engines/symbols/readers/TextMap.h"

namespace ruvex {

using kelvane::EqualsIgnoreCase;

namespace {

class TSourceSearch {
 public:
  TSourceSearch(TMapFile& map, const TSymbolEnvironment& env, Address module, const std::u16string& path,
                const TSymbolSourceOptions& options)
      : map_(map), env_(env), module_(module), path_(path), options_(options) {}

  bool Run() {
    const bool all = !options_.onlyCompactFiles;
    return EmbeddedCompact() || (all && ImageTd32()) || (all && ProgramDatabase()) || (all && TextMap()) ||
           CompactFile(map_.MinDebugInfo()) || (all && Jdbg()) || (all && ExternalTd32());
  }

 private:
  std::optional<std::string> Sibling(const char16_t* extension) {
    return kelvane::ReadWholeFile(env_.files, SiblingPath(path_, extension), kMaxDebugFileSize);
  }

  bool EmbeddedCompact() {
    const std::string data = ResourceBytes(env_.memory, module_, TResourceId::Of(u"RUVEX"), TResourceId::Of(u"EXCEPT"));
    const std::optional<TCompactHeader> header = ReadCompactHeader(data);
    if (!header) return false;
    if (header->Minimal()) {
      // The names live in the ".ruvex" file whose fingerprint the settings
      // keep; without it the minimal tables still tell units and lines.
      map_.SetMinDebugInfo(options_.minDebugInfo);
      if (!options_.minDebugInfo.empty() && CompactFile(options_.minDebugInfo)) return true;
    } else {
      map_.SetMinDebugInfo({});
    }
    return ParseCompactSymbols(data, map_);
  }

  bool CompactFile(const std::string& fingerprint) {
    const std::optional<std::string> data = Sibling(u".ruvex");
    return data && ParseCompactSymbols(*data, map_, fingerprint);
  }

  bool ImageTd32() {
    const std::optional<TNtHeaders> headers = ImageNtHeaders(env_.memory, module_);
    if (!headers) return false;
    const std::optional<TDataDirectory> dir = ReadDataDirectory(env_.memory, *headers, kDirDebug);
    if (!dir || dir->rva == 0 || dir->size < 28) return false;
    // The first debug directory entry: its raw data, as loaded.
    std::uint32_t sizeOfData = 0, addressOfRawData = 0;
    if (!env_.memory.ReadValue(module_ + dir->rva + 16, sizeOfData) ||
        !env_.memory.ReadValue(module_ + dir->rva + 20, addressOfRawData) || addressOfRawData == 0 ||
        sizeOfData < 8 || sizeOfData > kMaxDebugFileSize)
      return false;
    std::string data(sizeOfData, '\0');
    if (!env_.memory.Read(module_ + addressOfRawData, data.data(), data.size())) return false;
    return ParseTd32(data, map_);
  }

  bool ProgramDatabase() {
    if (!env_.debugHelp || !env_.files.Stat(SiblingPath(path_, u".pdb"))) return false;
    return ReadProgramDatabase(*env_.debugHelp, env_.files, path_, map_);
  }

  bool TextMap() {
    const std::optional<std::string> text = Sibling(u".map");
    return text && ParseTextMap(*text, map_);
  }

  bool Jdbg() {
    const std::optional<std::string> data = Sibling(u".jdbg");
    return data && ParseJdbg(*data, map_);
  }

  bool ExternalTd32() {
    const bool isTds = path_.size() > 4 && EqualsIgnoreCase(std::u16string_view(path_).substr(path_.size() - 4), u".tds");
    const std::u16string tds = isTds ? path_ : SiblingPath(path_, u".tds");
    const auto tdsStat = env_.files.Stat(tds);
    const auto mapStat = env_.files.Stat(SiblingPath(path_, u".map"));
    if (!tdsStat || (mapStat && tdsStat->writeSeconds < mapStat->writeSeconds)) return false;  // older than the map: stale
    const std::optional<std::string> data = kelvane::ReadWholeFile(env_.files, tds, kMaxDebugFileSize);
    return data && ParseTd32(ExternalDebugData(*data), map_);
  }

  TMapFile& map_;
  const TSymbolEnvironment& env_;
  Address module_;
  const std::u16string& path_;
  const TSymbolSourceOptions& options_;
};

}  // namespace

bool LoadModuleSymbols(TMapFile& map, const TSymbolEnvironment& env, Address module,
                       const std::u16string& moduleFileName, const TSymbolSourceOptions& options) {
  map.Clear();
  map.SetModule(module, moduleFileName);
  if (const std::optional<TModuleRanges> r = ModuleRanges(env.memory, module)) {
    map.SetCodeRange(r->baseOfCode, r->topOfCode);
    map.SetDataRange(r->baseOfData, r->topOfData);
    map.SetCorrectBase(r->codeRva);
  }
  const bool found = TSourceSearch(map, env, module, moduleFileName, options).Run();
  map.SortLines();
  map.SetValid(found);
  return found;
}

}  // namespace ruvex
