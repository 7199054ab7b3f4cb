#include "reporter/core/properties/SettingsBlock.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <sstream>

#include "common/text/Utf.h"

using namespace ruvex;
using kelvane::U16;

namespace {

// Blocks written by Free Pascal's ObjectTextToBinary (see fixtures/settings).
std::string Fixture(const std::string& name) {
  const char* root = std::getenv("KELVANE_SOURCE_DIR");
  std::string path = std::string(root ? root : ".") + "/reporter/core/properties/fixtures/settings/" + name;
  std::ifstream in(path, std::ios::binary);
  EXPECT_TRUE(in) << path;
  std::ostringstream bytes;
  bytes << in.rdbuf();
  return bytes.str();
}

const TREProperty* Find(const TSettingsBlockParse& parse, const std::string& name) {
  for (const auto& p : parse.properties)
    if (p.name == name) return &p;
  return nullptr;
}

}  // namespace

TEST(SettingsBlock, ReadsEveryValueTypeOfAnIndependentWriter) {
  TSettingsBlockParse parse = ParseSettingsBlock(Fixture("values.bin"));
  ASSERT_TRUE(parse.headerMatches);
  EXPECT_FALSE(parse.Stopped());
  struct TCase { const char* name; TPropertyType typ; bool b; int i; std::u16string s; };
  const TCase cases[] = {
      {"Enabled", ptBoolean, true, 0, u""},
      {"NoSettings", ptBoolean, false, 0, u""},
      {"AutoDelay", ptInteger, false, 3, u""},              // 1-byte integer
      {"LimitDisAsm", ptInteger, false, -300, u""},         // 2-byte, negative
      {"BugRepFileSize", ptInteger, false, 5000000, u""},   // 4-byte
      {"ExceptMsg", ptString, false, 0, u"Something broke in %appname%."},
      // UTF-16 (type 18), with characters outside the ANSI code page.
      {"TitleBar", ptString, false, 0, u"K\u00f6lvane \u0416\u0443\u043a \u20ac \u4e2d\u6587"},
      {"MailAddr", ptString, false, 0, u"bugs@example.org"},
      {"SmtpServer", ptString, false, 0, u"SomeIdentifier"},  // identifier (type 7)
      {"BugRepFile", ptString, false, 0, std::u16string(300, u'L')},  // long string (type 12)
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const TREProperty* p = Find(parse, c.name);
    ASSERT_NE(p, nullptr);
    EXPECT_EQ(p->typ, c.typ);
    EXPECT_EQ(p->vBool, c.b);
    EXPECT_EQ(p->vInt, c.i);
    EXPECT_EQ(p->Str(), c.s);
  }
  // Duplicates are kept in block order; lookup finds the first.
  ASSERT_EQ(parse.properties.size(), 12u);
  EXPECT_EQ(parse.properties[10].vInt, 7);
  EXPECT_EQ(parse.properties[11].vInt, 9);
}

TEST(SettingsBlock, InvalidTypeStopsAndKeepsWhatWasRead) {
  TSettingsBlockParse parse = ParseSettingsBlock(Fixture("invalid-type.bin"));
  ASSERT_TRUE(parse.headerMatches);
  ASSERT_TRUE(parse.invalidType.has_value());
  EXPECT_EQ(*parse.invalidType, 5);  // the extended float
  ASSERT_EQ(parse.properties.size(), 3u);
  EXPECT_EQ(parse.properties[2].Str(), u"first@example.org");
  EXPECT_EQ(InvalidSettingsMessage(parse), u"Internal error: Invalid settings resource ($5).");
  TSettingsBlockParse wide;
  wide.invalidType = 0x13;
  EXPECT_EQ(InvalidSettingsMessage(wide), u"Internal error: Invalid settings resource ($13).");
}

TEST(SettingsBlock, HeaderOfAnotherClassIgnoresTheBlock) {
  TSettingsBlockParse parse = ParseSettingsBlock(Fixture("other-class.bin"));
  EXPECT_FALSE(parse.headerMatches);
  EXPECT_TRUE(parse.properties.empty());
  EXPECT_FALSE(ParseSettingsBlock("").headerMatches);
  EXPECT_FALSE(ParseSettingsBlock("TPF0").headerMatches);
}

TEST(SettingsBlock, EveryTruncationEndsTheParseSafelyKeepingWholeProperties) {
  std::string block = Fixture("values.bin");
  TSettingsBlockParse full = ParseSettingsBlock(block);
  size_t header = 4 + 13 + 12;
  for (size_t n = header; n < block.size() - 1; ++n) {
    // A copy of exactly n bytes, so ASan sees any read past the end.
    std::string cut(block.data(), n);
    TSettingsBlockParse parse = ParseSettingsBlock(cut);
    ASSERT_TRUE(parse.headerMatches);
    ASSERT_TRUE(parse.truncated) << n;
    ASSERT_LE(parse.properties.size(), full.properties.size());
    for (size_t i = 0; i < parse.properties.size(); ++i)
      EXPECT_EQ(parse.properties[i].name, full.properties[i].name);
  }
  TSettingsBlockParse parse;
  parse.truncated = true;
  EXPECT_EQ(InvalidSettingsMessage(parse), u"Internal error: Invalid settings resource (truncated).");
}

TEST(SettingsBlock, HugeLengthsAreTruncationNotOverflow) {
  std::string head = std::string("TPF0\x0cTRuvexExcept\x0bRuvexExcept", 29);
  for (char type : {'\x0c', '\x12', '\x14'}) {
    std::string block = head + "\x01X" + type + std::string("\xff\xff\xff\xff", 4) + "abc";
    TSettingsBlockParse parse = ParseSettingsBlock(block);
    EXPECT_TRUE(parse.truncated) << int(type);
    EXPECT_TRUE(parse.properties.empty());
  }
}

TEST(SettingsBlock, Utf8StringType) {
  std::string block = std::string("TPF0\x0cTRuvexExcept\x0bRuvexExcept", 29) + "\x04Name\x14" +
                      std::string("\x05\x00\x00\x00", 4) + "a\xc3\xa9\xe2\x82" + std::string("\x00", 1);
  // The last UTF-8 sequence is cut: it becomes U+FFFD, nothing is lost silently.
  TSettingsBlockParse parse = ParseSettingsBlock(block);
  ASSERT_EQ(parse.properties.size(), 1u);
  EXPECT_EQ(parse.properties[0].Str().substr(0, 2), u"a\u00e9");
  EXPECT_FALSE(parse.Stopped());
}

TEST(SettingsBlock, WriterMatchesTheIndependentWriterAndRoundTrips) {
  std::string fpc = Fixture("values.bin");
  TSettingsBlockParse parse = ParseSettingsBlock(fpc);
  auto ours = WriteSettingsBlock(parse.properties);
  ASSERT_TRUE(ours.has_value());
  // We write the identifier as a plain string; everything else is identical.
  std::string expected = fpc;
  size_t at = expected.find("SmtpServer\x07");
  ASSERT_NE(at, std::string::npos);
  expected[at + 10] = '\x06';
  EXPECT_EQ(*ours, expected);

  TREProperty empty;
  empty.name = "MailFrom";
  EXPECT_EQ(ParseSettingsBlock(*WriteSettingsBlock({empty})).properties.at(0).Str(), u"");
  TREProperty longName;
  longName.name = std::string(256, 'n');
  EXPECT_FALSE(WriteSettingsBlock({longName}).has_value());
}
