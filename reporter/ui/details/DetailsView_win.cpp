#include "reporter/ui/details/DetailsView_win.h"

#include <commctrl.h>

#include <algorithm>

namespace ruvex {

namespace {

const wchar_t* W(const std::u16string& s) { return reinterpret_cast<const wchar_t*>(s.c_str()); }

std::vector<std::u16string> Cells(const std::u16string& captions) {
  std::vector<std::u16string> cells;
  std::size_t start = 0;
  while (true) {
    std::size_t tab = captions.find(u'\t', start);
    cells.push_back(captions.substr(start, tab == std::u16string::npos ? std::u16string::npos : tab - start));
    if (tab == std::u16string::npos) return cells;
    start = tab + 1;
  }
}

// Shown as typed: "&" doubled so that it is no mnemonic, "^" columns upper-cased.
std::u16string Shown(std::u16string cell, bool upperCase) {
  for (std::size_t i = cell.find(u'&'); i != std::u16string::npos; i = cell.find(u'&', i + 2)) cell.insert(i, 1, u'&');
  if (upperCase)
    for (auto& c : cell)
      if (c >= u'a' && c <= u'z') c = static_cast<char16_t>(c - 32);
  return cell;
}

COLORREF ColumnTint(int column, std::size_t columns) {
  if (columns == 1 || column % 2 == 1) return RGB(255, 255, 255);
  return column % 4 == 0 ? kTintBlue : kTintRed;
}

}  // namespace

TDetailsView::TDetailsView(HWND parent, RECT rect, HFONT dialogFont, HFONT fixedFont)
    : parent_(parent), dialogFont_(dialogFont), fixedFont_(fixedFont) {
  tabs_ = CreateWindowExW(0, WC_TABCONTROLW, L"", WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS, rect.left, rect.top,
                          rect.right - rect.left, rect.bottom - rect.top, parent, nullptr, nullptr, nullptr);
  SendMessageW(tabs_, WM_SETFONT, reinterpret_cast<WPARAM>(dialogFont_), FALSE);
}

TDetailsView::~TDetailsView() {
  FCurrentTab = -1;
  if (IsWindow(content_)) DestroyWindow(content_);
  if (IsWindow(tabs_)) DestroyWindow(tabs_);
}

void TDetailsView::Update(const std::vector<TReportPart>& header, const std::vector<TReportPart>& sections) {
  header_ = header;
  sections_ = sections;
  CheckTabs();
  CheckCurrentTab();
}

void TDetailsView::CheckTabs() {
  auto names = TabNames(header_, sections_);
  if (names == tabNames_) return;
  int selected = static_cast<int>(SendMessageW(tabs_, TCM_GETCURSEL, 0, 0));
  SendMessageW(tabs_, TCM_DELETEALLITEMS, 0, 0);
  for (std::size_t i = 0; i < names.size(); ++i) {
    TCITEMW item{};
    item.mask = TCIF_TEXT;
    item.pszText = const_cast<wchar_t*>(W(names[i]));
    SendMessageW(tabs_, TCM_INSERTITEMW, i, reinterpret_cast<LPARAM>(&item));
  }
  tabNames_ = names;
  selected = std::clamp(selected, 0, static_cast<int>(names.size()) - 1);
  SendMessageW(tabs_, TCM_SETCURSEL, selected, 0);
  FCurrentTab = -1;
}

RECT TDetailsView::ContentRect() const {
  RECT r;
  GetWindowRect(tabs_, &r);
  MapWindowPoints(nullptr, parent_, reinterpret_cast<POINT*>(&r), 2);
  SendMessageW(tabs_, TCM_ADJUSTRECT, FALSE, reinterpret_cast<LPARAM>(&r));
  return r;
}

void TDetailsView::CheckCurrentTab() {
  int tab = static_cast<int>(SendMessageW(tabs_, TCM_GETCURSEL, 0, 0));
  if (tab < 0 || tab >= static_cast<int>(tabNames_.size())) return;
  std::u16string content = TabContent(header_, sections_, tab);
  if (tab == FCurrentTab && content == FCurrentTabContent) return;
  FCurrentTab = tab;
  FCurrentTabContent = content;
  if (IsWindow(content_)) DestroyWindow(content_);
  content_ = nullptr;
  model_ = TabModel(tabNames_[tab], content);
  if (model_.useList)
    ShowList();
  else
    ShowText(content);
}

void TDetailsView::ShowList() {
  RECT r = ContentRect();
  DWORD style = WS_CHILD | WS_VISIBLE | WS_TABSTOP | LVS_REPORT | LVS_SHOWSELALWAYS | LVS_SINGLESEL |
                (model_.headerVisible ? 0 : LVS_NOCOLUMNHEADER);
  content_ = CreateWindowExW(0, WC_LISTVIEWW, L"", style, r.left, r.top, r.right - r.left, r.bottom - r.top, parent_,
                             nullptr, nullptr, nullptr);
  SetWindowPos(content_, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
  SendMessageW(content_, WM_SETFONT, reinterpret_cast<WPARAM>(model_.fixedFont ? fixedFont_ : dialogFont_), FALSE);
  SendMessageW(content_, LVM_SETEXTENDEDLISTVIEWSTYLE, LVS_EX_FULLROWSELECT, LVS_EX_FULLROWSELECT);
  for (std::size_t c = 0; c < model_.columns.size(); ++c) {
    LVCOLUMNW column{};
    column.mask = LVCF_TEXT | LVCF_FMT | LVCF_WIDTH;
    column.fmt = model_.columns[c].format == 1 ? LVCFMT_RIGHT : LVCFMT_LEFT;
    column.cx = 50;
    column.pszText = const_cast<wchar_t*>(W(model_.columns[c].caption));
    SendMessageW(content_, LVM_INSERTCOLUMNW, c, reinterpret_cast<LPARAM>(&column));
  }
  for (std::size_t row = 0; row < model_.items.size(); ++row) {
    const auto& captions = model_.items[row].captions;
    bool marker = captions.rfind(u">>", 0) == 0;
    auto cells = marker ? std::vector<std::u16string>{u">>" + captions.substr(2)} : Cells(captions);
    for (std::size_t c = 0; c < cells.size() && c < std::max<std::size_t>(1, model_.columns.size()); ++c) {
      bool upper = c < model_.columns.size() && model_.columns[c].upperCase;
      std::u16string text = Shown(cells[c], upper);
      LVITEMW item{};
      item.mask = LVIF_TEXT;
      item.iItem = static_cast<int>(row);
      item.iSubItem = static_cast<int>(c);
      item.pszText = const_cast<wchar_t*>(W(text));
      SendMessageW(content_, c == 0 ? LVM_INSERTITEMW : LVM_SETITEMTEXTW, row, reinterpret_cast<LPARAM>(&item));
    }
  }
  for (std::size_t c = 0; c < model_.columns.size(); ++c)
    SendMessageW(content_, LVM_SETCOLUMNWIDTH, c, model_.headerVisible ? LVSCW_AUTOSIZE_USEHEADER : LVSCW_AUTOSIZE);
}

void TDetailsView::ShowText(const std::u16string& text) {
  RECT r = ContentRect();
  content_ = CreateWindowExW(0, L"EDIT", W(text),
                             WS_CHILD | WS_VISIBLE | WS_VSCROLL | WS_HSCROLL | ES_MULTILINE | ES_READONLY,
                             r.left, r.top, r.right - r.left, r.bottom - r.top, parent_, nullptr, nullptr, nullptr);
  SetWindowPos(content_, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
  SendMessageW(content_, WM_SETFONT, reinterpret_cast<WPARAM>(fixedFont_), FALSE);
}

void TDetailsView::Resize(RECT rect) {
  SetWindowPos(tabs_, nullptr, rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top, SWP_NOZORDER);
  RECT r = ContentRect();
  if (content_) SetWindowPos(content_, HWND_TOP, r.left, r.top, r.right - r.left, r.bottom - r.top, 0);
}

LRESULT TDetailsView::CustomDraw(NMLVCUSTOMDRAW& draw) const {
  switch (draw.nmcd.dwDrawStage) {
    case CDDS_PREPAINT: return CDRF_NOTIFYITEMDRAW;
    case CDDS_ITEMPREPAINT: return CDRF_NOTIFYSUBITEMDRAW;
    case CDDS_ITEMPREPAINT | CDDS_SUBITEM: {
      std::size_t row = draw.nmcd.dwItemSpec;
      if (row >= model_.items.size()) return CDRF_DODEFAULT;
      const TItem& item = model_.items[row];
      bool marker = item.captions.rfind(u">>", 0) == 0;
      draw.clrTextBk = item.forceColor ? item.forceColor
                       : marker        ? RGB(255, 255, 255)
                                       : ColumnTint(draw.iSubItem, model_.columns.size());
      draw.clrText = marker ? RGB(0x60, 0x60, 0x60) : RGB(0, 0, 0);
      return CDRF_NEWFONT;
    }
  }
  return CDRF_DODEFAULT;
}

bool TDetailsView::OnNotify(const NMHDR& header, LRESULT& result) {
  if (header.hwndFrom == tabs_ && header.code == TCN_SELCHANGE) {
    CheckCurrentTab();
    result = 0;
    return true;
  }
  if (header.hwndFrom != content_ || !model_.useList) return false;
  if (header.code == NM_CUSTOMDRAW) {
    result = CustomDraw(*reinterpret_cast<NMLVCUSTOMDRAW*>(const_cast<NMHDR*>(&header)));
    return true;
  }
  bool callStackTab = FCurrentTab == (tabNames_.empty() || tabNames_[0] == u"general" ? 1 : 0);
  if (header.code == NM_DBLCLK && callStackTab && jumpRequest) {
    int row = reinterpret_cast<const NMITEMACTIVATE&>(header).iItem;
    if (row > 0 && row < static_cast<int>(model_.items.size())) {
      std::u16string line = model_.items[row].captions;
      std::replace(line.begin(), line.end(), u'\t', u' ');
      jumpRequest(line);
    }
    result = 0;
    return true;
  }
  return false;
}

}  // namespace ruvex
