#include "reporter/delivery/mailprograms/Mailto.h"

#include <gtest/gtest.h>

#include <vector>

using namespace ruvex;

namespace {

class TFakeMailtoHost final : public IMailtoHost {
 public:
  std::optional<std::u16string> command;
  std::vector<std::u16string> started;
  std::optional<std::u16string> OpenCommand() override { return command; }
  bool StartProcess(const std::u16string& line) override {
    started.push_back(line);
    return true;
  }
};

TEST(Mailto, EscapesAllButLettersDigitsDotAndAt) {
  EXPECT_EQ(MailtoEscape(u"Jo.Doe@example.org"), "Jo.Doe@example.org");
  EXPECT_EQ(MailtoEscape(u"a b&c=d?e%f\r\n"), "a%20b%26c%3Dd%3Fe%25f%0D%0A");
  EXPECT_EQ(MailtoEscape(u"Gr\u00fc\u00df \u20ac"), "Gr%C3%BC%C3%9F%20%E2%82%AC");
}

TEST(Mailto, OutlookGetsSemicolonsAndTheUrlGoesWhereTheCommandSays) {
  TFakeMailtoHost host;
  host.command = u"C:\\Office\\OUTLOOK.EXE -c IPM.Note /m \"%1\"";
  EXPECT_TRUE(SendMailViaMailto(host, u"a@x.org , b@y.org", u"bug report", u"see"));
  ASSERT_EQ(host.started.size(), 1u);
  EXPECT_EQ(host.started[0],
            u"C:\\Office\\OUTLOOK.EXE -c IPM.Note /m \"mailto:a@x.org%3Bb@y.org?subject=bug%20report&body=see\"");

  host.command = u"mailer.exe";  // no %1: the URL follows after a blank
  EXPECT_TRUE(SendMailViaMailto(host, u"a@x.org;b@y.org", u"s", u"b"));
  EXPECT_EQ(host.started[1], u"mailer.exe mailto:a@x.org%2Cb@y.org?subject=s&body=b");

  host.command.reset();
  EXPECT_FALSE(SendMailViaMailto(host, u"a@x.org", u"s", u"b"));
  EXPECT_EQ(host.started.size(), 2u);
}

TEST(Mailto, CutKeepsEscapesAndCharactersWhole) {
  struct TCase {
    const char16_t* line;
    const char16_t* kept;
  };
  const TCase cases[] = {
      {u"0123456789ab", u"0123456789"},     // plain text: cut at the limit
      {u"012345678%41", u"012345678"},      // "%" last: goes
      {u"01234567%41x", u"01234567"},       // "%4" last: goes
      {u"0123456%41xy", u"0123456%41"},     // a whole escape at the end stays
      {u"0123%C3%BC%C3%9F", u"0123%C3%BC"}, // 10 would keep "%C3" of the second character alone
      {u"01%E2%82%AC2345", u"01"},          // the euro sign's three escapes do not fit
      {u"short", u"short"},
  };
  for (const TCase& c : cases) EXPECT_EQ(CutCommandLine(c.line, 10), c.kept) << std::u16string(c.line).size();
}

TEST(Mailto, LongReportIsCutToTheCommandLineLimit) {
  TFakeMailtoHost host;
  host.command = u"mailer.exe \"%1\"";
  EXPECT_TRUE(SendMailViaMailto(host, u"a@x.org", u"s", std::u16string(20000, u'\u00e4')));
  ASSERT_EQ(host.started.size(), 1u);
  const std::u16string& line = host.started[0];
  EXPECT_LE(line.size(), kMaxCommandLine);
  EXPECT_GE(line.size(), kMaxCommandLine - 6);
  EXPECT_EQ(line.substr(line.size() - 6), u"%C3%A4");
}

}  // namespace
