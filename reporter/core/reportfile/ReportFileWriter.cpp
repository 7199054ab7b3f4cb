#include "reporter/core/reportfile/ReportFileWriter.h"

#include <chrono>
#include <thread>

#include "common/text/FileNames.h"

namespace ruvex {

using kelvane::FolderOf;
using kelvane::IExclusiveFile;
using kelvane::IFileSystem;
namespace {

std::unique_ptr<IExclusiveFile> HoldWithRetries(IFileSystem& files, const TReportFileContext& context,
                                                const std::u16string& path) {
  files.CreateFolders(FolderOf(path));
  for (int attempt = 1;; ++attempt) {
    if (auto hold = files.OpenExclusive(path)) return hold;
    if (attempt == kHoldAttempts) return nullptr;
    if (context.pause)
      context.pause(kHoldPauseMilliseconds);
    else
      std::this_thread::sleep_for(std::chrono::milliseconds(kHoldPauseMilliseconds));
  }
}

std::u16string ProgramFolder(std::u16string_view executablePath) {
  std::u16string folder = FolderOf(executablePath);
  if (folder.empty() || folder.back() != u'\\') folder += u'\\';
  return folder;
}

enum class TSaveResult { saved, readFailed, replaceFailed };

struct TFileContent {
  std::string bytes;
  bool headCut = false;  // only the end of a larger file
};

// The content, or its last kMaxReadBytes bytes when the file is larger.
std::optional<TFileContent> ReadTail(IExclusiveFile& file) {
  const auto size = file.Size();
  if (!size) return std::nullopt;
  TFileContent content;
  content.headCut = *size > kMaxReadBytes;
  auto bytes = file.ReadFrom(content.headCut ? *size - kMaxReadBytes : 0);
  if (!bytes) return std::nullopt;
  content.bytes = std::move(*bytes);
  return content;
}

// One save attempt: the merge and the trimming run on what the hold read,
// and the whole new content replaces the old one.
TSaveResult SaveInto(IExclusiveFile& hold, const TReportFileSave& save) {
  TFileContent old;
  if (save.options.appendBugReports) {
    auto content = ReadTail(hold);
    // Unreadable, or too large to keep whole without a limit: the old file
    // stays as it is rather than being cut.
    if (!content || (content->headCut && save.options.sizeLimit == 0)) return TSaveResult::readFailed;
    old = std::move(*content);
  }
  const std::string bytes = ComposeReportFile(old.bytes, save.report, save.options, old.headCut);
  return hold.Replace(bytes) ? TSaveResult::saved : TSaveResult::replaceFailed;
}

}  // namespace

bool WriteBugReportFile(IFileSystem& files, const TReportFileContext& context, const TReportFileSave& save,
                        std::u16string* writtenTo) {
  if (save.report.empty()) return false;
  std::u16string path = save.fileName;
  const bool named = !path.empty();
  if (!named) {
    if (!save.automatic) return false;  // the save dialog decides the name
    path = ExpandReportFileName(save.rawBugRepFile, save.expand);
  }
  if (save.automatic) path = AbsoluteReportFileName(path, ProgramFolder(context.executablePath));

  auto hold = HoldWithRetries(files, context, path);
  if (!hold && !named && save.rawBugRepFile.find(u'\\') == std::u16string::npos) {
    path = FallbackReportFileName(save.rawBugRepFile, context.roamingAppData, context.executablePath, save.expand);
    hold = HoldWithRetries(files, context, path);
  }
  // A replacement fails when another save got hold of the file in the
  // moment between its release and the replacement; that save is waited
  // for and the merge runs again on what it wrote.
  for (int round = 1; hold; ++round) {
    const TSaveResult result = SaveInto(*hold, save);
    hold.reset();
    if (result == TSaveResult::saved) {
      if (writtenTo) *writtenTo = path;
      return true;
    }
    if (result == TSaveResult::readFailed || round == kSaveRounds) return false;
    hold = HoldWithRetries(files, context, path);
  }
  return false;
}

}  // namespace ruvex
