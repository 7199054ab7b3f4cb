// Merge and trimming over arbitrary existing file contents: whatever the old
// file holds, the new report ends the file whole and the size stays bounded.
#include <cstddef>
#include <cstdint>
#include <string>

#include "common/text/Utf.h"
#include "reporter/core/report/ReportFormat.h"
#include "reporter/core/report/ReportText.h"
#include "reporter/core/reportfile/ReportFileMerge.h"
#include "reporter/core/reportfile/ReportFileText.h"

namespace {

void Require(bool condition) {
  if (!condition) __builtin_trap();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace ruvex;
  if (size < 4) return 0;
  TReportFileOptions options;
  options.appendBugReports = (data[0] & 1) != 0;
  options.noDupExcepts = (data[0] & 2) != 0;
  options.noDupFreezes = (data[0] & 4) != 0;
  options.dupExceptDef = static_cast<TREDupDef>((data[0] >> 3) % 3);
  options.dupFreezeDef = static_cast<TREDupDef>((data[0] >> 5) % 3);
  options.sizeLimit = (data[1] & 0x80) ? 0 : std::uint64_t(data[1]) * 64 + data[2];
  const bool oldIsTail = (data[3] & 1) != 0;
  const std::string old(reinterpret_cast<const char*>(data) + 4, size - 4);

  // The new report: its checksum repeats one the old content may hold.
  const std::uint32_t crc = size > 8 ? data[4] | (data[5] << 8) : 0;
  TReportItems header = {{u"date/time", u"2026-12-10, 09:00:00, 5ms"},
                         {u"executable", kelvane::Utf8ToUtf16(old.substr(0, 8))},
                         {u"callstack crc", CallstackCrcText(crc, 1, 2)}};
  if (data[3] & 2) header.emplace_back(u"exception class", u"EAccessViolation");
  const std::u16string report =
      RenderBugReport(header, {{u"main thread", kelvane::Utf8ToUtf16(old.substr(0, 200))}});
  const std::string reportBytes = kelvane::Utf16ToUtf8(report);

  const std::string file = ComposeReportFile(old, report, options, oldIsTail);
  Require(file.size() >= reportBytes.size() + 4 && file.compare(file.size() - 4, 4, "\r\n\r\n") == 0);
  const auto starts = ReportStarts(file);
  Require(!starts.empty());
  const std::string_view last = std::string_view(file).substr(starts.back());
  Require(ReadReportField(last, "callstack crc") == ReadReportField(reportBytes, "callstack crc"));
  Require(last.size() >= reportBytes.size() + 4 && last.size() <= reportBytes.size() + 64);
  Require(file.size() <= old.size() + last.size() + 4);
  return 0;
}
