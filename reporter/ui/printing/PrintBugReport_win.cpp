#include "reporter/ui/printing/PrintBugReport_win.h"

#include <commdlg.h>

namespace ruvex {

namespace {

const wchar_t* W(std::u16string_view s) { return reinterpret_cast<const wchar_t*>(s.data()); }

// The font selected into one device context for as long as it lives.
class TSelectedFont {
 public:
  TSelectedFont(HDC dc, HFONT font) : dc_(dc), old_(font ? SelectObject(dc, font) : nullptr) {}
  ~TSelectedFont() {
    if (old_) SelectObject(dc_, old_);
  }
  TSelectedFont(const TSelectedFont&) = delete;
  TSelectedFont& operator=(const TSelectedFont&) = delete;

 private:
  HDC dc_;
  HGDIOBJ old_;
};

HFONT PrintFont(int height) {
  return CreateFontW(height, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS,
                     CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, FIXED_PITCH | FF_MODERN, L"Courier New");
}

int RowHeight(HDC dc) {
  TEXTMETRICW tm{};
  GetTextMetricsW(dc, &tm);
  return tm.tmHeight > 0 ? tm.tmHeight : 1;
}

}  // namespace

bool TPrinterPages::StartDocument(const std::u16string& name) {
  DOCINFOW info{};
  info.cbSize = sizeof info;
  info.lpszDocName = W(name);
  return StartDocW(dc_, &info) > 0;
}

TPrintMetrics TPrinterPages::Metrics() {
  return {GetDeviceCaps(dc_, HORZRES),        GetDeviceCaps(dc_, VERTRES),
          GetDeviceCaps(dc_, HORZSIZE),       GetDeviceCaps(dc_, VERTSIZE),
          GetDeviceCaps(dc_, PHYSICALOFFSETX), GetDeviceCaps(dc_, PHYSICALOFFSETY),
          GetDeviceCaps(dc_, LOGPIXELSY)};
}

bool PrintTextPages(IPrintPages& pages, std::u16string_view text, const std::u16string& documentName) {
  TPrintGeometry geometry = PrintGeometry(pages.Metrics());
  HFONT font = PrintFont(geometry.fontHeight);
  if (!font) return false;
  std::vector<TPrintedRow> rows;
  {
    HDC measure = pages.MeasureDc();
    TSelectedFont selected(measure, font);
    auto width = [measure](std::u16string_view s) {
      SIZE size{};
      GetTextExtentPoint32W(measure, W(s), static_cast<int>(s.size()), &size);
      return static_cast<int>(size.cx);
    };
    rows = Paginate(PrintLines(text), geometry, RowHeight(measure), width);
  }
  bool ok = pages.StartDocument(documentName);
  int page = -1;
  HDC dc = nullptr;
  for (std::size_t i = 0; ok && i < rows.size(); ++i) {
    if (rows[i].page != page) {
      if (dc) ok = pages.EndPage();
      dc = ok ? pages.StartPage() : nullptr;
      ok = dc != nullptr;
      page = rows[i].page;
    }
    if (!ok) break;
    TSelectedFont selected(dc, font);
    SetBkMode(dc, TRANSPARENT);
    ExtTextOutW(dc, geometry.left, rows[i].y, 0, nullptr, W(rows[i].text), static_cast<UINT>(rows[i].text.size()),
                nullptr);
  }
  if (ok && dc) ok = pages.EndPage();
  if (ok)
    pages.EndDocument();
  else
    pages.AbortDocument();
  DeleteObject(font);
  return ok;
}

bool PrintBugReportText(std::u16string_view text, HWND parent, const std::u16string& documentName) {
  PRINTDLGW dialog{};
  dialog.lStructSize = sizeof dialog;
  dialog.hwndOwner = parent;
  dialog.Flags = PD_RETURNDC | PD_NOPAGENUMS | PD_NOSELECTION | PD_USEDEVMODECOPIESANDCOLLATE | PD_HIDEPRINTTOFILE |
                 PD_NONETWORKBUTTON;
  if (!PrintDlgW(&dialog) || !dialog.hDC) return false;
  SetMapMode(dialog.hDC, MM_TEXT);
  TPrinterPages pages(dialog.hDC);
  bool printed = PrintTextPages(pages, text, documentName);
  DeleteDC(dialog.hDC);
  if (dialog.hDevMode) GlobalFree(dialog.hDevMode);
  if (dialog.hDevNames) GlobalFree(dialog.hDevNames);
  return printed;
}

}  // namespace ruvex
