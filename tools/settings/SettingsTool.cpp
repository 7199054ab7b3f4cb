// ruvex-settings: the reporter's settings block from a readable description.
//
//   ruvex-settings block <description.txt> <block.bin>
//   ruvex-settings rc    <description.txt> <settings.rc>   (writes settings.bin beside it)
//   ruvex-settings embed <description.txt> <program.exe>   (Windows only)
//   ruvex-settings show  <block.bin>
//   ruvex-settings crc   <module>                       (writes the file integrity checksum)
//
// Exit code 0 on success, 1 on bad input or a failed write, 2 on bad usage.
#include <cstdio>
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>
#include <vector>

#include "common/text/FileNames.h"
#include "reporter/core/hooks/modules/FileCrc.h"
#include "reporter/core/properties/PropertyKinds.h"
#include "reporter/core/properties/SettingsBlock.h"
#include "reporter/core/properties/SettingsText.h"
#include "tools/settings/EmbedResource.h"
#include "tools/settings/SettingsTool.h"

using namespace ruvex;

namespace {

constexpr char kUsage[] =
    "usage: ruvex-settings block <description.txt> <block.bin>\n"
    "       ruvex-settings rc <description.txt> <settings.rc>\n"
    "       ruvex-settings embed <description.txt> <program.exe>\n"
    "       ruvex-settings show <block.bin>\n"
    "       ruvex-settings crc <module>\n";

bool ReadFile(const std::string& path, std::string& out) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  std::ostringstream bytes;
  bytes << in.rdbuf();
  out = bytes.str();
  return !in.bad();
}

// Writes through a temporary file and renames it, so a failed write never
// leaves a half-written output behind.
bool WriteFile(const std::string& path, const std::string& data) {
  std::string temp = path + ".tmp";
  {
    std::ofstream out(temp, std::ios::binary | std::ios::trunc);
    if (!out || !out.write(data.data(), std::streamsize(data.size())) || !out.flush()) {
      std::remove(temp.c_str());
      return false;
    }
  }
  std::remove(path.c_str());
  if (std::rename(temp.c_str(), path.c_str()) != 0) {
    std::remove(temp.c_str());
    return false;
  }
  return true;
}

int Fail(const std::string& message) {
  std::cerr << "ruvex-settings: " << message << "\n";
  return 1;
}

// The block of a description, or an error message.
bool BuildBlock(const std::string& descriptionPath, std::string& block, std::string& error) {
  std::string text;
  if (!ReadFile(descriptionPath, text)) {
    error = "cannot read " + descriptionPath;
    return false;
  }
  TSettingsTextResult parsed = ParseSettingsText(text);
  if (!parsed.Ok()) {
    error = descriptionPath + ": " + parsed.error;
    return false;
  }
  // A name or kind the reporter does not know would be stored and then read
  // as the default, silently; refuse it here instead.
  const std::string kindError = CheckPropertyKinds(parsed.properties, parsed.lines);
  if (!kindError.empty()) {
    error = descriptionPath + ": " + kindError;
    return false;
  }
  EncipherPasswords(parsed.properties);
  auto written = WriteSettingsBlock(parsed.properties);
  if (!written) {
    error = "a property cannot be written";
    return false;
  }
  block = std::move(*written);
  return true;
}

std::string ChangeExtension(const std::string& path, const std::string& extension) {
  size_t dot = path.rfind('.');
  size_t slash = path.find_last_of("\\/");
  if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return path + extension;
  return path.substr(0, dot) + extension;
}

int Show(const std::string& path) {
  std::string block;
  if (!ReadFile(path, block)) return Fail("cannot read " + path);
  TSettingsBlockParse parse = ParseSettingsBlock(block);
  if (!parse.headerMatches) return Fail(path + " is not a settings block");
  std::cout << FormatSettingsText(parse.properties);
  if (parse.Stopped()) {
    std::string why = parse.truncated ? "truncated" : "invalid value type " + std::to_string(*parse.invalidType);
    return Fail(path + ": block ends early (" + why + ")");
  }
  return 0;
}

// The last step after every change to the file: the checksum covers it all.
int StampChecksum(const std::string& path) {
  std::string file, error;
  if (!ReadFile(path, file)) return Fail("cannot read " + path);
  const std::optional<std::string> stamped = StampFileCrc(std::move(file), error);
  if (!stamped) return Fail(path + ": " + error);
  if (!WriteFile(path, *stamped)) return Fail("cannot write " + path);
  return 0;
}

}  // namespace

int RunSettingsTool(const std::vector<std::string>& args) {
  if (args.size() == 2 && args[0] == "show") return Show(args[1]);
  if (args.size() == 2 && args[0] == "crc") return StampChecksum(args[1]);
  if (args.size() != 3) {
    std::cerr << kUsage;
    return 2;
  }
  const std::string& command = args[0];
  if (command != "block" && command != "rc" && command != "embed") {
    std::cerr << kUsage;
    return 2;
  }
  std::string block, error;
  if (!BuildBlock(args[1], block, error)) return Fail(error);
  const std::string& target = args[2];
  if (command == "block") {
    if (!WriteFile(target, block)) return Fail("cannot write " + target);
  } else if (command == "rc") {
    std::string binary = ChangeExtension(target, ".bin");
    if (binary == target) binary += ".bin";
    std::string script = "TRUVEXEXCEPT RCDATA \"" + kelvane::FileNameOf(std::string_view(binary)) + "\"\n";
    if (!WriteFile(binary, block)) return Fail("cannot write " + binary);
    if (!WriteFile(target, script)) return Fail("cannot write " + target);
  } else {
    std::string failure = EmbedSettingsBlock(target, block);
    if (!failure.empty()) return Fail(target + ": " + failure);
  }
  return 0;
}
