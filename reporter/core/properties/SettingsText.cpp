#include "reporter/core/properties/SettingsText.h"

#include <cstdlib>

#include "common/text/Utf.h"
#include "reporter/core/properties/PasswordCipher.h"

namespace ruvex {
namespace {

std::string_view Trim(std::string_view s) {
  while (!s.empty() && static_cast<unsigned char>(s.front()) <= 32) s.remove_prefix(1);
  while (!s.empty() && static_cast<unsigned char>(s.back()) <= 32) s.remove_suffix(1);
  return s;
}

bool IsIdentifier(std::string_view s) {
  if (s.empty() || s.size() > 255) return false;
  for (size_t i = 0; i < s.size(); ++i) {
    char c = s[i];
    bool ok = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_' || (i > 0 && c >= '0' && c <= '9');
    if (!ok) return false;
  }
  return true;
}

bool EqualsNoCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i)
    if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i]))) return false;
  return true;
}

bool ParseInteger(std::string_view s, std::int32_t& out) {
  bool negative = !s.empty() && s[0] == '-';
  if (negative) s.remove_prefix(1);
  int base = 10;
  if (!s.empty() && s[0] == '$') {
    base = 16;
    s.remove_prefix(1);
  }
  if (s.empty() || s.size() > 10) return false;
  long long value = 0;
  for (char c : s) {
    int digit = c >= '0' && c <= '9' ? c - '0'
                : base == 16 && c >= 'a' && c <= 'f' ? c - 'a' + 10
                : base == 16 && c >= 'A' && c <= 'F' ? c - 'A' + 10
                                                     : -1;
    if (digit < 0) return false;
    value = value * base + digit;
  }
  if (negative) value = -value;
  // Hexadecimal may spell the full 32 bits ("$FFFFFFFF" is -1).
  if (base == 16 && !negative && value <= 0xFFFFFFFFll) value = static_cast<std::int32_t>(static_cast<std::uint32_t>(value));
  if (value < INT32_MIN || value > INT32_MAX) return false;
  out = static_cast<std::int32_t>(value);
  return true;
}

// 'quoted'#123'parts' with '' inside quotes for one quote.
bool ParseString(std::string_view s, std::u16string& out, std::string& error) {
  size_t i = 0;
  while (i < s.size()) {
    if (s[i] == '\'') {
      ++i;
      std::string part;
      for (;;) {
        if (i >= s.size()) {
          error = "unterminated string";
          return false;
        }
        if (s[i] == '\'') {
          if (i + 1 < s.size() && s[i + 1] == '\'') {
            part.push_back('\'');
            i += 2;
            continue;
          }
          ++i;
          break;
        }
        part.push_back(s[i++]);
      }
      out += kelvane::Utf8ToUtf16(part);
    } else if (s[i] == '#') {
      size_t start = ++i;
      while (i < s.size() && s[i] >= '0' && s[i] <= '9') ++i;
      std::int32_t code;
      if (!ParseInteger(s.substr(start, i - start), code) || code < 0 || code > 0xFFFF) {
        error = "bad character code after '#'";
        return false;
      }
      out.push_back(static_cast<char16_t>(code));
    } else {
      error = "unexpected text in string value";
      return false;
    }
  }
  return true;
}

TREProperty* FindIn(std::vector<TREProperty>& props, const char* name) {
  for (auto& p : props)
    if (p.name == name) return &p;
  return nullptr;
}

}  // namespace

