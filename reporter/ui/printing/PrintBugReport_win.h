#pragma once
// Printing the bug report text on Windows: the print dialog, then the
// pages drawn on the printer's device context.
#include <windows.h>

#include <string>

#include "reporter/ui/printing/PrintLayout.h"

namespace ruvex {

// The pages a printout is drawn on: a printer, or (tests) one metafile a page.
class IPrintPages {
 public:
  virtual ~IPrintPages() = default;
  virtual bool StartDocument(const std::u16string& name) = 0;
  // The device context to draw the page on; null when the page cannot start.
  virtual HDC StartPage() = 0;
  virtual bool EndPage() = 0;
  virtual void EndDocument() = 0;
  virtual void AbortDocument() = 0;
  // Where text is measured (the printer itself).
  virtual HDC MeasureDc() = 0;
  virtual TPrintMetrics Metrics() = 0;
};

// The printer's own document and pages.
class TPrinterPages : public IPrintPages {
 public:
  explicit TPrinterPages(HDC printer) : dc_(printer) {}
  bool StartDocument(const std::u16string& name) override;
  HDC StartPage() override { return ::StartPage(dc_) > 0 ? dc_ : nullptr; }
  bool EndPage() override { return ::EndPage(dc_) > 0; }
  void EndDocument() override { ::EndDoc(dc_); }
  void AbortDocument() override { ::AbortDoc(dc_); }
  HDC MeasureDc() override { return dc_; }
  TPrintMetrics Metrics() override;

 private:
  HDC dc_;
};

// "Courier New" 8 point, one row after the other; false (and the document
// aborted) when the document or a page cannot start.
bool PrintTextPages(IPrintPages& pages, std::u16string_view text, const std::u16string& documentName);

// The print dialog owned by `parent`, then the printout. True when the
// dialog was confirmed and the printout went through.
bool PrintBugReportText(std::u16string_view text, HWND parent, const std::u16string& documentName);

}  // namespace ruvex
