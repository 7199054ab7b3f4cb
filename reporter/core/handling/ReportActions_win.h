#pragma once
// The report actions as far as they are built: the header of the report and
// its automatic save. The box, sending, printing, the clipboard and pausing
// still answer "not done".
#include <windows.h>

#include "reporter/core/flow/FlowServices.h"

namespace ruvex {

class TWin32ReportActions final : public TActionsNotBuilt {
 public:
  explicit TWin32ReportActions(ULONGLONG startTick) : startTick_(startTick) {}
  // Fills the header now; the report is then complete as it stands.
  TActionResult StartBugReport(IREException& exceptIntf) override;
  // Only the automatic save: an interactive one needs the save dialog.
  TActionResult SaveBugReport(IREException& exceptIntf, bool automatic, TWindowHandle parent) override;

 private:
  ULONGLONG startTick_;
};

}  // namespace ruvex