TSettingsTextResult ParseSettingsText(std::string_view text) {
  TSettingsTextResult result;
  if (text.substr(0, 3) == "\xEF\xBB\xBF") text.remove_prefix(3);
  int lineNumber = 0;
  while (!text.empty() || lineNumber == 0) {
    ++lineNumber;
    size_t end = text.find('\n');
    std::string_view line = Trim(text.substr(0, end));
    text = end == text.npos ? std::string_view() : text.substr(end + 1);
    auto fail = [&](const std::string& why) {
      result.error = "line " + std::to_string(lineNumber) + ": " + why;
      return result;
    };
    if (line.empty() || line[0] == '#' || line.substr(0, 2) == "//") {
      if (text.empty()) break;
      continue;
    }
    if (line.substr(0, 7) == "object " || EqualsNoCase(line, "end")) {
      if (line.substr(0, 7) == "object " &&
          Trim(line.substr(7)) != "RuvexExcept: TRuvexExcept")
        return fail("the object must be \"RuvexExcept: TRuvexExcept\"");
      if (text.empty()) break;
      continue;
    }
    size_t eq = line.find('=');
    if (eq == line.npos) return fail("expected Name = value");
    std::string_view name = Trim(line.substr(0, eq));
    std::string_view value = Trim(line.substr(eq + 1));
    if (!IsIdentifier(name)) return fail("bad property name '" + std::string(name) + "'");
    TREProperty p;
    p.name = std::string(name);
    std::int32_t number;
    std::string error;
    if (EqualsNoCase(value, "true") || EqualsNoCase(value, "false")) {
      p.typ = ptBoolean;
      p.vBool = EqualsNoCase(value, "true");
    } else if (!value.empty() && (value[0] == '\'' || value[0] == '#')) {
      std::u16string s;
      if (!ParseString(value, s, error)) return fail(error);
      p.typ = ptString;
      if (!s.empty()) p.vStr = std::make_shared<const std::u16string>(std::move(s));
    } else if (ParseInteger(value, number)) {
      p.typ = ptInteger;
      p.vInt = number;
    } else if (IsIdentifier(value)) {
      // A bare identifier, as the component text form writes enumerations.
      p.typ = ptString;
      p.vStr = std::make_shared<const std::u16string>(kelvane::Utf8ToUtf16(value));
    } else {
      return fail("value of " + p.name + " is neither True, False, an integer, an identifier nor a quoted string");
    }
    result.properties.push_back(std::move(p));
    result.lines.push_back(lineNumber);
    if (text.empty()) break;
  }
  return result;
}

std::string FormatSettingsText(const std::vector<TREProperty>& properties) {
  std::string out = "object RuvexExcept: TRuvexExcept\n";
  for (const auto& p : properties) {
    out += "  " + p.name + " = ";
    if (p.typ == ptBoolean) {
      out += p.vBool ? "True" : "False";
    } else if (p.typ == ptInteger) {
      out += std::to_string(p.vInt);
    } else {
      // Printable ASCII stays quoted; everything else as #n.
      std::u16string s = p.Str();
      bool quoted = false;
      if (s.empty()) out += "''";
      for (char16_t c : s) {
        bool plain = c >= 32 && c < 127;
        if (plain != quoted) {
          out += '\'';
          quoted = plain;
        }
        if (plain)
          out += c == u'\'' ? std::string("''") : std::string(1, static_cast<char>(c));
        else
          out += "#" + std::to_string(int(c));
      }
      if (quoted) out += '\'';
    }
    out += '\n';
  }
  return out + "end\n";
}

void EncipherPasswords(std::vector<TREProperty>& props) {
  struct TKey { const char* password; const char* account; const char* server; };
  static const TKey kKeys[] = {{"SmtpPassword", "SmtpAccount", "SmtpServer"},
                               {"HttpPassword", "HttpAccount", "HttpServer"},
                               {"BugTrPassword", "BugTrAccount", "HttpServer"}};
  for (const auto& key : kKeys) {
    TREProperty* password = FindIn(props, key.password);
    if (!password || password->typ != ptString || password->Str().empty()) continue;
    TREProperty* account = FindIn(props, key.account);
    TREProperty* server = FindIn(props, key.server);
    password->vStr = std::make_shared<const std::u16string>(EncipherPassword(
        password->Str(), account ? account->Str() : u"", server ? server->Str() : u""));
  }
}

}  // namespace ruvex
