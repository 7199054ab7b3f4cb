#pragma once
// Saving a bug report into the bug report file: the file is held for this
// save alone while its new content is computed from the old one, and the
// new content replaces the old in one step, so that a failed save leaves
// the old file whole.
#include <functional>
#include <string>

#include "common/files/FileSystem.h"
#include "reporter/core/reportfile/ReportFileMerge.h"
#include "reporter/core/reportfile/ReportFileName.h"

namespace ruvex {

struct TReportFileSave {
  std::u16string fileName;  // empty: decided from rawBugRepFile
  std::u16string report;
  bool automatic = true;  // no dialog; relative names behind the program
  std::u16string rawBugRepFile = u"bugreport.qbr";  // BugRepFile, unexpanded
  TPlaceholderExpander expand;                       // the settings' placeholders
  TReportFileOptions options;
};

struct TReportFileContext {
  std::u16string executablePath;  // C:\App\Tool.exe
  std::u16string roamingAppData;  // the user's roaming application data
  // Waits between attempts to get hold of a file that another save holds.
  std::function<void(int milliseconds)> pause;
};

// How often and how long a held file is asked for before giving up: about
// half a second in all.
inline constexpr int kHoldAttempts = 10;
inline constexpr int kHoldPauseMilliseconds = 50;
// Saves that lost the file to another save between release and replace.
inline constexpr int kSaveRounds = 3;
// Larger files are read from their end only.
inline constexpr std::uint64_t kMaxReadBytes = 32u << 20;

// True when the report is in the file. An interactive save needs its file
// name from the save dialog; without one it fails here. Missing folders of
// the path are made.
bool WriteBugReportFile(kelvane::IFileSystem& files, const TReportFileContext& context, const TReportFileSave& save,
                        std::u16string* writtenTo = nullptr);

}  // namespace ruvex
