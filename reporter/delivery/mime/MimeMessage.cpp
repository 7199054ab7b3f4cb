#include "reporter/delivery/mime/MimeMessage.h"

#include <cstdio>

#include "common/text/Utf.h"
#include "reporter/delivery/mime/Base64.h"
#include "reporter/delivery/mime/MailText.h"

namespace ruvex {
namespace {

constexpr std::size_t kMaxLineOctets = 998;

// Line breaks of any kind as CR LF, the canonical form of a text part.
std::string CanonicalLines(std::string_view text) {
  std::string out;
  out.reserve(text.size() + text.size() / 16);
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\r' || text[i] == '\n') {
      out.append("\r\n");
      if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
    } else {
      out.push_back(text[i]);
    }
  }
  return out;
}

bool FitsEightBit(std::string_view lines) {
  std::size_t lineLength = 0;
  for (const char c : lines) {
    if (c == '\0') return false;
    lineLength = c == '\n' ? 0 : lineLength + 1;
    if (lineLength > kMaxLineOctets + 1) return false;  // the +1 is the CR of CR LF
  }
  return true;
}

bool NeedsRfc2231(std::u16string_view name) {
  for (const char16_t c : name)
    if (c >= 0x7F) return true;
  return false;
}

// name*=UTF-8''... with every byte outside the attribute characters escaped.
std::string Rfc2231Value(std::u16string_view name) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string out = "UTF-8''";
  for (const char c : kelvane::Utf16ToUtf8(name)) {
    const auto b = static_cast<unsigned char>(c);
    const bool plain = (b >= 'a' && b <= 'z') || (b >= 'A' && b <= 'Z') || (b >= '0' && b <= '9') ||
                       b == '.' || b == '-' || b == '_';
    if (plain) {
      out.push_back(c);
    } else {
      out += {'%', kHex[b >> 4], kHex[b & 15]};
    }
  }
  return out;
}

std::string QuotedString(std::string_view ascii) {
  std::string out = "\"";
  for (const char c : ascii) {
    if (c == '"' || c == '\\') out.push_back('\\');
    out.push_back(c);
  }
  return out + "\"";
}

}  // namespace

TEncodedBody EncodeBody(std::u16string_view body, bool alwaysUtf8) {
  const bool latin1 = !alwaysUtf8 && IsLatin1Text(body);
  const std::string lines = CanonicalLines(latin1 ? ToLatin1(body) : kelvane::Utf16ToUtf8(body));
  TEncodedBody encoded;
  encoded.charset = latin1 ? "iso-8859-1" : "utf-8";
  if (latin1 && FitsEightBit(lines)) {
    encoded.transferEncoding = "8bit";
    encoded.text = lines;
    if (!encoded.text.empty() && encoded.text.back() != '\n') encoded.text += "\r\n";
  } else {
    encoded.transferEncoding = "base64";
    encoded.text = Base64Lines(lines);
  }
  return encoded;
}

std::string MailDate(std::chrono::system_clock::time_point time) {
  using namespace std::chrono;
  const auto day = floor<days>(time);
  const year_month_day date{day};
  const hh_mm_ss clock{floor<seconds>(time - day)};
  static constexpr const char* kMonths[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                            "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
  char text[64];
  std::snprintf(text, sizeof text, "%u %s %04d %02d:%02d:%02d UT", static_cast<unsigned>(date.day()),
                kMonths[static_cast<unsigned>(date.month()) - 1], static_cast<int>(date.year()),
                static_cast<int>(clock.hours().count()), static_cast<int>(clock.minutes().count()),
                static_cast<int>(clock.seconds().count()));
  return text;
}

std::string MessageId(std::chrono::system_clock::time_point time) {
  // 100-ns units since 1601, the Windows file time.
  constexpr std::uint64_t kFrom1601To1970 = 116444736000000000ULL;
  const auto units = std::chrono::duration_cast<std::chrono::duration<std::int64_t, std::ratio<1, 10000000>>>(
      time.time_since_epoch());
  char text[40];
  std::snprintf(text, sizeof text, "<%016llx@RuvexExcept>",
                static_cast<unsigned long long>(kFrom1601To1970 + static_cast<std::uint64_t>(units.count())));
  return text;
}

std::string HeadAndTextPart(const TMailHead& head) {
  const TEncodedBody body = EncodeBody(head.body, head.alwaysUtf8);
  std::string out;
  out += "To: " + head.to + "\r\n";
  out += "From: " + head.from + "\r\n";
  out += "Reply-To: " + head.replyTo + "\r\n";
  out += "Subject: " + EncodedWords(head.subject, head.alwaysUtf8) + "\r\n";
  out += "Date: " + MailDate(head.time) + "\r\n";
  out += "Message-ID: " + MessageId(head.time) + "\r\n";
  out += "MIME-Version: 1.0\r\n";
  out += std::string("Content-Type: multipart/mixed; boundary=\"") + kMimeBoundary + "\"\r\n";
  out += "\r\nThis is a multi-part message in MIME format.\r\n\r\n";
  out += std::string("--") + kMimeBoundary + "\r\n";
  out += "Content-Type: text/plain; charset=\"" + body.charset + "\"\r\n";
  out += "Content-Transfer-Encoding: " + body.transferEncoding + "\r\n";
  out += "\r\n" + body.text + "\r\n";
  return out;
}

std::optional<std::string> AttachmentPartHead(std::u16string_view sendAsName, bool alwaysUtf8) {
  for (const char16_t c : sendAsName)
    if (c < 0x20 || c == 0x7F || (c >= 0x80 && c < 0xA0)) return std::nullopt;
  std::string typeName, disposition;
  if (alwaysUtf8 || NeedsRfc2231(sendAsName)) {
    // The encoded word in the type's name is what older readers look for;
    // the RFC 2231 file name is the standard form.
    typeName = "; name=\"" + EncodedWords(sendAsName, true) + "\"";
    // Folding inside a quoted parameter would break it: one line of words.
    for (std::size_t at; (at = typeName.find("\r\n ")) != std::string::npos;) typeName.replace(at, 3, " ");
    disposition = "attachment; filename*=" + Rfc2231Value(sendAsName);
  } else {
    const std::string quoted = QuotedString(kelvane::Utf16ToUtf8(sendAsName));
    typeName = "; name=" + quoted;
    disposition = "attachment; filename=" + quoted;
  }
  std::string out = std::string("--") + kMimeBoundary + "\r\n";
  out += "Content-Type: " + MimeTypeOf(sendAsName) + typeName + "\r\n";
  out += "Content-Transfer-Encoding: base64\r\n";
  out += "Content-Disposition: " + disposition + "\r\n\r\n";
  return out;
}

std::string ClosingBoundary() { return std::string("--") + kMimeBoundary + "--\r\n"; }

}  // namespace ruvex
