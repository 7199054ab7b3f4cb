#include "reporter/delivery/sending/SendAttachments.h"

#include "common/text/FileNames.h"
#include "common/text/Windows1252.h"
#include "reporter/archive/Zip.h"
#include "reporter/core/reportfile/ReportFileName.h"
#include "reporter/imaging/NVBitmap.h"

namespace ruvex {

using kelvane::FileNameOf;
using kelvane::FolderOf;
using kelvane::IFileSystem;

namespace {

std::u16string ProgramFolder(const TSendEnvironment& env) {
  return FolderOf(env.reportFile.executablePath) + u"\\";
}

bool Exists(IFileSystem& files, const std::u16string& path) { return files.Stat(path).has_value(); }

bool CopyFile(IFileSystem& files, const std::u16string& from, const std::u16string& to) {
  const auto content = kelvane::ReadWholeFile(files, from, kMaxCopiedReportFile);
  return content && kelvane::WriteFileReplacing(files, to, *content);
}

bool SaveReportInto(const std::u16string& path, const std::u16string& bugReport, const TAttachConfig& config,
                    TSendEnvironment& env) {
  TReportFileSave save;
  save.fileName = path;
  save.report = bugReport;
  save.automatic = true;
  save.rawBugRepFile = config.rawBugReportFile;
  save.expand = env.expand;
  save.options = env.reportFileOptions;
  return WriteBugReportFile(*env.files, env.reportFile, save);
}

// A name's file name part; a path in a setting must not place a file
// outside the send's folder.
std::u16string NameOnly(const std::u16string& name) { return FileNameOf(name); }

}  // namespace

std::u16string BugReportSourcePath(const TAttachConfig& config, const TSendEnvironment& env) {
  const std::u16string source =
      AbsoluteReportFileName(ExpandReportFileName(config.rawBugReportFile, env.expand), ProgramFolder(env));
  if (Exists(*env.files, source) || config.rawBugReportFile.find(u'\\') != std::u16string::npos) return source;
  return FallbackReportFileName(config.rawBugReportFile, env.reportFile.roamingAppData,
                                env.reportFile.executablePath, env.expand);
}

TReportCopy PrepareReportCopy(const TAttachConfig& config, const std::u16string& bugReport, TSendEnvironment& env) {
  IFileSystem& files = *env.files;
  const std::u16string source = BugReportSourcePath(config, env);
  const std::u16string name = FileNameOf(source);
  TReportCopy copy;
  if (name.empty()) return copy;
  std::u16string path = env.sendFolder + name;

  bool appendReport = true;
  if (config.attachBugReportFile) {
    const auto stat = files.Stat(source);
    if (stat && CopyFile(files, source, path)) {
      copy.sourcePath = source;
      copy.sourceStat = *stat;
      copy.deleteSource = config.deleteBugReportFile;
      appendReport = !env.getMailWasSaved();
    }
  }
  if (copy.sourcePath.empty()) files.Remove(path);

  const bool wasSaved = env.getMailWasSaved();
  if (appendReport && !SaveReportInto(path, bugReport, config, env)) {
    // The copy cannot take the report: the report alone under another name,
    // and the copy no longer stands for the bug report file.
    files.Remove(path);
    copy.sourcePath.clear();
    copy.deleteSource = false;
    path = env.sendFolder + kelvane::DecodeWindows1252(std::to_string(env.tickCount())) + name;
    if (!SaveReportInto(path, bugReport, config, env)) files.Remove(path);
  }
  env.setMailWasSaved(wasSaved);

  if (Exists(files, path)) {
    copy.copyPath = path;
  } else {
    copy.sourcePath.clear();
    copy.deleteSource = false;
  }
  return copy;
}

std::u16string WriteScreenShotFile(INVBitmap& screenShot, std::int32_t depth, TSendEnvironment& env) {
  const std::u16string path = env.sendFolder + kScreenShotFile;
  env.files->Remove(path);
  const std::string png = screenShot.AsPngStr(PngFormatForDepth(depth));
  if (png.empty() || !kelvane::WriteFileReplacing(*env.files, path, png)) return {};
  return path;
}

TPreparedAttachments PrepareAttachments(const std::vector<TREAttachment>& entries, TSendEnvironment& env) {
  IFileSystem& files = *env.files;
  const std::u16string programFolder = ProgramFolder(env);
  struct TEntry {
    std::u16string path, sendAs, field, zip;
  };
  std::vector<TEntry> existing;
  for (const TREAttachment& entry : entries) {
    const std::u16string path = AbsoluteReportFileName(entry.originalFile, programFolder);
    if (entry.originalFile.empty() || !Exists(files, path)) continue;
    std::u16string sendAs = NameOnly(entry.sendAsFileName);
    if (sendAs.empty()) sendAs = FileNameOf(path);
    existing.push_back({path, sendAs, entry.fieldName, NameOnly(entry.zipFile)});
  }

  TPreparedAttachments prepared;
  std::vector<std::u16string> zipsDone;
  for (std::size_t i = 0; i < existing.size(); ++i) {
    const TEntry& entry = existing[i];
    if (entry.zip.empty()) {
      prepared.paths.push_back(entry.path);
      prepared.sendAsNames.push_back(entry.sendAs);
      prepared.fieldNames.push_back(entry.field);
      continue;
    }
    bool seen = false;
    for (const auto& done : zipsDone) seen = seen || kelvane::EqualsIgnoreCase(done, entry.zip);
    if (seen) continue;
    zipsDone.push_back(entry.zip);
    std::vector<std::u16string> paths, names;
    for (std::size_t j = i; j < existing.size(); ++j) {
      if (!kelvane::EqualsIgnoreCase(existing[j].zip, entry.zip)) continue;
      paths.push_back(existing[j].path);
      names.push_back(existing[j].sendAs);
    }
    const std::u16string archive = env.sendFolder + entry.zip;
    files.Remove(archive);
    if (!WriteZipArchive(files, archive, paths, static_cast<int>(paths.size()) - 1, names)) continue;
    prepared.paths.push_back(archive);
    prepared.sendAsNames.push_back(entry.zip);
    prepared.fieldNames.push_back(entry.zip);
  }
  return prepared;
}

bool DeleteReportSource(const TReportCopy& copy, IFileSystem& files) {
  if (copy.sourcePath.empty() || !copy.deleteSource) return false;
  const auto now = files.Stat(copy.sourcePath);
  if (!now || now->size != copy.sourceStat.size || now->writeSeconds != copy.sourceStat.writeSeconds) return false;
  return files.Remove(copy.sourcePath);
}

}  // namespace ruvex
