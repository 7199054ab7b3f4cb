#include "reporter/plugins/processes/ProcessList.h"

#include <gtest/gtest.h>

#include <map>

using namespace ruvex;

namespace {

// The system's process information as a table; records the rights asked.
class TFakeProcessSystem final : public IProcessSystem {
 public:
  bool windows9x = false;
  std::vector<TProcessRecord> records;
  std::map<std::uint32_t, std::u16string> paths;
  std::map<std::uint32_t, TProcessCounters> counters;
  std::vector<std::pair<std::uint32_t, std::uint32_t>> opened;  // id, rights

  bool IsWindows9x() const override { return windows9x; }
  std::vector<TProcessRecord> SystemProcesses() override { return records; }
  std::vector<TProcessRecord> SnapshotProcesses() override { return records; }
  std::optional<std::u16string> ProcessImagePath(std::uint32_t id, std::uint32_t access) override {
    opened.push_back({id, access});
    auto it = paths.find(id);
    return it == paths.end() ? std::nullopt : std::optional(it->second);
  }
  std::optional<TProcessCounters> ProcessCounters(std::uint32_t id, std::uint32_t access) override {
    opened.push_back({id, access});
    auto it = counters.find(id);
    return it == counters.end() ? std::nullopt : std::optional(it->second);
  }
  std::u16string SystemDirectory() override { return u"C:\\Windows\\system32"; }
};

TEST(ProcessList, PinnedLinesWithSessions) {
  TFakeProcessSystem system;
  system.records = {{0, 0, u""},
                    {4, 0, u"System"},
                    {0x1a8, 1, u"smss.exe"},
                    {0x2f0, 1, u"csrss.exe"},
                    {0x1234, 12, u"Kelvane.exe"}};
  system.paths[0x1a8] = u"\\SystemRoot\\System32\\smss.exe";
  system.paths[0x2f0] = u"\\??\\C:\\Windows\\system32\\csrss.exe";
  system.paths[0x1234] = u"C:\\Projects\\Kelvane.exe";
  system.counters[4] = {0x8000, 0, 0};
  system.counters[0x2f0] = {128, 11, 3};
  system.counters[0x1234] = {32, 120, 45};
  EXPECT_EQ(FormatProcessList(GatherProcesses(system)),
            u"0000 Idle        0  0   0               \r\n"
            u"0004 System      0  0   0  above normal \r\n"
            u"01a8 smss.exe    1  0   0               C:\\Windows\\system32\r\n"
            u"02f0 csrss.exe   1  11  3  high         C:\\Windows\\system32\r\n"
            u"1234 Kelvane.exe 12 120 45 normal       C:\\Projects");
  // The idle process is never opened; paths with query and read, counters with query.
  const std::vector<std::pair<std::uint32_t, std::uint32_t>> expected = {
      {4, 0x410}, {4, 0x400}, {0x1a8, 0x410}, {0x1a8, 0x400}, {0x2f0, 0x410}, {0x2f0, 0x400}, {0x1234, 0x410},
      {0x1234, 0x400}};
  EXPECT_EQ(system.opened, expected);
}

TEST(ProcessList, NoSessionColumnWhenAllAreZeroAndNamesKeptWhenPathsFail) {
  TFakeProcessSystem system;
  system.records = {{8, 0, u"svchost.exe"}, {0x10, 0, u"\\Device\\x\\tool.exe"}};
  system.counters[8] = {64, 2, 1};
  EXPECT_EQ(FormatProcessList(GatherProcesses(system)),
            u"08 svchost.exe 2 1 idle \r\n"
            u"10 tool.exe    0 0      \\Device\\x");
  EXPECT_EQ(FormatProcessList({}), u"");
}

TEST(ProcessList, Windows9xSnapshotTakesNoPaths) {
  TFakeProcessSystem system;
  system.windows9x = true;
  system.records = {{0xfff1a2b3, 0, u"C:\\WINDOWS\\EXPLORER.EXE"}};
  const auto rows = GatherProcesses(system);
  ASSERT_EQ(rows.size(), 1u);
  EXPECT_EQ(rows[0].name, u"EXPLORER.EXE");
  EXPECT_EQ(rows[0].directory, u"C:\\WINDOWS");
  EXPECT_EQ(system.opened, (std::vector<std::pair<std::uint32_t, std::uint32_t>>{{0xfff1a2b3, 0x400}}));
}

TEST(ProcessList, NativePathRewrites) {
  const std::pair<std::u16string, std::u16string> cases[] = {
      {u"\\systemroot\\SYSTEM32\\drivers\\x.sys", u"C:\\Windows\\system32\\drivers\\x.sys"},
      {u"\\SystemRoot\\System32", u"\\SystemRoot\\System32"},  // no backslash after it
      {u"\\??\\C:\\a.exe", u"C:\\a.exe"},
      {u"\\?\?\\", u""},
      {u"C:\\a.exe", u"C:\\a.exe"},
  };
  for (const auto& [native, win32] : cases) EXPECT_EQ(NativePathToWin32(native, u"C:\\Windows\\system32"), win32);
}

}  // namespace
