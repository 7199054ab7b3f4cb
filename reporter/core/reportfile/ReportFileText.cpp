#include "reporter/core/reportfile/ReportFileText.h"

namespace ruvex {
namespace {

constexpr std::string_view kLineBreak = "\r\n";
constexpr std::string_view kBlankLine = "\r\n\r\n";

std::string_view Trimmed(std::string_view text) {
  while (!text.empty() && static_cast<unsigned char>(text.front()) <= 32) text.remove_prefix(1);
  while (!text.empty() && static_cast<unsigned char>(text.back()) <= 32) text.remove_suffix(1);
  return text;
}

// Length of "name<spaces>: " when the line at `line` starts with it, else 0.
std::size_t FieldPrefixLength(std::string_view text, std::size_t line, std::string_view name) {
  if (text.compare(line, name.size(), name) != 0) return 0;
  std::size_t at = line + name.size();
  const std::size_t padding = at;
  while (at < text.size() && text[at] == ' ') ++at;
  if (at == padding || text.compare(at, 2, ": ") != 0) return 0;
  return at + 2 - line;
}

struct TFieldLine {
  std::size_t start = 0, valueStart = 0, end = 0;
};

std::optional<TFieldLine> FindFieldLine(std::string_view report, std::string_view name) {
  if (name.empty()) return std::nullopt;
  const std::string_view header = ReportHeaderPart(report);
  for (std::size_t line = 0; line <= header.size();) {
    std::size_t lineEnd = header.find(kLineBreak, line);
    if (lineEnd == std::string_view::npos) lineEnd = header.size();
    if (const std::size_t prefix = FieldPrefixLength(header.substr(0, lineEnd), line, name))
      return TFieldLine{line, line + prefix, lineEnd};
    line = lineEnd + kLineBreak.size();
  }
  return std::nullopt;
}

}  // namespace

std::string_view ReportHeaderPart(std::string_view report) {
  return report.substr(0, report.find(kBlankLine));
}

std::optional<std::string> ReadReportField(std::string_view report, std::string_view name) {
  const auto line = FindFieldLine(report, name);
  if (!line) return std::nullopt;
  return std::string(Trimmed(report.substr(line->valueStart, line->end - line->valueStart)));
}

std::string InsertReportFieldAfter(std::string_view report, std::string_view anchor, std::string_view name,
                                   std::string_view value) {
  const auto line = FindFieldLine(report, anchor);
  if (!line) return std::string(report);
  const std::size_t width = line->valueStart - line->start - 2;  // name and padding
  std::string inserted(kLineBreak);
  inserted += name;
  inserted.append(width > name.size() ? width - name.size() : 1, ' ');
  inserted += ": ";
  inserted += value;
  std::string result(report);
  result.insert(line->end, inserted);
  return result;
}

std::vector<std::size_t> ReportStarts(std::string_view file) {
  constexpr std::string_view kFirstField = "date/time";
  std::vector<std::size_t> starts;
  if (FieldPrefixLength(file, 0, kFirstField)) starts.push_back(0);
  for (std::size_t at = file.find(kBlankLine); at != std::string_view::npos; at = file.find(kBlankLine, at + 1)) {
    const std::size_t start = at + kBlankLine.size();
    if (FieldPrefixLength(file, start, kFirstField)) starts.push_back(start);
  }
  return starts;
}

}  // namespace ruvex
