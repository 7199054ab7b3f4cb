#include "reporter/core/report/ReportText.h"

#include <algorithm>

namespace ruvex {
namespace {

// Header values stay on their line: line breaks become spaces and runs of
// spaces shrink to one.
std::u16string OneLine(std::u16string_view value) {
  std::u16string line;
  line.reserve(value.size());
  for (std::size_t i = 0; i < value.size(); ++i) {
    char16_t c = value[i];
    if (c == u'\r' && i + 1 < value.size() && value[i + 1] == u'\n') ++i;
    if (c == u'\r' || c == u'\n') c = u' ';
    if (c == u' ' && !line.empty() && line.back() == u' ') continue;
    line.push_back(c);
  }
  return line;
}

std::u16string_view WithoutTrailingBlanks(std::u16string_view line) {
  while (!line.empty() && line.back() <= 32) line.remove_suffix(1);
  return line;
}

// Splits at CR LF, a single CR or a single LF.
std::vector<std::u16string_view> Lines(std::u16string_view text) {
  std::vector<std::u16string_view> lines;
  std::size_t start = 0;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] != u'\r' && text[i] != u'\n') continue;
    lines.push_back(text.substr(start, i - start));
    if (text[i] == u'\r' && i + 1 < text.size() && text[i + 1] == u'\n') ++i;
    start = i + 1;
  }
  lines.push_back(text.substr(start));
  return lines;
}

}  // namespace

std::u16string RenderHeader(const TReportItems& header) {
  std::size_t width = 0;
  for (const auto& [name, value] : header) width = std::max(width, name.size());
  std::u16string text;
  for (const auto& [name, value] : header) {
    if (!text.empty()) text += u"\r\n";
    text += name;
    text.append(width + 1 - name.size(), u' ');
    text += u": ";
    text += OneLine(value);
  }
  return text;
}

std::u16string RenderSections(const TReportItems& sections, bool dotEmptyLines) {
  std::u16string text;
  for (const auto& [name, content] : sections) {
    text += u"\r\n\r\n";
    text += name;
    if (name.find(u':') == std::u16string::npos) text += u':';
    for (std::u16string_view line : Lines(content)) {
      line = WithoutTrailingBlanks(line);
      text += u"\r\n";
      if (line.empty() && dotEmptyLines)
        text += u'.';
      else
        text += line;
    }
  }
  return text;
}

std::u16string RenderBugReport(const TReportItems& header, const TReportItems& sections, bool dotEmptyLines) {
  return RenderHeader(header) + RenderSections(sections, dotEmptyLines);
}

TReportItems InitialSections(const TSectionPlan& plan) {
  TReportItems sections;
  const std::u16string pending(kSectionPending);
  for (const auto& name : plan.threadSections) sections.emplace_back(name, pending);
  for (const auto& name : plan.pluginSections) sections.emplace_back(name, pending);
  if (plan.cpuRegisters) sections.emplace_back(u"cpu registers", pending);
  if (plan.stackDump) sections.emplace_back(u"stack dump", pending);
  if (plan.disassembling) sections.emplace_back(u"disassembling", pending);
  return sections;
}

}  // namespace ruvex
