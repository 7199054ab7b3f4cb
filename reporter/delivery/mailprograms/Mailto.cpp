#include "reporter/delivery/mailprograms/Mailto.h"

#include "common/text/Utf.h"
#include "common/text/Windows1252.h"
#include "reporter/delivery/mime/MailText.h"

namespace ruvex {
namespace {

bool Unreserved(unsigned char c) {
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '.' || c == '@';
}

int HexValue(char16_t c) {
  if (c >= u'0' && c <= u'9') return c - u'0';
  if (c >= u'A' && c <= u'F') return c - u'A' + 10;
  if (c >= u'a' && c <= u'f') return c - u'a' + 10;
  return -1;
}

// The byte of the "%XX" escape at i, or -1.
int EscapedByte(const std::u16string& text, std::size_t i) {
  if (i + 2 >= text.size() || text[i] != u'%') return -1;
  const int high = HexValue(text[i + 1]), low = HexValue(text[i + 2]);
  return high < 0 || low < 0 ? -1 : high * 16 + low;
}

bool ContainsOutlook(std::u16string_view command) {
  constexpr std::u16string_view kOutlook = u"outlook";
  for (std::size_t i = 0; i + kOutlook.size() <= command.size(); ++i)
    if (kelvane::EqualsIgnoreCase(command.substr(i, kOutlook.size()), kOutlook)) return true;
  return false;
}

}  // namespace

std::string MailtoEscape(std::u16string_view text) {
  static const char kHex[] = "0123456789ABCDEF";
  std::string escaped;
  for (const unsigned char c : kelvane::Utf16ToUtf8(text)) {
    if (Unreserved(c)) {
      escaped += static_cast<char>(c);
    } else {
      escaped += '%';
      escaped += kHex[c >> 4];
      escaped += kHex[c & 15];
    }
  }
  return escaped;
}

std::string MailtoUrl(std::u16string_view recipients, std::u16string_view subject, std::u16string_view body,
                      bool semicolons) {
  std::u16string list(recipients);
  CountMailAddrs(list);
  if (semicolons)
    for (char16_t& c : list)
      if (c == u',') c = u';';
  return "mailto:" + MailtoEscape(list) + "?subject=" + MailtoEscape(subject) + "&body=" + MailtoEscape(body);
}

std::u16string MailtoCommandLine(std::u16string_view command, std::string_view url) {
  const std::u16string wideUrl = kelvane::DecodeWindows1252(url);  // all ASCII
  std::u16string line(command);
  const std::size_t at = line.find(u"%1");
  if (at != std::u16string::npos) return line.replace(at, 2, wideUrl);
  if (!line.empty() && line.back() != u' ') line += u' ';
  return line + wideUrl;
}

std::u16string CutCommandLine(std::u16string commandLine, std::size_t limit) {
  if (commandLine.size() <= limit) return commandLine;
  std::size_t cut = limit;
  // An escape is three characters: a "%" in the last two kept goes too.
  for (std::size_t back = 1; back <= 2 && back <= cut; ++back) {
    if (commandLine[cut - back] == u'%') {
      cut -= back;
      break;
    }
  }
  // Continuation bytes (%80-%BF) and their lead byte form one character:
  // a character whose bytes do not all fit goes whole.
  std::size_t start = cut;
  int continuation = 0;
  while (start >= 3 && EscapedByte(commandLine, start - 3) >= 0x80) {
    const int byte = EscapedByte(commandLine, start - 3);
    start -= 3;
    if (byte >= 0xC0) {
      const int needed = byte >= 0xF0 ? 3 : byte >= 0xE0 ? 2 : 1;
      if (continuation < needed) cut = start;
      break;
    }
    ++continuation;
  }
  commandLine.resize(cut);
  return commandLine;
}

bool SendMailViaMailto(IMailtoHost& host, std::u16string_view recipients, std::u16string_view subject,
                       std::u16string_view body) {
  const auto command = host.OpenCommand();
  if (!command || command->empty()) return false;
  const std::string url = MailtoUrl(recipients, subject, body, ContainsOutlook(*command));
  return host.StartProcess(CutCommandLine(MailtoCommandLine(*command, url)));
}

}  // namespace ruvex
