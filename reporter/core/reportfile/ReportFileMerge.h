#pragma once
// The new content of the bug report file, computed in memory from the old
// content and the new report: a repeated crash merged into its earlier
// report with a "count", the oldest reports dropped to keep the size limit.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "reporter/core/properties/Properties.h"

namespace ruvex {

struct TReportFileOptions {
  bool appendBugReports = true;      // AppendBugReps
  std::uint64_t sizeLimit = 100000;  // BugRepFileSize; 0: no limit
  bool noDupExcepts = true;
  bool noDupFreezes = true;
  TREDupDef dupExceptDef = ddExceptAddrIdentical;
  TREDupDef dupFreezeDef = ddExceptAddrIdentical;
};

// The beginning of the report's "callstack crc" value that a repeat shares;
// none when the value is not complete or duplicates are kept.
std::optional<std::string> DuplicateKey(std::string_view report, const TReportFileOptions& options);

// Whether an earlier report shows the same crash of the same program.
bool IsDuplicateReport(std::string_view earlier, std::string_view report, std::string_view key);

// Keeps whole reports from the first start whose tail is below three
// quarters of the limit, else from the last start; content without any
// report start is dropped. headCut: the content is the tail of a larger
// file, so it is over the limit whatever its size.
std::string TrimToLimit(std::string_view content, std::uint64_t limit, bool headCut = false);

// The file's new bytes: the old content (merged and trimmed when reports
// are appended), then the report in UTF-8 and a blank line. oldIsTail: the
// old content is only the end of the file.
std::string ComposeReportFile(std::string_view oldContent, std::u16string_view report,
                              const TReportFileOptions& options, bool oldIsTail = false);

}  // namespace ruvex
