#pragma once
// A save's inputs as the settings (or exception) object gives them.
#include "reporter/core/settings/Settings.h"
#include "reporter/core/reportfile/ReportFileWriter.h"

namespace ruvex {

TReportFileOptions ReportFileOptionsOf(const IRESettings& settings);

// BugRepFile unexpanded, with an expander of the settings' placeholders;
// the other save settings; the report and, when given, its file name.
TReportFileSave ReportFileSaveOf(const TIRESettings& settings, std::u16string report,
                                 std::u16string fileName = {}, bool automatic = true);

// The executable and the user's roaming application data.
TReportFileContext ReportFileContextOf(const TIRESettings& settings);

}  // namespace ruvex
