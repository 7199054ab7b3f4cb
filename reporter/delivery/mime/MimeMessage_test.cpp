#include "reporter/delivery/mime/MimeMessage.h"

#include <gtest/gtest.h>

namespace ruvex {
namespace {

TEST(MimeMessage, BodyEncodingFollowsCharsetsAndLineLengths) {
  struct TCase {
    const char* what;
    std::u16string body;
    bool alwaysUtf8;
    const char* charset;
    const char* encoding;
  } cases[] = {
      {"Latin-1", u"Gr\u00fc\u00dfe\nZeile", false, "iso-8859-1", "8bit"},
      {"Latin-1, a line too long for mail", u"a" + std::u16string(1200, u'\u00e4'), false, "iso-8859-1", "base64"},
      {"beyond Latin-1", u"5 \u20ac", false, "utf-8", "base64"},
      {"always UTF-8", u"plain", true, "utf-8", "base64"},
      {"a NUL byte", std::u16string(u"a\0b", 3), false, "iso-8859-1", "base64"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    const TEncodedBody body = EncodeBody(c.body, c.alwaysUtf8);
    EXPECT_EQ(body.charset, c.charset);
    EXPECT_EQ(body.transferEncoding, c.encoding);
    EXPECT_TRUE(body.text.ends_with("\r\n"));
  }
  EXPECT_EQ(EncodeBody(u"a\nb\rc", false).text, "a\r\nb\r\nc\r\n");
}

TEST(MimeMessage, DateAndMessageIdFromUtc) {
  // 5 March 2026 09:05:03 UTC.
  const auto time = std::chrono::system_clock::time_point(std::chrono::seconds(1772701503));
  EXPECT_EQ(MailDate(time), "5 Mar 2026 09:05:03 UT");
  EXPECT_EQ(MessageId(time), "<01dcac7f27090980@RuvexExcept>");
}

TEST(MimeMessage, AttachmentNamesAreEscaped) {
  EXPECT_EQ(*AttachmentPartHead(u"bug \"1\".qbr", false),
            "--Pellowind_multipart_boundary\r\n"
            "Content-Type: text/plain; name=\"bug \\\"1\\\".qbr\"\r\n"
            "Content-Transfer-Encoding: base64\r\n"
            "Content-Disposition: attachment; filename=\"bug \\\"1\\\".qbr\"\r\n\r\n");
  const std::string utf8 = *AttachmentPartHead(u"\u00fc 1.png", false);
  EXPECT_NE(utf8.find("Content-Type: image/png; name=\"=?UTF-8?B?w7wgMS5wbmc=?=\"\r\n"), std::string::npos);
  EXPECT_NE(utf8.find("filename*=UTF-8''%C3%BC%201.png\r\n"), std::string::npos);
  EXPECT_FALSE(AttachmentPartHead(u"a\r\nContent-Type: text/html", false));
  EXPECT_FALSE(AttachmentPartHead(u"tab\t.txt", false));
  EXPECT_EQ(ClosingBoundary(), "--Pellowind_multipart_boundary--\r\n");
}

}  // namespace
}  // namespace ruvex
