#include "reporter/ui/details/ThreadLayout.h"

#include <algorithm>

namespace ruvex {

namespace {

bool IsHeaderRow(const std::u16string& line) { return line.empty() || line.rfind(u">>", 0) == 0; }

std::u16string Trim(std::u16string_view s) {
  std::size_t a = 0, b = s.size();
  while (a < b && s[a] <= u' ') ++a;
  while (b > a && s[b - 1] <= u' ') --b;
  return std::u16string(s.substr(a, b - a));
}

std::vector<std::u16string> SplitLines(std::u16string_view text) {
  std::vector<std::u16string> lines;
  std::size_t start = 0;
  while (start < text.size()) {
    std::size_t end = text.find(u'\r', start);
    if (end == std::u16string_view::npos) end = text.size();
    std::u16string_view line = text.substr(start, end - start);
    if (!line.empty() && line.front() == u'\n') line.remove_prefix(1);
    std::size_t last = line.find_last_not_of(u' ');
    lines.emplace_back(last == std::u16string_view::npos ? std::u16string_view() : line.substr(0, last + 1));
    start = end + 1;
  }
  while (!lines.empty() && lines.back().empty()) lines.pop_back();
  return lines;
}

// Boundaries agreed on by every text row that reaches them: blanks of the
// longest row that all rows share, the last of each run (so that
// right-aligned numbers keep their column).
std::vector<std::size_t> Boundaries(const std::vector<const std::u16string*>& rows) {
  if (rows.empty()) return {};
  const std::u16string& longest = **std::max_element(rows.begin(), rows.end(),
                                                     [](auto* a, auto* b) { return a->size() < b->size(); });
  auto agreed = [&](std::size_t pos) {
    return pos + 1 < longest.size() && longest[pos] == u' ' &&
           std::all_of(rows.begin(), rows.end(), [&](auto* row) { return row->size() <= pos || (*row)[pos] == u' '; });
  };
  std::vector<std::size_t> cols;
  for (std::size_t pos = 1; pos + 1 < longest.size(); ++pos)
    if (agreed(pos) && !agreed(pos + 1)) cols.push_back(pos);
  return cols;
}

// Column k of a row: from boundary k to boundary k + 1, untrimmed; empty past its end.
std::u16string Cell(const std::u16string& row, const std::vector<std::size_t>& cols, int k) {
  std::size_t from = k == 0 ? 0 : cols[k - 1] + 1;
  std::size_t to = k < static_cast<int>(cols.size()) ? cols[k] : row.size();
  if (from >= row.size()) return {};
  return row.substr(from, std::min(to, row.size()) - from);
}

template <class Test>
bool EveryReachingRow(const TPiece& p, const std::vector<const std::u16string*>& rows, int k, Test test) {
  std::size_t from = k == 0 ? 0 : p.cols[k - 1] + 1;
  bool any = false;
  for (auto* row : rows) {
    if (row->size() <= from) continue;
    any = true;
    if (!test(Cell(*row, p.cols, k))) return false;
  }
  return any;
}

bool IsRelativeAddress(const std::u16string& cell) {
  std::u16string t = Trim(cell);
  if (t.size() < 2 || t[0] != u'+') return false;
  return std::all_of(t.begin() + 1, t.end(), [](char16_t c) {
    return (c >= u'0' && c <= u'9') || (c >= u'a' && c <= u'f') || (c >= u'A' && c <= u'F');
  });
}

bool IsLineNumber(const std::u16string& cell) {
  std::size_t i = 0;
  while (i < cell.size() && cell[i] == u' ') ++i;
  return i < cell.size() && std::all_of(cell.begin() + i, cell.end(), [](char16_t c) { return c >= u'0' && c <= u'9'; });
}

bool IsIdentifierCell(const std::u16string& cell) {
  std::u16string t = Trim(cell);
  if (t.empty()) return true;
  for (auto& c : t)
    if (c >= u'A' && c <= u'Z') c = static_cast<char16_t>(c + 32);
  if (t.rfind(u"public%", 0) == 0 || t.rfind(u"segment%", 0) == 0) return true;
  for (std::size_t at; (at = t.find(u".obj")) != std::u16string::npos;) t.erase(at, 4);
  std::erase_if(t, [](char16_t c) { return c == u'.' || c == u':'; });
  auto letter = [](char16_t c) { return (c >= u'a' && c <= u'z') || c == u'_' || c >= 128; };
  if (t.empty() || !letter(t[0])) return false;
  return std::all_of(t.begin(), t.end(), [&](char16_t c) { return letter(c) || (c >= u'0' && c <= u'9'); });
}

void FindRoles(TPiece& p) {
  std::vector<const std::u16string*> rows;
  for (const auto& line : p.lines)
    if (!IsHeaderRow(line)) rows.push_back(&line);
  p.cols = Boundaries(rows);
  int count = static_cast<int>(p.cols.size()) + 1;
  int first = 1;
  if (count >= 3 && EveryReachingRow(p, rows, 1, IsRelativeAddress)) p.relAddrCol = 1, first = 2;
  if (count > first) p.moduleCol = first;
  for (int k = first + 2; k < count; ++k)
    if (EveryReachingRow(p, rows, k, IsLineNumber)) {
      p.lineCol = k;
      p.unitCol = k - 1;
      if (count - k - 1 >= 2) p.relLineCol = k + 1, p.funcCol = k + 2;
      else if (count - k - 1 == 1) p.funcCol = k + 1;
      return;
    }
  if (count > first + 1) {
    for (int k = first + 1; k < count; ++k)
      if (EveryReachingRow(p, rows, k, IsIdentifierCell)) {
        if (count - k == 2) p.unitCol = k, p.funcCol = k + 1;
        else p.funcCol = k;
        return;
      }
  }
  if (count == 4) p.unitCol = 2, p.funcCol = 3;
  else if (count == 3) p.funcCol = 2;
}

}  // namespace

std::vector<TPiece> ThreadPieces(std::u16string_view text) {
  std::vector<TPiece> pieces(1);
  bool afterText = false;
  for (auto& line : SplitLines(text)) {
    bool header = IsHeaderRow(line);
    if (header && afterText && line.rfind(u">> created", 0) != 0) pieces.emplace_back();
    afterText = !header;
    pieces.back().lines.push_back(line);
  }
  for (auto& p : pieces) FindRoles(p);
  return pieces;
}

TListModel ThreadLayout(std::u16string_view text) {
  auto pieces = ThreadPieces(text);
  auto any = [&](int TPiece::*role) {
    return std::any_of(pieces.begin(), pieces.end(), [&](const TPiece& p) { return p.*role >= 0; });
  };
  // Roles in caption order, each shown when a block has it.
  struct TRole {
    int TPiece::*col;
    std::u16string_view caption;
  };
  std::vector<TRole> roles;
  for (TRole r : {TRole{&TPiece::relAddrCol, u"^ rel."}, TRole{&TPiece::moduleCol, u"module"},
                  TRole{&TPiece::unitCol, u"unit"}, TRole{&TPiece::lineCol, u" line"},
                  TRole{&TPiece::relLineCol, u" rel."}, TRole{&TPiece::funcCol, u"function"}})
    if (any(r.col)) roles.push_back(r);
  std::u16string definition = u"^address";
  for (const auto& r : roles) definition += u"|" + std::u16string(r.caption);

  TListModel model;
  model.useList = true;
  model.headerVisible = true;
  model.columns = ParseColumns(definition);
  bool internalError = text.rfind(u">> internal error", 0) == 0;
  const std::u16string* previous = nullptr;
  for (const auto& p : pieces)
    for (const auto& line : p.lines) {
      TItem item;
      if (IsHeaderRow(line)) {
        item.captions = line;
        item.forceColor = 0xFFFFFF;
        item.title = previous ? (IsHeaderRow(*previous) && previous->empty()) : !internalError;
      } else {
        item.captions = Trim(Cell(line, p.cols, 0));
        for (const auto& r : roles) {
          int k = p.*(r.col);
          std::u16string cell;
          if (k >= 0 && r.col == &TPiece::moduleCol) {
            int last = p.unitCol > k ? p.unitCol - 1 : k;
            for (int c = k; c <= last; ++c) cell += (c > k ? u" " : u"") + Trim(Cell(line, p.cols, c));
          } else if (k >= 0) {
            cell = Trim(Cell(line, p.cols, k));
          }
          item.captions += u"\t" + Trim(cell);
        }
      }
      model.items.push_back(item);
      previous = &line;
    }
  return model;
}

}  // namespace ruvex
