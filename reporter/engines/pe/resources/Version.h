#pragma once
// File versions as the report shows them: "major.minor.release.build".
#include <cstdint>
#include <string>
#include <vector>

namespace ruvex {

// Four decimal numbers joined by ".": the high and low 16 bits of `mostSignificant`,
// then of `leastSignificant`.
std::u16string VersionToText(std::uint32_t mostSignificant, std::uint32_t leastSignificant);

// What a version resource holds, as far as the report needs it.
struct TVersionInfo {
  bool hasFixed = false;
  std::uint32_t fileVersionMS = 0;
  std::uint32_t fileVersionLS = 0;
  std::vector<std::uint32_t> translations;  // language << 16 | code page
  struct TString {
    std::u16string table;  // "040904b0": language and code page in hexadecimal
    std::u16string key;
    std::u16string value;
  };
  std::vector<TString> strings;
};

// Parses a version resource's bytes; blocks that do not fit are ignored.
TVersionInfo ParseVersionInfo(const std::string& resource);

// The fixed file version when it is not all zero; otherwise the
// "FileVersion" string of the first translation, without surrounding blanks;
// empty when there is neither.
std::u16string FileVersionFromResource(const std::string& resource);

// FileVersionFromResource for a PE file read from disk (path in UTF-8),
// without the system's help: empty when the file is missing, not an image
// or has no version resource.
std::u16string FileVersionTextOfImageFile(const std::string& path);

// The version text of a file, asked of the system on Windows.
std::u16string FileVersionText(const std::u16string& file);

}  // namespace ruvex
