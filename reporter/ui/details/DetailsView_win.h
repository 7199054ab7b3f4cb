#pragma once
// The details view as windows: a tab control and, over its display area,
// a report-style list view (or a read-only text) for the current tab.
#include <windows.h>
#include <commctrl.h>

#include <functional>
#include <string>
#include <vector>

#include "reporter/ui/details/DetailsModel.h"

namespace ruvex {

class TDetailsView {
 public:
  // Built inside `parent` at `rect`; the fonts stay the caller's.
  TDetailsView(HWND parent, RECT rect, HFONT dialogFont, HFONT fixedFont);
  ~TDetailsView();
  TDetailsView(const TDetailsView&) = delete;
  TDetailsView& operator=(const TDetailsView&) = delete;

  // Brings the tabs and the current tab's content up to date with the report.
  void Update(const std::vector<TReportPart>& header, const std::vector<TReportPart>& sections);
  // The parent forwards its WM_NOTIFY; true when the message was the view's.
  bool OnNotify(const NMHDR& header, LRESULT& result);
  void Resize(RECT rect);
  HWND Tabs() const { return tabs_; }
  HWND Content() const { return content_; }
  const TListModel& Model() const { return model_; }
  // A row of the call-stack tab, TABs as blanks, on double click.
  std::function<void(const std::u16string&)> jumpRequest;

 private:
  void CheckTabs();
  void CheckCurrentTab();
  void ShowList();
  void ShowText(const std::u16string& text);
  RECT ContentRect() const;
  LRESULT CustomDraw(NMLVCUSTOMDRAW& draw) const;

  HWND parent_, tabs_ = nullptr, content_ = nullptr;
  HFONT dialogFont_, fixedFont_;
  std::vector<TReportPart> header_, sections_;
  std::vector<std::u16string> tabNames_;
  int FCurrentTab = -1;
  std::u16string FCurrentTabContent;
  TListModel model_;
};

}  // namespace ruvex
