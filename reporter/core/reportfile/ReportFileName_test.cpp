#include "reporter/core/reportfile/ReportFileName.h"

#include <gtest/gtest.h>

#include "common/text/Utf.h"

namespace ruvex {
namespace {

TEST(ReportFileNameTest, AutomaticNamesBecomeAbsoluteWithoutClimbingAboveTheRoot) {
  const struct {
    const char16_t* name;
    const char16_t* absolute;
  } cases[] = {
      {u"bugreport.qbr", u"C:\\App\\bugreport.qbr"},
      {u"ab", u"C:\\App\\ab"},
      {u"logs\\bug.txt", u"C:\\App\\logs\\bug.txt"},
      {u"..\\bug.txt", u"C:\\bug.txt"},
      {u"\\logs\\bug.txt", u"C:\\logs\\bug.txt"},
      {u"D:\\x\\.\\y\\..\\bug.txt", u"D:\\x\\bug.txt"},
      {u"C:\\..\\x", u"C:\\x"},
      {u"C:\\a\\..\\..\\..\\x", u"C:\\x"},
      {u"\\\\server\\share\\..\\x", u"\\\\server\\share\\x"},
      {u"C:\\a\\.\\.\\b\\..\\c\\bug", u"C:\\a\\c\\bug"},
  };
  for (const auto& c : cases) EXPECT_EQ(AbsoluteReportFileName(c.name, u"C:\\App\\"), c.absolute) << kelvane::Utf16ToUtf8(c.name);
}

std::u16string Expand(std::u16string_view text) {
  std::u16string result(text);
  const std::pair<std::u16string_view, std::u16string_view> values[] = {
      {u"%appname%", u"Tool"}, {u"%exceptMsg%", u"a\\..\\b/c: d"}, {u"%appdata%", u"C:\\Users\\u\\Roaming"}};
  for (const auto& [name, value] : values)
    for (std::size_t at; (at = result.find(name)) != std::u16string::npos;) result.replace(at, name.size(), value);
  return result;
}

TEST(ReportFileNameTest, PlaceholdersInTheFileNameCannotAddFoldersOrDrives) {
  EXPECT_EQ(ExpandFileNamePart(u"%appname%-%exceptMsg%.txt", Expand), u"Tool-a_.._b_c. d.txt");
  EXPECT_EQ(ExpandFileNamePart(u"50%-%appname%%", Expand), u"50%-Tool%");
  EXPECT_EQ(ExpandFileNamePart(u"C:bug.txt", Expand), u"C:bug.txt");  // typed, not inserted
  EXPECT_EQ(ExpandReportFileName(u"%appdata%\\Tool\\%exceptMsg%.qbr", Expand),
            u"C:\\Users\\u\\Roaming\\Tool\\a_.._b_c. d.qbr");
  EXPECT_EQ(ExpandReportFileName(u"plain.qbr", nullptr), u"plain.qbr");
}

TEST(ReportFileNameTest, TheFallbackLivesInTheProgramsApplicationDataFolder) {
  EXPECT_EQ(FallbackReportFileName(u"%appname%:1.qbr", u"C:\\Users\\u\\Roaming", u"C:\\App\\Tool.v2.exe", Expand),
            u"C:\\Users\\u\\Roaming\\Tool.v2\\Tool.1.qbr");
  EXPECT_EQ(FallbackReportFileName(u"bug.qbr", u"C:\\R\\", u"C:\\App\\Tool", nullptr), u"C:\\R\\Tool\\bug.qbr");
}

}  // namespace
}  // namespace ruvex
