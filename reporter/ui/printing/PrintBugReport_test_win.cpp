#include "reporter/ui/printing/PrintBugReport_win.h"

#include <gtest/gtest.h>

#include <memory>

using namespace ruvex;

namespace {

struct TTextRecord {
  int x, y;
  std::u16string text;
};

// One enhanced metafile a page; the text records of each are read back.
class TMetafilePages : public IPrintPages {
 public:
  ~TMetafilePages() override {
    if (current_) DeleteEnhMetaFile(CloseEnhMetaFile(current_));
    for (HENHMETAFILE f : pages_) DeleteEnhMetaFile(f);
    DeleteDC(measure_);
  }
  bool StartDocument(const std::u16string& name) override {
    documentName = name;
    return documentStarts;
  }
  HDC StartPage() override {
    if (static_cast<int>(pages_.size()) == failingPage) return nullptr;
    current_ = CreateEnhMetaFileW(measure_, nullptr, nullptr, nullptr);
    return current_;
  }
  bool EndPage() override {
    pages_.push_back(CloseEnhMetaFile(current_));
    current_ = nullptr;
    return true;
  }
  void EndDocument() override { ended = true; }
  void AbortDocument() override { aborted = true; }
  HDC MeasureDc() override { return measure_; }
  TPrintMetrics Metrics() override { return metrics; }

  std::vector<std::vector<TTextRecord>> Pages() const {
    std::vector<std::vector<TTextRecord>> out;
    for (HENHMETAFILE f : pages_) {
      out.emplace_back();
      EnumEnhMetaFile(nullptr, f, &Collect, &out.back(), nullptr);
    }
    return out;
  }

  // A 96 dpi A5-like area: 560 x 794 units on 148 x 210 mm, no offsets.
  TPrintMetrics metrics{560, 794, 148, 210, 0, 0, 96};
  bool documentStarts = true, ended = false, aborted = false;
  int failingPage = -1;
  std::u16string documentName;

 private:
  static int CALLBACK Collect(HDC, HANDLETABLE*, const ENHMETARECORD* record, int, LPARAM out) {
    if (record->iType != EMR_EXTTEXTOUTW) return 1;
    auto* text = reinterpret_cast<const EMREXTTEXTOUTW*>(record);
    auto* chars = reinterpret_cast<const char16_t*>(reinterpret_cast<const BYTE*>(record) + text->emrtext.offString);
    reinterpret_cast<std::vector<TTextRecord>*>(out)->push_back(
        {text->emrtext.ptlReference.x, text->emrtext.ptlReference.y, std::u16string(chars, text->emrtext.nChars)});
    return 1;
  }
  HDC measure_ = CreateCompatibleDC(nullptr);
  HDC current_ = nullptr;
  std::vector<HENHMETAFILE> pages_;
};

}  // namespace

TEST(PrintTextPagesWin, PagesLinesAndWrapping) {
  std::u16string text;
  for (int i = 0; i < 60; ++i) text += u"line " + std::u16string(1, u'A' + i % 26) + u"\r\n";
  text += u"\r\n\r\n";
  std::u16string longLine;
  for (int i = 0; i < 40; ++i) longLine += u"word" + std::u16string(1, u'a' + i % 26) + u" ";
  text += longLine + u"\r\nlast";
  TMetafilePages pages;
  ASSERT_TRUE(PrintTextPages(pages, text, u"print bug report"));
  EXPECT_TRUE(pages.ended);
  EXPECT_EQ(pages.documentName, u"print bug report");
  auto printed = pages.Pages();
  ASSERT_GE(printed.size(), 2u);

  TPrintGeometry g = PrintGeometry(pages.metrics);
  std::vector<TTextRecord> all;
  for (const auto& page : printed) {
    ASSERT_FALSE(page.empty());
    EXPECT_EQ(page.front().y, g.top) << "each page starts at the top margin";
    int step = page.size() > 1 ? page[1].y - page[0].y : 0;
    for (std::size_t i = 0; i < page.size(); ++i) {
      EXPECT_EQ(page[i].x, g.left);
      EXPECT_EQ(page[i].y, g.top + static_cast<int>(i) * step) << "rows one height apart";
      EXPECT_LE(page[i].y + step, g.bottom) << "no row below the bottom margin";
    }
    all.insert(all.end(), page.begin(), page.end());
  }
  ASSERT_EQ(all.at(60).text, u" ");
  ASSERT_EQ(all.at(61).text, u" ") << "empty lines keep their space";
  std::u16string joined;
  std::size_t wrapped = 0;
  for (std::size_t i = 62; i + 1 < all.size(); ++i, ++wrapped) joined += all[i].text + u" ";
  EXPECT_GT(wrapped, 2u) << "the long line wraps";
  EXPECT_EQ(joined, longLine);
  EXPECT_EQ(all.back().text, u"last");
}

TEST(PrintTextPagesWin, FailingStartsAbortAndSayFalse) {
  TMetafilePages noDocument;
  noDocument.documentStarts = false;
  EXPECT_FALSE(PrintTextPages(noDocument, u"a\r\nb", u"doc"));
  EXPECT_TRUE(noDocument.aborted);
  EXPECT_TRUE(noDocument.Pages().empty());

  std::u16string longText;
  for (int i = 0; i < 200; ++i) longText += u"row\r\n";
  TMetafilePages secondPage;
  secondPage.failingPage = 1;
  EXPECT_FALSE(PrintTextPages(secondPage, longText, u"doc"));
  EXPECT_TRUE(secondPage.aborted);
  EXPECT_FALSE(secondPage.ended);
}
