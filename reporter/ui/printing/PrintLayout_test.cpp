#include "reporter/ui/printing/PrintLayout.h"

#include <gtest/gtest.h>

using namespace ruvex;

namespace {
// 10 device units a character.
int Width(std::u16string_view s) { return static_cast<int>(s.size()) * 10; }
}  // namespace

TEST(PrintGeometry, MarginsFromTheDevice) {
  // 600 dpi A4 printable area: 4960 x 7016 units on 210 x 297 mm.
  TPrintMetrics a4{4960, 7016, 210, 297, 100, 120, 600};
  auto g = PrintGeometry(a4);
  EXPECT_EQ(g.top, 236 - 120);
  EXPECT_EQ(g.left, 2 * 236 - 100);
  EXPECT_EQ(g.bottom, 7016 - 116) << "one centimetre at the bottom";
  EXPECT_EQ(g.lineWidth, 4960 + 100 - 372 - 236);
  EXPECT_EQ(g.fontHeight, -66);

  TPrintMetrics wideOffset{4960, 7016, 210, 297, 900, 400, 600};
  auto clamped = PrintGeometry(wideOffset);
  EXPECT_EQ(clamped.top, 0) << "never a negative margin";
  EXPECT_EQ(clamped.left, 0);
}

TEST(PrintLines, EmptyLinesKeepTheirSpace) {
  EXPECT_EQ(PrintLines(u"a\r\n\r\n\r\nb"), (std::vector<std::u16string>{u"a", u" ", u" ", u"b"}));
  EXPECT_EQ(PrintLines(u"a\r\n"), std::vector<std::u16string>{u"a"});
}

TEST(PrintWrap, WordsAndLongWords) {
  EXPECT_EQ(WrapLine(u"one two three four", 90, Width), (std::vector<std::u16string>{u"one two", u"three", u"four"}));
  EXPECT_EQ(WrapLine(u"abcdefghijkl", 50, Width), (std::vector<std::u16string>{u"abcde", u"fghij", u"kl"}));
  EXPECT_EQ(WrapLine(u"ab", 1, Width), (std::vector<std::u16string>{u"a", u"b"})) << "no endless loop";
}

TEST(PrintPaginate, LongLineGoesOnOnTheNextPage) {
  TPrintGeometry g;
  g.top = 10;
  g.bottom = 50;  // room for four rows of 10
  g.lineWidth = 50;
  auto rows = Paginate({u"first", u"abcdefghijklmnopqrst"}, g, 10, Width);
  std::vector<TPrintedRow> expected{{0, 10, u"first"}, {0, 20, u"abcde"}, {0, 30, u"fghij"},
                                    {0, 40, u"klmno"}, {1, 10, u"pqrst"}};
  EXPECT_EQ(rows, expected);
}
