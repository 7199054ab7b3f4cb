// Version texts of real DLLs against the versions windres reads.
#include "reporter/engines/pe/resources/Version.h"

#include <gtest/gtest.h>

#include <regex>

#include "common/text/Utf.h"
#include "reporter/engines/testing/TestImages.h"

namespace ruvex {
namespace {

TEST(VersionReal, AgreesWithTheFixedVersionWindresReads) {
  const std::regex fileVersion(R"(FILEVERSION (\d+), (\d+), (\d+), (\d+))");
  for (const char* image : {"kernel32.dll", "ntdll.dll", "comctl32.dll", "shell32.dll", "msvcrt.dll"}) {
    std::string path;
    ASSERT_TRUE(testing::FindTestImage(image, path));
    const std::string rc =
        testing::CommandOutput("i686-w64-mingw32-windres -i '" + path + "' -O rc | grep -m1 ' FILEVERSION '");
    std::smatch m;
    ASSERT_TRUE(std::regex_search(rc, m, fileVersion)) << image;
    const std::string expected = std::string(m[1]) + "." + std::string(m[2]) + "." + std::string(m[3]) + "." + std::string(m[4]);
    EXPECT_EQ(kelvane::Utf16ToUtf8(FileVersionTextOfImageFile(path)), expected) << image;
  }
}

}  // namespace
}  // namespace ruvex
