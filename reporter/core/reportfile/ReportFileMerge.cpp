#include "reporter/core/reportfile/ReportFileMerge.h"

#include <vector>

#include "common/text/Utf.h"
#include "reporter/core/report/ReportFormat.h"
#include "reporter/core/reportfile/ReportFileText.h"

namespace ruvex {
namespace {

constexpr std::string_view kReportEnd = "\r\n\r\n";

bool Agree(std::string_view a, std::string_view b, std::string_view field) {
  return ReadReportField(a, field) == ReadReportField(b, field);
}

// "count" of an earlier report: decimal, missing or unreadable means 1.
std::uint64_t CountOf(std::string_view report) {
  const auto text = ReadReportField(report, "count");
  if (!text || text->empty() || text->size() > 9) return 1;
  std::uint64_t count = 0;
  for (char c : *text) {
    if (c < '0' || c > '9') return 1;
    count = count * 10 + static_cast<std::uint64_t>(c - '0');
  }
  return count == 0 ? 1 : count;
}

struct TRange {
  std::size_t begin = 0, end = 0;
};

std::vector<TRange> ReportRanges(std::string_view content) {
  const std::vector<std::size_t> starts = ReportStarts(content);
  std::vector<TRange> ranges;
  for (std::size_t i = 0; i < starts.size(); ++i)
    ranges.push_back({starts[i], i + 1 < starts.size() ? starts[i + 1] : content.size()});
  return ranges;
}

// Cuts the newest earlier report of the same crash out of content and
// gives the new report its count.
void MergeDuplicate(std::string& content, std::string& report, std::string_view key) {
  const std::vector<TRange> ranges = ReportRanges(content);
  for (auto it = ranges.rbegin(); it != ranges.rend(); ++it) {
    const std::string_view earlier = std::string_view(content).substr(it->begin, it->end - it->begin);
    if (!IsDuplicateReport(earlier, report, key)) continue;
    const std::uint64_t count = CountOf(earlier) + 1;
    report = InsertReportFieldAfter(report, "callstack crc", "count", std::to_string(count));
    content.erase(it->begin, it->end - it->begin);
    return;
  }
}

}  // namespace

std::optional<std::string> DuplicateKey(std::string_view report, const TReportFileOptions& options) {
  const auto crc = ReadReportField(report, "callstack crc");
  if (!crc || crc->size() != kCallstackCrcLength) return std::nullopt;
  const bool freeze = !ReadReportField(report, "exception class");
  if (!(freeze ? options.noDupFreezes : options.noDupExcepts)) return std::nullopt;
  switch (freeze ? options.dupFreezeDef : options.dupExceptDef) {
    case ddCrashStackIdentical:
      return crc->substr(0, 20);
    case ddAllStacksIdentical:
      return *crc;
    default:
      return crc->substr(0, 9);
  }
}

bool IsDuplicateReport(std::string_view earlier, std::string_view report, std::string_view key) {
  const auto crc = ReadReportField(earlier, "callstack crc");
  if (!crc || crc->compare(0, key.size(), key) != 0 || crc->size() < key.size()) return false;
  for (std::string_view field : {"executable", "current module", "exception class", "version"})
    if (!Agree(earlier, report, field)) return false;
  if (!ReadReportField(earlier, "version"))
    return Agree(earlier, report, "exec. date/time") && Agree(earlier, report, "module date/time");
  return true;
}

std::string TrimToLimit(std::string_view content, std::uint64_t limit, bool headCut) {
  if (limit == 0 || (!headCut && content.size() <= limit)) return std::string(content);
  const std::uint64_t keepBelow = limit - limit / 4;
  const std::vector<std::size_t> starts = ReportStarts(content);
  std::size_t last = std::string_view::npos;
  for (std::size_t start : starts) {
    if (start == 0) continue;  // only starts behind a line break count
    last = start;
    // Measured from the line break in front of the report.
    if (content.size() - (start - 2) < keepBelow) return std::string(content.substr(start));
  }
  // No start leaves the tail small enough: keep only the newest report, so
  // that the file cannot grow without bound.
  if (last != std::string_view::npos) return std::string(content.substr(last));
  return {};
}

std::string ComposeReportFile(std::string_view oldContent, std::u16string_view report,
                              const TReportFileOptions& options, bool oldIsTail) {
  std::string newReport = kelvane::Utf16ToUtf8(report);
  if (!options.appendBugReports) return newReport + std::string(kReportEnd);

  std::string content(oldContent);
  const bool overLimit = options.sizeLimit != 0 && (oldIsTail || oldContent.size() > options.sizeLimit);
  if (!content.empty())
    if (const auto key = DuplicateKey(newReport, options)) MergeDuplicate(content, newReport, *key);
  if (overLimit) content = TrimToLimit(content, options.sizeLimit, true);
  // A cut or foreign ending must not swallow the new report: it starts
  // after a blank line, where a report start is recognised.
  if (!content.empty()) {
    if (content.size() < 2 || content.compare(content.size() - 2, 2, "\r\n") != 0) content += "\r\n";
    if (content.size() < 4 || content.compare(content.size() - 4, 4, kReportEnd) != 0) content += "\r\n";
  }
  return content + newReport + std::string(kReportEnd);
}

}  // namespace ruvex
