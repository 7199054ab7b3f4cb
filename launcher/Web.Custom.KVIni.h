#pragma once
// The project configuration: an INI file read once into memory and answered
// by typed queries. Section and key names match without regard to case
// (the locale's upper-case form, non-ASCII letters too); the last of several
// equal keys wins; values are kept exactly as written after trimming.
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "launcher/platform/LauncherPlatform.h"

namespace kelvane {

// The one section the launcher reads, and its keys.
namespace keys {
inline constexpr char16_t kPaths[] = u"Paths";
inline constexpr char16_t kElectron[] = u"Electron";
inline constexpr char16_t kElectronBuild[] = u"ElectronBuild";
inline constexpr char16_t kHtmlPath[] = u"HtmlPath";
inline constexpr char16_t kBrowser[] = u"Browser";
inline constexpr char16_t kUrl[] = u"URL";
inline constexpr char16_t kHtmlFile[] = u"HtmlFile";
inline constexpr char16_t kUrlParams[] = u"URLParams";
inline constexpr char16_t kDefaultUrl[] = u"DefaultURL";
inline constexpr char16_t kDebug[] = u"Debug";
inline constexpr char16_t kSingleInstance[] = u"SingleInstance";
inline constexpr char16_t kDebugManager[] = u"DebugManager";
}  // namespace keys

class Config {
 public:
  // Parses decoded text (after any byte-order mark).
  Config(ILauncherPlatform& platform, std::u16string_view text);

  std::u16string ReadString(std::u16string_view section, std::u16string_view key,
                            std::u16string_view defaultValue) const;
  std::int32_t ReadInteger(std::u16string_view section, std::u16string_view key,
                           std::int32_t defaultValue) const;
  bool ReadBool(std::u16string_view section, std::u16string_view key, bool defaultValue) const;

  size_t SectionCount() const { return sections_.size(); }

 private:
  struct Entry {
    std::u16string name;
    std::optional<std::u16string> value;  // none: a line without "="
  };
  struct Section {
    std::u16string name;
    std::vector<Entry> entries;
    std::unordered_map<std::u16string, size_t> index;  // upper-case name -> last entry
  };

  void AddLine(std::u16string_view line, Section*& current);
  const Entry* Find(std::u16string_view section, std::u16string_view key) const;

  ILauncherPlatform& platform_;
  std::vector<Section> sections_;
  std::unordered_map<std::u16string, size_t> sectionIndex_;  // upper-case name -> section
};

// Reads the file into memory. An empty name, or a name with no file behind
// it, gives an empty configuration; a file that exists but cannot be opened
// raises EFileOpenError.
std::unique_ptr<Config> OpenConfig(ILauncherPlatform& platform, const std::u16string& fileName);

// The text of a configuration file: UTF-8, UTF-16 LE or BE by byte-order
// mark, the ANSI code page without one; a NUL ends the text.
std::u16string DecodeConfigBytes(ILauncherPlatform& platform, std::string_view bytes);

// The integer rule: optional sign, decimal digits or hexadecimal after "$",
// "x", "X", "0x" or "0X", the whole text, within 32 bits.
std::optional<std::int32_t> ParseConfigInteger(std::u16string_view text);

}  // namespace kelvane
