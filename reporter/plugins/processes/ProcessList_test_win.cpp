#include "reporter/plugins/processes/ProcessList.h"

#include <windows.h>

#include <gtest/gtest.h>

#include "common/text/HexText.h"
#include "common/text/Utf.h"

using namespace ruvex;

// The running system lists this test program, by its own id and name.
TEST(ProcessListWin, ListsTheOwnProcess) {
  const std::u16string text = ProcessListPlugin();
  ASSERT_FALSE(text.empty());
  const std::u16string ownId = kelvane::HexLower16(GetCurrentProcessId());
  bool found = false;
  std::size_t start = 0;
  while (start < text.size()) {
    std::size_t end = text.find(u"\r\n", start);
    if (end == std::u16string::npos) end = text.size();
    const std::u16string line = text.substr(start, end - start);
    const std::size_t space = line.find(u' ');
    const std::u16string id = line.substr(0, space);
    if (id.substr(id.find_first_not_of(u'0') == std::u16string::npos ? id.size() - 1 : id.find_first_not_of(u'0')) ==
        ownId)
      found = line.find(u"ruvex_list_processes_tests.exe") != std::u16string::npos;
    start = end + 2;
  }
  EXPECT_TRUE(found) << kelvane::Utf16ToUtf8(text);
}
