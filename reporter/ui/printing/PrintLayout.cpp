#include "reporter/ui/printing/PrintLayout.h"

#include <algorithm>

namespace ruvex {

namespace {

int Centimetre(int pixels, int millimetres) {
  if (millimetres <= 0) return 0;
  return (pixels * 10 + millimetres / 2) / millimetres;  // rounded
}

}  // namespace

TPrintGeometry PrintGeometry(const TPrintMetrics& m) {
  TPrintGeometry g;
  int cmY = Centimetre(m.vertRes, m.vertSizeMm), cmX = Centimetre(m.horzRes, m.horzSizeMm);
  // A printable area that starts further in than the margin needs none.
  g.top = std::max(0, cmY - m.offsetY);
  g.left = std::max(0, 2 * cmX - m.offsetX);
  g.bottom = std::max(g.top + 1, m.vertRes - g.top);
  g.lineWidth = std::max(1, m.horzRes + m.offsetX - g.left - cmX);
  g.fontHeight = -(m.logPixelsY * 8 / 72);
  return g;
}

std::vector<std::u16string> PrintLines(std::u16string_view text) {
  std::vector<std::u16string> lines;
  std::size_t start = 0;
  while (start < text.size()) {
    std::size_t end = text.find(u"\r\n", start);
    if (end == std::u16string_view::npos) end = text.size();
    std::u16string line(text.substr(start, end - start));
    lines.push_back(line.empty() ? u" " : line);
    start = end + 2;
  }
  return lines;
}

std::vector<std::u16string> WrapLine(std::u16string_view line, int width, const TTextWidth& textWidth) {
  std::vector<std::u16string> rows;
  while (!line.empty()) {
    std::size_t fit = 1;  // at least one character a row, however narrow the page
    while (fit < line.size() && textWidth(line.substr(0, fit + 1)) <= width) ++fit;
    if (fit < line.size()) {
      std::size_t blank = line.substr(0, fit + 1).find_last_of(u' ');
      if (blank != std::u16string_view::npos && blank > 0) fit = blank + 1;
    }
    std::u16string_view row = line.substr(0, fit);
    while (row.size() > 1 && row.back() == u' ') row.remove_suffix(1);
    rows.emplace_back(row);
    line.remove_prefix(fit);
  }
  if (rows.empty()) rows.emplace_back(u" ");
  return rows;
}

std::vector<TPrintedRow> Paginate(const std::vector<std::u16string>& lines, const TPrintGeometry& g, int rowHeight,
                                  const TTextWidth& textWidth) {
  std::vector<TPrintedRow> rows;
  int page = 0, y = g.top;
  for (const auto& line : lines)
    for (auto& text : WrapLine(line, g.lineWidth, textWidth)) {
      // Row by row: a wrapped line goes on at the top of the next page.
      if (y + rowHeight > g.bottom && y > g.top) {
        ++page;
        y = g.top;
      }
      rows.push_back({page, y, std::move(text)});
      y += rowHeight;
    }
  return rows;
}

}  // namespace ruvex
