#include "reporter/core/report/ReportHeader.h"

#include <gtest/gtest.h>

#include <set>
#include <stdexcept>

#include "reporter/core/report/ReportText.h"

namespace ruvex {
namespace {

class TFakeHeaderSource final : public IHeaderSource {
 public:
  std::u16string wtsClient;
  std::u16string module = u"C:\\App\\Tool.exe";
  std::set<int> processorKeys = {0, 1, 2, 3};
  bool failUserName = false;

  std::u16string ComputerName() override { return u"BUILD-PC"; }
  std::u16string WtsClientName() override { return wtsClient; }
  std::u16string UserName() override {
    if (failUserName) throw std::runtime_error("no user");
    return u"anna";
  }
  bool UserIsAdministrator() override { return true; }
  std::u16string RegisteredOwner() override { return u"Anna"; }
  std::u16string RegisteredOrganization() override { return u"Works"; }
  std::u16string OperatingSystem() override { return u"Windows 10 x64"; }
  std::uint32_t BuildNumber() override { return 19045; }
  std::u16string SystemLanguage() override { return u"English"; }
  std::int64_t SystemUpTimeMilliseconds() override { return (2 * 3600 + 5 * 60 + 9) * 1000; }
  std::int64_t ProgramUpTimeMilliseconds() override { return 850; }
  std::u16string ProcessorName() override { return u"  Fast  CPU  @ 3 GHz "; }
  bool HasProcessorKey(int number) override { return processorKeys.count(number) > 0; }
  std::optional<TMemoryAmounts> PhysicalMemory() override {
    return TMemoryAmounts{1048576 * 3 / 2, 1048576ull * 8192 - 1};
  }
  std::optional<TResourcePercent> SystemResources() override { return std::nullopt; }
  std::optional<TDriveSpace> SystemDriveSpace() override { return TDriveSpace{u'C', 1536}; }
  std::optional<TDriveSpace> ProgramDriveSpace() override { return TDriveSpace{u'D', 512}; }
  std::optional<TDisplayMode> DisplayMode() override { return TDisplayMode{1920, 1080, 16, 2}; }
  std::uint32_t ProcessId() override { return 0x1a2c; }
  std::uint64_t AllocatedMemory() override { return 5 * 1048576; }
  std::uint64_t LargestFreeBlock() override { return 1073741824; }
  std::u16string CommandLineWithParameters() override { return u"Tool.exe /x"; }
  std::u16string ExecutableFile() override { return u"C:\\App\\Tool.exe"; }
  std::u16string ModuleFile() override { return module; }
  std::optional<TReportTime> LastWriteTime(const std::u16string& file) override {
    return file == u"C:\\App\\Tool.exe" ? TReportTime{2026, 1, 2, 3, 4} : TReportTime{2025, 5, 6, 7, 8};
  }
  std::u16string FileVersion(const std::u16string& file) override {
    return file == u"C:\\App\\Tool.exe" ? u"1.2.3.4" : u"9.9.9.9";
  }
  std::u16string LoadedModuleVersion(std::u16string_view) override { return u""; }
  int LinkerMajorVersion(const std::u16string&) override { return 2; }
};

THeaderFacts Facts() {
  THeaderFacts facts;
  facts.created = {2026, 12, 10, 9, 5, 7, 45};
  facts.exceptionNumber = 3;
  facts.exceptionClass = u"EAccessViolation";
  facts.exceptionMessage = u"Access violation\r\nat address 0!!";
  facts.pluginFields = {{u"inventory", [] { return std::u16string(u"ok"); }},
                        {u"broken", []() -> std::u16string { throw 1; }}};
  return facts;
}

TEST(ReportHeaderTest, FieldsComeInTheFixedOrderWithTheirFormats) {
  TFakeHeaderSource source;
  auto header = BuildReportHeader(source, Facts());
  const TReportItems expected = {
      {u"date/time", u"2026-12-10, 09:05:07, 45ms"},
      {u"computer name", u"BUILD-PC"},
      {u"user name", u"anna  <admin>"},
      {u"registered owner", u"Anna / Works"},
      {u"operating system", u"Windows 10 x64 build 19045"},
      {u"system language", u"English"},
      {u"system up time", u"2 hours 5 minutes"},
      {u"program up time", u"850 milliseconds"},
      {u"processors", u"4x Fast CPU @ 3 GHz"},
      {u"physical memory", u"2/8192 MB (free/total)"},
      {u"free disk space", u"(C:) 1.50 KB (D:) 512 Bytes"},
      {u"display mode", u"1920x1080, 32 bit"},
      {u"process id", u"$1a2c"},
      {u"allocated memory", u"5.00 MB"},
      {u"largest free block", u"1.00 GB"},
      {u"executable", u"Tool.exe"},
      {u"exec. date/time", u"2026-01-02 03:04"},
      {u"version", u"1.2.3.4"},
      {u"compiled with", u"mingw-w64 GCC, C++20"},
      {u"RuvexExcept version", u"5.0.99"},
      {u"inventory", u"ok"},
      {u"callstack crc", u"will be calculated soon"},
      {u"exception number", u"3"},
      {u"exception class", u"EAccessViolation"},
      {u"exception message", u"Access violation at address 0."},
  };
  EXPECT_EQ(header->Items(), expected);
}

// The empty "wts client name" and the failing user name are left out; the
// add index still stands right in front of "callstack crc".
TEST(ReportHeaderTest, LaterFieldsLandInFrontOfTheChecksumWhateverWasLeftOut) {
  TFakeHeaderSource source;
  source.failUserName = true;
  auto header = BuildReportHeader(source, Facts());
  EXPECT_EQ(header->FindItem(u"user name"), -1);
  EXPECT_EQ(header->FindItem(u"wts client name"), -1);
  header->SetContent(u"first added", u"1");
  header->SetContent(u"second added", u"2");
  const int crc = header->FindItem(u"callstack crc");
  EXPECT_EQ(header->GetItem(crc - 2), u"first added");
  EXPECT_EQ(header->GetItem(crc - 1), u"second added");
  EXPECT_EQ(header->GetItem(crc - 3), u"inventory");
}

TEST(ReportHeaderTest, ALibraryModuleAFreezeAndAMessageLikeTheClass) {
  TFakeHeaderSource source;
  source.module = u"C:\\App\\Part.dll";
  source.wtsClient = u"REMOTE-1";
  source.processorKeys = {0};
  THeaderFacts facts = Facts();
  facts.showCommandLine = true;
  facts.versionVar = u"2.0 beta";
  facts.exceptionMessage = facts.exceptionClass;
  auto header = BuildReportHeader(source, facts);
  EXPECT_EQ(header->GetContent(u"wts client name"), u"REMOTE-1");
  EXPECT_EQ(header->GetContent(u"processor"), u"Fast CPU @ 3 GHz");
  EXPECT_EQ(header->GetContent(u"command line"), u"Tool.exe /x");
  EXPECT_EQ(header->GetContent(u"current module"), u"Part.dll");
  EXPECT_EQ(header->GetContent(u"module date/time"), u"2025-05-06 07:08");
  EXPECT_EQ(header->FindItem(u"exec. date/time"), -1);
  EXPECT_EQ(header->GetContent(u"version"), u"2.0 beta");
  EXPECT_EQ(header->FindItem(u"exception message"), -1);

  facts.frozen = true;
  facts.frozenMessage = u"The application seems to be frozen.";
  header = BuildReportHeader(source, facts);
  EXPECT_EQ(header->FindItem(u"exception class"), -1);
  EXPECT_EQ(header->GetContent(u"exception message"), u"The application seems to be frozen.");
}

TEST(ReportHeaderTest, ProcessorsAreCountedByProbingKeys) {
  const struct {
    int present;  // keys 0 .. present-1 exist
    int count;
  } cases[] = {{0, 1}, {1, 1}, {2, 2}, {16, 16}, {17, 17}, {31, 31}, {32, 32}, {100, 100}, {255, 255},
               {256, 256}, {400, 256}};
  for (const auto& c : cases)
    EXPECT_EQ(CountProcessors([&](int n) { return n < c.present; }), c.count) << c.present;
}

TEST(ReportHeaderTest, MessagesEndInOneDot) {
  EXPECT_EQ(ReportMessage(u"Failed!!"), u"Failed.");
  EXPECT_EQ(ReportMessage(u"Done."), u"Done.");
  EXPECT_EQ(ReportMessage(u""), u".");
  const std::uint32_t first = NextExceptionNumber();
  EXPECT_EQ(NextExceptionNumber(), first + 1);
}

}  // namespace
}  // namespace ruvex
