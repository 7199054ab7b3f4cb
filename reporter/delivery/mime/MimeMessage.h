#pragma once
// The bug report mail as MIME: a multipart/mixed head with the text part,
// one base64 part per attachment, and the closing boundary.
#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace ruvex {

inline constexpr char kMimeBoundary[] = "Pellowind_multipart_boundary";

// Attachments go out in 255-byte chunks, one base64 line of 340 characters each.
inline constexpr std::size_t kAttachmentChunk = 255;

struct TMailHead {
  std::string to, from, replyTo;  // header addresses, formatted with their names
  std::u16string subject;
  std::u16string body;
  std::chrono::system_clock::time_point time;
  bool alwaysUtf8 = false;
};

struct TEncodedBody {
  std::string charset;           // "iso-8859-1" or "utf-8"
  std::string transferEncoding;  // "8bit" or "base64"
  std::string text;              // lines ended by CR LF
};

// The body as 8-bit ISO-8859-1 when it is Latin-1 and its lines fit a mail
// line, else base64 (of UTF-8 unless it is Latin-1) in 76-character lines.
TEncodedBody EncodeBody(std::u16string_view body, bool alwaysUtf8);

// "10 Dec 2026 09:05:03 UT"
std::string MailDate(std::chrono::system_clock::time_point time);
// "<" + 16 hexadecimal digits of the time as a Windows file time + "@RuvexExcept>"
std::string MessageId(std::chrono::system_clock::time_point time);

// The head and the text part, up to the first attachment's boundary.
std::string HeadAndTextPart(const TMailHead& head);

// The head of one attachment part; nullopt for a name holding controls.
std::optional<std::string> AttachmentPartHead(std::u16string_view sendAsName, bool alwaysUtf8);

// The line that ends the last part.
std::string ClosingBoundary();

}  // namespace ruvex
