#pragma once
// The details view's content without windows: the tabs of a bug report,
// the text each tab shows, and that text as list columns and rows (or as
// plain text when it has no column structure).
#include <cstdint>
#include <string>
#include <vector>

namespace ruvex {

struct TReportPart {
  std::u16string name, content;
};

struct TColumn {
  std::u16string caption;
  int format = 0;  // 1: right-aligned
  bool upperCase = false;
};

struct TItem {
  std::u16string captions;   // cells separated by TAB
  std::uint32_t forceColor = 0;  // 0x00BBGGRR, 0 for none
  bool title = false;
};

struct TListModel {
  bool useList = false;  // false: the plain text view
  bool headerVisible = false;
  bool fixedFont = false;
  std::vector<TColumn> columns;
  std::vector<TItem> items;
};

inline constexpr std::uint32_t kTintBlue = 0xFFF8F0, kTintRed = 0xF4F4FF, kCurrentInstruction = 0xD0D0FF;

// "general", the call stack tab, then one tab per further section.
std::vector<std::u16string> TabNames(const std::vector<TReportPart>& header, const std::vector<TReportPart>& sections);
std::u16string TabContent(const std::vector<TReportPart>& header, const std::vector<TReportPart>& sections,
                          std::size_t tab);

// Captions joined by "|": "^" shows cells upper-cased, a leading blank aligns right.
std::vector<TColumn> ParseColumns(std::u16string_view definition);

// A text split by its own structure (markers, "+"/"-" lists, TABs, aligned columns).
TListModel SplitAutomatically(std::u16string_view text);
// The layout for a tab: fixed layouts for the sections the report always
// writes alike, the automatic split for the rest.
TListModel TabModel(std::u16string_view tabName, std::u16string_view content);

}  // namespace ruvex
