#include "launcher/Web.Custom.KVIni.h"

#include "common/text/Utf.h"
#include "launcher/platform/Files.h"

namespace kelvane {
namespace {

bool IsBlank(char16_t c) { return c <= 32; }

std::u16string_view TrimLeft(std::u16string_view s) {
  while (!s.empty() && IsBlank(s.front())) s.remove_prefix(1);
  return s;
}
std::u16string_view TrimRight(std::u16string_view s) {
  while (!s.empty() && IsBlank(s.back())) s.remove_suffix(1);
  return s;
}
std::u16string_view Trim(std::u16string_view s) { return TrimRight(TrimLeft(s)); }

int HexDigit(char16_t c) {
  if (c >= u'0' && c <= u'9') return c - u'0';
  if (c >= u'a' && c <= u'f') return c - u'a' + 10;
  if (c >= u'A' && c <= u'F') return c - u'A' + 10;
  return -1;
}

}  // namespace

std::optional<std::int32_t> ParseConfigInteger(std::u16string_view text) {
  std::u16string rewritten;
  if (text.size() > 2 && text[0] == u'0' && (text[1] == u'x' || text[1] == u'X')) {
    rewritten = u"$" + std::u16string(text.substr(2));
    text = rewritten;
  }
  size_t i = 0;
  while (i < text.size() && text[i] == u' ') ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == u'+' || text[i] == u'-')) negative = text[i++] == u'-';

  bool hex = false;
  if (i < text.size() && (text[i] == u'$' || text[i] == u'x' || text[i] == u'X')) {
    hex = true, i += 1;
  } else if (i + 1 < text.size() && text[i] == u'0' && (text[i + 1] == u'x' || text[i + 1] == u'X')) {
    hex = true, i += 2;
  }
  if (i == text.size()) return std::nullopt;

  std::uint64_t value = 0;
  for (; i < text.size(); ++i) {
    const int digit = hex ? HexDigit(text[i]) : (text[i] >= u'0' && text[i] <= u'9' ? text[i] - u'0' : -1);
    if (digit < 0) return std::nullopt;
    value = value * (hex ? 16 : 10) + digit;
    if (value > 0xFFFFFFFFull) return std::nullopt;
  }

  if (hex) {
    // Eight hexadecimal digits fill 32 bits; the top bit makes it negative.
    const auto bits = static_cast<std::uint32_t>(value);
    return static_cast<std::int32_t>(negative ? 0u - bits : bits);
  }
  if (negative) {
    if (value > 0x80000000ull) return std::nullopt;
    return static_cast<std::int32_t>(-static_cast<std::int64_t>(value));
  }
  if (value > 0x7FFFFFFFull) return std::nullopt;
  return static_cast<std::int32_t>(value);
}

std::u16string DecodeConfigBytes(ILauncherPlatform& platform, std::string_view bytes) {
  std::u16string text;
  if (bytes.starts_with("\xEF\xBB\xBF")) {
    text = Utf8ToUtf16(bytes.substr(3));
  } else if (bytes.starts_with("\xFF\xFE")) {
    text = Utf16FromBytes(bytes.substr(2), /*bigEndian=*/false);
  } else if (bytes.starts_with("\xFE\xFF")) {
    text = Utf16FromBytes(bytes.substr(2), /*bigEndian=*/true);
  } else {
    text = platform.DecodeAnsi(bytes);
  }
  if (const size_t nul = text.find(u'\0'); nul != std::u16string::npos) text.resize(nul);
  return text;
}

Config::Config(ILauncherPlatform& platform, std::u16string_view text) : platform_(platform) {
  Section* current = nullptr;
  size_t start = 0;
  while (start <= text.size()) {
    size_t end = text.find_first_of(u"\r\n", start);
    if (end == std::u16string_view::npos) end = text.size();
    AddLine(text.substr(start, end - start), current);
    if (end == text.size()) break;
    // CR LF is one line end; a lone CR or LF is one too.
    start = end + ((text[end] == u'\r' && end + 1 < text.size() && text[end + 1] == u'\n') ? 2 : 1);
  }
}

void Config::AddLine(std::u16string_view rawLine, Section*& current) {
  const std::u16string_view line = Trim(rawLine);
  if (line.empty() || line.front() == u';') return;

  if (line.front() == u'[' && line.back() == u']' && line.size() >= 2) {
    const std::u16string name(Trim(line.substr(1, line.size() - 2)));
    const std::u16string key = platform_.UpperCase(name);
    const auto found = sectionIndex_.find(key);
    if (found != sectionIndex_.end()) {
      current = &sections_[found->second];
    } else {
      sectionIndex_.emplace(key, sections_.size());
      sections_.push_back(Section{name, {}, {}});
      current = &sections_.back();
    }
    return;
  }
  if (!current) return;

  Entry entry;
  if (const size_t equals = line.find(u'='); equals != std::u16string_view::npos) {
    entry.name = std::u16string(TrimRight(line.substr(0, equals)));
    entry.value = std::u16string(TrimLeft(line.substr(equals + 1)));
  } else {
    entry.name = std::u16string(line);
  }
  current->index[platform_.UpperCase(entry.name)] = current->entries.size();
  current->entries.push_back(std::move(entry));
}

const Config::Entry* Config::Find(std::u16string_view section, std::u16string_view key) const {
  const auto s = sectionIndex_.find(platform_.UpperCase(section));
  if (s == sectionIndex_.end()) return nullptr;
  const Section& found = sections_[s->second];
  const auto e = found.index.find(platform_.UpperCase(key));
  return e == found.index.end() ? nullptr : &found.entries[e->second];
}

std::u16string Config::ReadString(std::u16string_view section, std::u16string_view key,
                                  std::u16string_view defaultValue) const {
  const Entry* entry = Find(section, key);
  return entry && entry->value ? *entry->value : std::u16string(defaultValue);
}

std::int32_t Config::ReadInteger(std::u16string_view section, std::u16string_view key,
                                 std::int32_t defaultValue) const {
  return ParseConfigInteger(ReadString(section, key, u"")).value_or(defaultValue);
}

bool Config::ReadBool(std::u16string_view section, std::u16string_view key, bool defaultValue) const {
  return ReadInteger(section, key, defaultValue ? 1 : 0) != 0;
}

std::unique_ptr<Config> OpenConfig(ILauncherPlatform& platform, const std::u16string& fileName) {
  if (fileName.empty() || !platform.FileExists(fileName)) return std::make_unique<Config>(platform, u"");
  const std::string bytes = ReadWholeFile(platform, fileName);
  return std::make_unique<Config>(platform, DecodeConfigBytes(platform, bytes));
}

}  // namespace kelvane
