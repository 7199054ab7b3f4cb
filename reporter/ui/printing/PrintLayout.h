#pragma once
// Where the lines of a printed bug report go: margins from the device's
// metrics, word wrap in the line width, and rows spread over pages so that
// no row runs past a page's bottom margin.
#include <functional>
#include <string>
#include <vector>

namespace ruvex {

// What the printer tells of itself (device units and millimetres).
struct TPrintMetrics {
  int horzRes = 0, vertRes = 0;        // printable area in device units
  int horzSizeMm = 0, vertSizeMm = 0;  // printable area in millimetres
  int offsetX = 0, offsetY = 0;        // physical offset of the printable area
  int logPixelsY = 0;
};

struct TPrintGeometry {
  int top = 0, left = 0;  // margins inside the printable area, never negative
  int bottom = 0;         // the last device row a line may reach
  int lineWidth = 0;
  int fontHeight = 0;  // for CreateFont: negative character height of 8 points
};

TPrintGeometry PrintGeometry(const TPrintMetrics& metrics);

// The text's lines (CR LF ends a line; an empty line prints as one blank).
std::vector<std::u16string> PrintLines(std::u16string_view text);

using TTextWidth = std::function<int(std::u16string_view)>;

// Greedy word wrap: rows break after blanks; a word wider than the line is
// cut where it no longer fits.
std::vector<std::u16string> WrapLine(std::u16string_view line, int width, const TTextWidth& textWidth);

struct TPrintedRow {
  int page = 0;  // from 0
  int y = 0;
  std::u16string text;
  bool operator==(const TPrintedRow&) const = default;
};

// Every row at its page and position; a new page starts at the top margin.
std::vector<TPrintedRow> Paginate(const std::vector<std::u16string>& lines, const TPrintGeometry& geometry,
                                  int rowHeight, const TTextWidth& textWidth);

}  // namespace ruvex
