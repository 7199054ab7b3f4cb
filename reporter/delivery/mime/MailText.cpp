#include "reporter/delivery/mime/MailText.h"

#include "common/text/Utf.h"
#include "reporter/delivery/mime/Base64.h"

namespace ruvex {
namespace {

bool IsBlank(char16_t c) { return c == u' ' || c == u'\t'; }

std::u16string_view TrimBlanks(std::u16string_view s) {
  while (!s.empty() && IsBlank(s.front())) s.remove_prefix(1);
  while (!s.empty() && IsBlank(s.back())) s.remove_suffix(1);
  return s;
}

bool IsControl(char16_t c) { return c < 0x20 || c == 0x7F || (c >= 0x80 && c < 0xA0); }

bool HasControl(std::u16string_view s) {
  for (const char16_t c : s)
    if (IsControl(c)) return true;
  return false;
}

// An address that goes into "<...>" unchanged: printable ASCII without
// blanks or angle brackets, and not empty.
bool IsSafeAddress(std::u16string_view s) {
  if (s.empty()) return false;
  for (const char16_t c : s)
    if (c <= 0x20 || c >= 0x7F || c == u'<' || c == u'>') return false;
  return true;
}

// The characters a display name may hold as a bare phrase (RFC 5322 atext
// and blanks between words).
bool IsPhraseChar(char16_t c) {
  if ((c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z') || (c >= u'0' && c <= u'9') || c == u' ') return true;
  return std::u16string_view(u"!#$%&'*+-/=?^_`{|}~").find(c) != std::u16string_view::npos;
}

bool IsAscii(std::u16string_view s) {
  for (const char16_t c : s)
    if (c >= 0x80) return false;
  return true;
}

std::string QuotedDisplayName(std::u16string_view name) {
  // A name given already in quotes is taken as its inner text.
  if (name.size() >= 2 && name.front() == u'"' && name.back() == u'"') name = name.substr(1, name.size() - 2);
  bool bare = true;
  for (const char16_t c : name) bare = bare && IsPhraseChar(c);
  const std::string ascii = kelvane::Utf16ToUtf8(name);
  if (bare) return ascii;
  std::string quoted = "\"";
  for (const char c : ascii) {
    if (c == '"' || c == '\\') quoted.push_back('\\');
    quoted.push_back(c);
  }
  return quoted + "\"";
}

// Splits text into pieces whose encoding stays within a word; whole
// characters only, so that every word decodes on its own.
constexpr std::size_t kQPayload = 48;
constexpr std::size_t kBPayloadBytes = 39;

std::vector<std::string> QWords(std::string_view latin1) {
  std::vector<std::string> words(1);
  static constexpr char kHex[] = "0123456789ABCDEF";
  for (const char c : latin1) {
    const auto b = static_cast<unsigned char>(c);
    const bool plain = (b >= 'a' && b <= 'z') || (b >= 'A' && b <= 'Z') || (b >= '0' && b <= '9');
    const std::size_t need = plain ? 1 : 3;
    if (words.back().size() + need > kQPayload) words.emplace_back();
    if (plain) {
      words.back().push_back(c);
    } else {
      words.back() += {'=', kHex[b >> 4], kHex[b & 15]};
    }
  }
  for (auto& w : words) w = "=?ISO-8859-1?Q?" + w + "?=";
  return words;
}

std::vector<std::string> BWords(std::u16string_view text) {
  std::vector<std::string> pieces(1);
  for (std::size_t i = 0; i < text.size(); ++i) {
    std::size_t n = 1;
    if (text[i] >= 0xD800 && text[i] < 0xDC00 && i + 1 < text.size() && text[i + 1] >= 0xDC00 && text[i + 1] < 0xE000)
      n = 2;
    const std::string utf8 = kelvane::Utf16ToUtf8(text.substr(i, n));
    if (!pieces.back().empty() && pieces.back().size() + utf8.size() > kBPayloadBytes) pieces.emplace_back();
    pieces.back() += utf8;
    i += n - 1;
  }
  for (auto& p : pieces) p = "=?UTF-8?B?" + Base64(p) + "?=";
  return pieces;
}

}  // namespace

std::vector<std::u16string> SplitMailAddrs(std::u16string_view list) {
  std::vector<std::u16string> items;
  std::size_t start = 0;
  for (std::size_t i = 0; i <= list.size(); ++i) {
    if (i < list.size() && list[i] != u',' && list[i] != u';') continue;
    const auto item = TrimBlanks(list.substr(start, i - start));
    if (!item.empty()) items.emplace_back(item);
    start = i + 1;
  }
  return items;
}

int CountMailAddrs(std::u16string& list) {
  const auto items = SplitMailAddrs(list);
  list.clear();
  for (const auto& item : items) {
    if (!list.empty()) list += u',';
    list += item;
  }
  return static_cast<int>(items.size());
}

bool IsLatin1Text(std::u16string_view text) {
  for (const char16_t c : text)
    if (c > 0xFF || (c >= 0x80 && c < 0xA0)) return false;
  return true;
}

std::string ToLatin1(std::u16string_view text) {
  std::string out;
  out.reserve(text.size());
  for (const char16_t c : text) out.push_back(static_cast<char>(c));
  return out;
}

std::optional<std::string> FormatMailAddress(std::u16string_view text, bool withName, bool alwaysUtf8) {
  // Refused whole, name included: a line break is never what the sender meant.
  if (HasControl(text)) return std::nullopt;
  const std::size_t open = text.find(u'<');
  std::u16string_view name;
  std::u16string_view address = TrimBlanks(text);
  if (open != std::u16string_view::npos) {
    name = TrimBlanks(text.substr(0, open));
    address = TrimBlanks(text.substr(open + 1));
    if (address.empty() || address.back() != u'>') return std::nullopt;
    address.remove_suffix(1);
  }
  if (!IsSafeAddress(address)) return std::nullopt;
  const std::string path = "<" + kelvane::Utf16ToUtf8(address) + ">";
  if (!withName || name.empty()) return path;
  if (alwaysUtf8 || !IsAscii(name)) {
    // Raw 8-bit bytes have no place in a header; an encoded word says its charset.
    std::string words;
    for (const auto& word : BWords(name)) words += word + " ";
    return words + path;
  }
  return QuotedDisplayName(name) + " " + path;
}

std::string EncodedWords(std::u16string_view text, bool alwaysUtf8) {
  const auto words = !alwaysUtf8 && IsLatin1Text(text) ? QWords(ToLatin1(text)) : BWords(text);
  std::string out;
  for (const auto& word : words) {
    if (!out.empty()) out += "\r\n ";
    out += word;
  }
  return out;
}

std::string MimeTypeOf(std::u16string_view fileName) {
  const std::size_t dot = fileName.rfind(u'.');
  if (dot == std::u16string_view::npos) return "application/octet-stream";
  std::string extension;
  for (const char16_t c : fileName.substr(dot)) {
    if (c >= 0x80) return "application/octet-stream";
    extension.push_back(static_cast<char>(c >= u'A' && c <= u'Z' ? c + 32 : c));
  }
  if (extension == ".txt" || extension == ".qbr" || extension == ".ini") return "text/plain";
  if (extension == ".jpg" || extension == ".jpeg") return "image/jpeg";
  if (extension == ".png") return "image/png";
  if (extension == ".zip") return "application/zip";
  return "application/octet-stream";
}

}  // namespace ruvex
