#pragma once
// The attachment files of one send, made in the send's own folder: the copy
// of the bug report file, the screenshot, the additional files, and the zip
// archives that group them.
#include <optional>
#include <string>
#include <vector>

#include "reporter/delivery/sending/DeliveryChannels.h"

namespace ruvex {

class INVBitmap;

inline constexpr char16_t kBugReportField[] = u"BugReport";
inline constexpr char16_t kScreenShotField[] = u"ScreenShot";
inline constexpr char16_t kScreenShotFile[] = u"screenShot.png";

// The largest bug report file that is copied into a send.
inline constexpr std::uint64_t kMaxCopiedReportFile = 64u << 20;

struct TReportCopy {
  std::u16string copyPath;  // empty: no copy was made
  // The bug report file the copy holds, with its size and time when copied;
  // empty when the copy holds the current report alone.
  std::u16string sourcePath;
  kelvane::TFileStat sourceStat;
  bool deleteSource = false;  // DelBugRepFile, once the copy came from the file
};

// The bug report file of the settings: absolute behind the program's
// folder; when missing and named without a folder, the one in the user's
// application data.
std::u16string BugReportSourcePath(const TAttachConfig& config, const TSendEnvironment& env);

// The copy of the bug report file (or of the current report alone) in the
// send's folder. The exception's mail-was-saved state is as before.
TReportCopy PrepareReportCopy(const TAttachConfig& config, const std::u16string& bugReport, TSendEnvironment& env);

// screenShot.png in the send's folder at the depth's PNG format; empty when
// it was not written.
std::u16string WriteScreenShotFile(INVBitmap& screenShot, std::int32_t depth, TSendEnvironment& env);

// The existing files in order; entries with a zip name go, once per name
// (case-insensitive), into an archive of that name in the send's folder.
// Zip and send-as names keep their file name part only.
TPreparedAttachments PrepareAttachments(const std::vector<TREAttachment>& entries, TSendEnvironment& env);

// Deletes the bug report file the copy came from, unless it changed (size
// or time) since it was copied: a report written meanwhile is kept.
bool DeleteReportSource(const TReportCopy& copy, kelvane::IFileSystem& files);

}  // namespace ruvex
