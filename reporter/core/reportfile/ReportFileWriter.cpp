#include "reporter/core/reportfile/ReportFileWriter.h"

#include <chrono>
#include <thread>

#include "common/text/FileNames.h"

namespace ruvex {

using kelvane::FolderOf;
namespace {

std::unique_ptr<IReportFileHold> HoldWithRetries(IReportFileStore& store, const TReportFileContext& context,
                                                 const std::u16string& path) {
  for (int attempt = 1;; ++attempt) {
    if (auto hold = store.Hold(path)) return hold;
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

// One save attempt: the merge and the trimming run on what the hold read,
// and the whole new content replaces the old one.
TSaveResult SaveInto(IReportFileHold& hold, const TReportFileSave& save) {
  TFileContent old;
  if (save.options.appendBugReports) {
    auto content = hold.Read(kMaxReadBytes);
    // Unreadable, or too large to keep whole without a limit: the old file
    // stays as it is rather than being cut.
    if (!content || (content->headCut && save.options.sizeLimit == 0)) return TSaveResult::readFailed;
    old = std::move(*content);
  }
  const std::string bytes = ComposeReportFile(old.bytes, save.report, save.options, old.headCut);
  return hold.Replace(bytes) ? TSaveResult::saved : TSaveResult::replaceFailed;
}

}  // namespace

bool WriteBugReportFile(IReportFileStore& store, const TReportFileContext& context, const TReportFileSave& save,
                        std::u16string* writtenTo) {
  if (save.report.empty()) return false;
  std::u16string path = save.fileName;
  const bool named = !path.empty();
  if (!named) {
    if (!save.automatic) return false;  // the save dialog decides the name
    path = ExpandReportFileName(save.rawBugRepFile, save.expand);
  }
  if (save.automatic) path = AbsoluteReportFileName(path, ProgramFolder(context.executablePath));

  auto hold = HoldWithRetries(store, context, path);
  if (!hold && !named && save.rawBugRepFile.find(u'\\') == std::u16string::npos) {
    path = FallbackReportFileName(save.rawBugRepFile, context.roamingAppData, context.executablePath, save.expand);
    hold = HoldWithRetries(store, context, path);
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
    hold = HoldWithRetries(store, context, path);
  }
  return false;
}

}  // namespace ruvex
