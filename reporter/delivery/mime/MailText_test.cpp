#include "reporter/delivery/mime/MailText.h"

#include <gtest/gtest.h>

#include "common/text/Utf.h"

namespace ruvex {
namespace {

using kelvane::U16;

TEST(MailText, FormatMailAddress) {
  struct TCase {
    const char* text;
    bool withName;
    std::optional<std::string> expected;
  } cases[] = {
      {"a@x.test", false, "<a@x.test>"},
      {"  a@x.test ", true, "<a@x.test>"},
      {"Jo Doe <a@x.test>", false, "<a@x.test>"},
      {"Jo Doe  <a@x.test>", true, "Jo Doe <a@x.test>"},
      {"Doe, Jo <a@x.test>", true, "\"Doe, Jo\" <a@x.test>"},
      {"\"Doe, Jo\" <a@x.test>", true, "\"Doe, Jo\" <a@x.test>"},
      {"Say \"hi\\\" <a@x.test>", true, "\"Say \\\"hi\\\\\\\"\" <a@x.test>"},
      {"Jürgen <a@x.test>", true, "=?UTF-8?B?SsO8cmdlbg==?= <a@x.test>"},
      {"<a@x.test>", true, "<a@x.test>"},
      // Nothing that could end a command or a header line, or hide a second address.
      {"a@x.test>\r\nRCPT TO:<b@x.test", false, std::nullopt},
      {"Jo\r\nBcc: b@x.test <a@x.test>", true, std::nullopt},
      {"Jo\x01 <a@x.test>", true, std::nullopt},
      {"a@x.test\n", false, std::nullopt},
      {"Jo <a@x.test", false, std::nullopt},
      {"Jo <a@x.test> b", false, std::nullopt},
      {"a b@x.test", false, std::nullopt},
      {"Jo <a<b@x.test>", false, std::nullopt},
      {"jürgen@x.test", false, std::nullopt},
      {"", false, std::nullopt},
      {"Jo <>", false, std::nullopt},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    EXPECT_EQ(FormatMailAddress(U16(c.text), c.withName, false), c.expected);
  }
  EXPECT_EQ(FormatMailAddress(u"Jo <a@x.test>", true, true), "=?UTF-8?B?Sm8=?= <a@x.test>");
}

TEST(MailText, RecipientListsDropEmptyItems) {
  struct TCase {
    const char* list;
    const char* normalised;
    int count;
  } cases[] = {
      {"a@x.test; b@x.test", "a@x.test,b@x.test", 2},
      {" a@x.test ,, ;b@x.test ; ", "a@x.test,b@x.test", 2},
      {"Jo <a@x.test>", "Jo <a@x.test>", 1},
      {" ; , ", "", 0},
      {"", "", 0},
  };
  for (const auto& c : cases) {
    std::u16string list = U16(c.list);
    EXPECT_EQ(CountMailAddrs(list), c.count) << c.list;
    EXPECT_EQ(list, U16(c.normalised)) << c.list;
  }
}

TEST(MailText, EncodedWordsAreShortAndWhole) {
  EXPECT_EQ(EncodedWords(u"two words", false), "=?ISO-8859-1?Q?two=20words?=");
  EXPECT_EQ(EncodedWords(u"gr\u00fc\u00df", false), "=?ISO-8859-1?Q?gr=FC=DF?=");
  EXPECT_EQ(EncodedWords(u"\u20ac", false), "=?UTF-8?B?4oKs?=");
  EXPECT_EQ(EncodedWords(u"a", true), "=?UTF-8?B?YQ==?=");

  // Folded lines of words no longer than RFC 2047 allows; a Q escape and a
  // UTF-8 sequence (a surrogate pair here) are never cut.
  for (const bool utf8 : {false, true}) {
    std::u16string subject;
    for (int i = 0; i < 40; ++i) subject += utf8 ? u"\U0001F600 x" : u"\u00e4 x";
    const std::string folded = EncodedWords(subject, utf8);
    std::size_t start = 0;
    int words = 0;
    while (start < folded.size()) {
      std::size_t end = folded.find("\r\n ", start);
      const std::string word = folded.substr(start, end == std::string::npos ? std::string::npos : end - start);
      EXPECT_LE(word.size(), 75u);
      EXPECT_TRUE(word.ends_with("?=")) << word;
      if (!utf8) {
        EXPECT_NE(word[word.size() - 3], '=') << word;
      }
      ++words;
      start = end == std::string::npos ? folded.size() : end + 3;
    }
    EXPECT_GT(words, 2);
  }
}

TEST(MailText, Latin1IsRealLatin1) {
  EXPECT_TRUE(IsLatin1Text(u"Gr\u00fc\u00dfe \u00ff"));
  EXPECT_FALSE(IsLatin1Text(u"\u20ac"));   // in Windows-1252, not in ISO-8859-1
  EXPECT_FALSE(IsLatin1Text(u"\u0080"));   // a C1 control
  EXPECT_EQ(ToLatin1(u"\u00e4\u00ff"), "\xe4\xff");
}

TEST(MailText, MimeTypeOf) {
  struct TCase {
    const char16_t* name;
    const char* type;
  } cases[] = {{u"bugreport.qbr", "text/plain"},  {u"a.TXT", "text/plain"},      {u"x.ini", "text/plain"},
               {u"shot.JPeG", "image/jpeg"},      {u"s.jpg", "image/jpeg"},      {u"s.png", "image/png"},
               {u"r.zip", "application/zip"},     {u"noext", "application/octet-stream"},
               {u"a.zip.bin", "application/octet-stream"}};
  for (const auto& c : cases) EXPECT_EQ(MimeTypeOf(c.name), c.type);
}

}  // namespace
}  // namespace ruvex
