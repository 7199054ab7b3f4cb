#include "reporter/core/handling/ReportActions_win.h"

#include "common/files/FileSystem.h"
#include "common/win/NativeHandles_win.h"
#include "reporter/core/flow/Exception.h"
#include "reporter/core/report/HeaderSource_win.h"
#include "reporter/core/reportfile/ReportFileSettings.h"

namespace ruvex {
namespace {

TReportTime LocalNow() {
  SYSTEMTIME t;
  GetLocalTime(&t);
  return {t.wYear, t.wMonth, t.wDay, t.wHour, t.wMinute, t.wSecond, t.wMilliseconds};
}

void CopyFields(const IREFields& from, IREFields& to) {
  for (int i = 0; i < from.GetItemCount(); ++i) to.SetContent(from.GetItem(i), from.GetContentAt(i));
}

}  // namespace

TActionResult TWin32ReportActions::StartBugReport(IREException& exceptIntf) {
  THeaderFacts facts;
  facts.created = LocalNow();
  facts.exceptionNumber = NextExceptionNumber();
  facts.frozen = exceptIntf.GetExceptType() == etFrozen;
  facts.exceptionClass = exceptIntf.GetExceptClass();
  facts.exceptionMessage = exceptIntf.GetExceptMessage();
  facts.frozenMessage = exceptIntf.GetFrozenMsg();
  facts.versionVar = exceptIntf.VersionVar();
  TWinHeaderSource source(startTick_, kelvane::ToHmodule(exceptIntf.Module()));
  CopyFields(*BuildReportHeader(source, facts), *exceptIntf.GetBugReportHeader());
  // The per-thread sections (call stacks, registers, stack dump,
  // disassembly) are added here by their builder once it exists.
  return TActionResult::notDone;
}

TActionResult TWin32ReportActions::SaveBugReport(IREException& exceptIntf, bool automatic, TWindowHandle) {
  auto* exception = dynamic_cast<TIREException*>(&exceptIntf);
  if (!automatic || !exception) return TActionResult::notDone;
  const TReportFileSave save = ReportFileSaveOf(*exception, exceptIntf.GetBugReport(false, 0));
  TReportFileContext context = ReportFileContextOf(*exception);
  context.pause = [](int milliseconds) { Sleep(static_cast<DWORD>(milliseconds)); };
  return WriteBugReportFile(kelvane::DefaultFileSystem(), context, save) ? TActionResult::done
                                                                          : TActionResult::notDone;
}

}  // namespace ruvex
