#include "reporter/core/reportfile/ReportFileSettings.h"

namespace ruvex {

TReportFileOptions ReportFileOptionsOf(const IRESettings& settings) {
  TReportFileOptions options;
  options.appendBugReports = settings.GetAppendBugReports();
  // A negative limit cannot be kept; it counts as none.
  const std::int32_t limit = settings.GetBugReportFileSize();
  options.sizeLimit = limit > 0 ? static_cast<std::uint64_t>(limit) : 0;
  options.noDupExcepts = settings.GetNoDupExcepts();
  options.noDupFreezes = settings.GetNoDupFreezes();
  options.dupExceptDef = settings.GetDupExceptDef();
  options.dupFreezeDef = settings.GetDupFreezeDef();
  return options;
}

TReportFileSave ReportFileSaveOf(const TIRESettings& settings, std::u16string report, std::u16string fileName,
                                 bool automatic) {
  TReportFileSave save;
  save.fileName = std::move(fileName);
  save.report = std::move(report);
  save.automatic = automatic;
  const auto raw = settings.LookupProp("BugRepFile");
  save.rawBugRepFile = raw ? raw->Str() : u"bugreport.qbr";
  const ISettingsHost& host = settings.Environment().Host();
  const ModuleHandle module = settings.Module();
  save.expand = [&host, module](std::u16string_view text) {
    return ExpandPlaceholders(host, module, text, TPlaceholderValues{});
  };
  save.options = ReportFileOptionsOf(settings);
  return save;
}

TReportFileContext ReportFileContextOf(const TIRESettings& settings) {
  const ISettingsHost& host = settings.Environment().Host();
  TReportFileContext context;
  context.executablePath = host.ModuleFileName(host.ExecutableModule());
  context.roamingAppData = host.ShellFolder(TShellFolder::userAppData).value_or(std::u16string());
  return context;
}

}  // namespace ruvex
