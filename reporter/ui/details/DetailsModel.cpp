#include "reporter/ui/details/DetailsModel.h"

#include "reporter/ui/details/ThreadLayout.h"

#include <algorithm>
#include <cctype>

namespace ruvex {

namespace {

constexpr char16_t kTab = u'\t';
constexpr char16_t kNoBreakSpace = u'\u00a0';

bool StartsWith(std::u16string_view text, std::u16string_view prefix) {
  return text.substr(0, prefix.size()) == prefix;
}

std::u16string Trimmed(std::u16string_view s) {
  std::size_t a = 0, b = s.size();
  while (a < b && s[a] <= u' ') ++a;
  while (b > a && s[b - 1] <= u' ') --b;
  return std::u16string(s.substr(a, b - a));
}

// Lines end at CR; the LF after it goes with the trimming.
std::vector<std::u16string> Lines(std::u16string_view text) {
  std::vector<std::u16string> lines;
  std::size_t start = 0;
  while (start <= text.size()) {
    std::size_t end = text.find(u'\r', start);
    if (end == std::u16string_view::npos) end = text.size();
    std::u16string_view line = text.substr(start, end - start);
    if (!line.empty() && line.front() == u'\n') line.remove_prefix(1);
    lines.emplace_back(line);
    start = end + 1;
  }
  while (!lines.empty() && lines.back().empty()) lines.pop_back();
  return lines;
}

bool IsMarker(std::u16string_view line) { return StartsWith(line, u">>"); }

std::u16string JoinCells(const std::vector<std::u16string>& cells) {
  std::u16string out;
  for (std::size_t i = 0; i < cells.size(); ++i) out += (i ? u"\t" : u"") + Trimmed(cells[i]);
  return out;
}

std::vector<std::u16string> CutAt(const std::u16string& line, const std::vector<std::size_t>& boundaries) {
  std::vector<std::u16string> cells;
  std::size_t start = 0;
  for (std::size_t b : boundaries) {
    if (b >= line.size()) break;
    // A run of separators (" = ") parts two cells, not three.
    if (b > start || cells.empty()) cells.push_back(line.substr(start, b - start));
    start = b + 1;
  }
  cells.push_back(start <= line.size() ? line.substr(start) : u"");
  return cells;
}

bool RealSeparator(const std::u16string& line, std::size_t pos) {
  if (line[pos] != u' ') return true;
  return pos + 1 < line.size() && line[pos + 1] != u' ';
}

bool Candidate(const std::u16string& line, std::size_t pos) {
  char16_t c = line[pos];
  if (c == u' ' || c == u'=' || c == u'|') return true;
  return c == u':' && pos + 1 < line.size() && line[pos + 1] == u' ';
}

// Column boundaries found on the longest line: a position every other line
// reaching it agrees on, used as a real separator by two other lines at
// least (unless only one line has text, or the two-line rule is off).
std::vector<std::size_t> DetectSeparators(const std::vector<std::u16string>& lines, bool twoLineRule) {
  std::vector<const std::u16string*> text;
  for (const auto& line : lines)
    if (!line.empty() && !IsMarker(line)) text.push_back(&line);
  if (text.empty()) return {};
  const std::u16string& longest = **std::max_element(
      text.begin(), text.end(), [](auto* a, auto* b) { return a->size() < b->size(); });
  std::vector<std::size_t> boundaries;
  for (std::size_t pos = 1; pos + 1 < longest.size(); ++pos) {
    if (!Candidate(longest, pos)) continue;
    bool agree = true;
    int real = 0;
    for (const auto* line : text) {
      if (line == &longest || line->size() <= pos) continue;
      if ((*line)[pos] != longest[pos]) {
        agree = false;
        break;
      }
      if (RealSeparator(*line, pos)) ++real;
    }
    bool used = text.size() == 1 || !twoLineRule || real >= 2;
    // Only the last blank of a run separates: the others would make empty columns.
    if (agree && used && RealSeparator(longest, pos)) boundaries.push_back(pos);
  }
  return boundaries;
}

TListModel ListOfCells(const std::vector<std::u16string>& lines, const std::vector<std::size_t>& boundaries,
                       std::size_t maxColumns) {
  TListModel model;
  model.useList = true;
  std::size_t columns = 1;
  for (const auto& line : lines) {
    TItem item;
    if (IsMarker(line)) {
      item.captions = Trimmed(line);
    } else {
      auto cells = CutAt(line, boundaries);
      if (cells.size() > maxColumns) {
        for (std::size_t i = maxColumns; i < cells.size(); ++i) cells[maxColumns - 1] += u" " + cells[i];
        cells.resize(maxColumns);
      }
      columns = std::max(columns, cells.size());
      item.captions = JoinCells(cells);
    }
    model.items.push_back(item);
  }
  model.columns.resize(columns);
  return model;
}

bool IsLongLineText(const std::vector<std::u16string>& lines) {
  std::size_t longLines = 0, shortLines = 0;
  for (const auto& l : lines) (l.size() >= 81 ? longLines : shortLines)++;
  return lines.size() <= 1 || longLines * 5 >= shortLines;
}

bool IsPlusMinusList(const std::vector<std::u16string>& lines) {
  for (std::size_t i = 0; i < lines.size(); ++i) {
    std::u16string t = Trimmed(lines[i]);
    if (i == 0 && !t.empty() && t[0] == u'!') t = Trimmed(t.substr(1));
    if (t.empty() || (t[0] != u'+' && t[0] != u'-')) return false;
  }
  return true;
}

TListModel PlusMinusList(std::vector<std::u16string> lines) {
  TListModel model;
  model.useList = true;
  model.columns.resize(1);
  for (std::size_t i = 0; i < lines.size(); ++i) {
    std::u16string line = lines[i];
    TItem item;
    if (i == 0 && !line.empty() && line[0] == u'!') {
      item.forceColor = kTintRed;
      line.erase(0, 1);
    }
    if (!line.empty() && line[0] == u' ') line[0] = kNoBreakSpace;
    std::u16string t = Trimmed(line);
    if (!t.empty() && t[0] == u'+') item.forceColor = kTintBlue;
    item.captions = line;
    model.items.push_back(item);
  }
  return model;
}

TListModel TabSplit(const std::vector<std::u16string>& lines) {
  TListModel model;
  model.useList = true;
  std::size_t columns = 1;
  for (const auto& line : lines) {
    TItem item;
    item.captions = line;
    columns = std::max<std::size_t>(columns, std::count(line.begin(), line.end(), kTab) + 1);
    model.items.push_back(item);
  }
  model.columns.resize(columns);
  return model;
}

TListModel WithCaptions(TListModel model, std::u16string_view definition, bool fixedFont) {
  model.columns = ParseColumns(definition);
  model.headerVisible = true;
  model.fixedFont = fixedFont;
  return model;
}

// Separators at fixed 1-based positions of every line.
TListModel FixedPositions(const std::vector<std::u16string>& lines, std::vector<std::size_t> positions,
                          std::u16string_view definition, bool fixedFont) {
  std::vector<std::size_t> boundaries;
  for (std::size_t p : positions) boundaries.push_back(p - 1);
  auto columns = ParseColumns(definition);
  return WithCaptions(ListOfCells(lines, boundaries, columns.size()), definition, fixedFont);
}

TListModel Detected(const std::vector<std::u16string>& lines, std::u16string_view definition, bool twoLineRule,
                    bool fixedFont) {
  auto columns = ParseColumns(definition);
  return WithCaptions(ListOfCells(lines, DetectSeparators(lines, twoLineRule), columns.size()), definition,
                      fixedFont);
}

TListModel Processes(const std::vector<std::u16string>& lines) {
  static constexpr std::u16string_view kByCount[] = {
      u"^id|file name|priority|path", u"^id|file name|session|priority|path",
      u"^id|file name|gdi objects|user objects|priority|path",
      u"^id|file name|session|gdi objects|user objects|priority|path"};
  auto boundaries = DetectSeparators(lines, true);
  std::size_t count = std::clamp<std::size_t>(boundaries.size(), 3, 6);
  std::u16string_view definition = kByCount[count - 3];
  return WithCaptions(ListOfCells(lines, boundaries, ParseColumns(definition).size()), definition, false);
}

// The marker of the current instruction: the ">" that stands in place of
// the blank after the address (and the line number, when there is one).
std::size_t MarkerPosition(const std::vector<std::u16string>& lines) {
  for (const auto& line : lines) {
    std::size_t i = 0;
    while (i < line.size() && std::isxdigit(static_cast<unsigned char>(line[i] < 128 ? line[i] : 0))) ++i;
    if (i == 0) continue;
    while (i < line.size() && (line[i] == u' ' || (line[i] >= u'0' && line[i] <= u'9'))) ++i;
    if (i < line.size() && i < 25 && line[i] == u'>') return i + 1;
  }
  return 0;
}

// A TAB before the comment: the first "  ; " from column 40 on only, so
// that a ";" inside an operand or a string stays where it is.
std::u16string SplitComment(std::u16string line) {
  std::size_t dashes = line.find(u"; --");
  if (dashes != std::u16string::npos) {
    line.erase(dashes + 2, std::min<std::size_t>(28, line.size() - dashes - 2));
    return line;
  }
  std::size_t comment = line.size() > 39 ? line.find(u"  ; ", 39) : std::u16string::npos;
  if (comment != std::u16string::npos) line.insert(comment + 2, 1, kTab);
  return line;
}

TListModel Disassembly(const std::vector<std::u16string>& lines) {
  std::size_t m = MarkerPosition(lines);
  bool withLines = m >= 11;
  std::u16string definition = withLines ? u"address|line|asm code|comments" : u"address|asm code|comments";
  TListModel model = WithCaptions({}, definition, true);
  model.useList = true;
  for (std::u16string line : lines) {
    TItem item;
    if (m && m <= line.size() && (line[m - 1] == u' ' || line[m - 1] == u'>')) {
      if (line[m - 1] == u'>') item.forceColor = kCurrentInstruction;
      line[m - 1] = kNoBreakSpace;
    }
    line = SplitComment(line);
    std::size_t tab = line.find(kTab);
    std::vector<std::size_t> boundaries{8};
    if (withLines) boundaries.push_back(m - 2);
    auto cells = CutAt(line.substr(0, tab), boundaries);
    if (tab != std::u16string::npos) cells.push_back(line.substr(tab + 1));
    item.captions = JoinCells(cells);
    model.items.push_back(item);
  }
  return model;
}

std::vector<std::u16string> TrimmedLines(std::u16string_view content) {
  auto lines = Lines(content);
  for (auto& line : lines) line = Trimmed(line);
  return lines;
}

bool IsLeakReport(const std::vector<TReportPart>& header) {
  return !header.empty() && header.front().name == u"allocation number";
}

// The thread sections: the first section and the "$" sections after it.
std::size_t LeadingSections(const std::vector<TReportPart>& sections) {
  if (sections.empty()) return 0;
  std::size_t n = 1;
  while (n < sections.size() && sections[n].name.find(u'$') != std::u16string::npos) ++n;
  return n;
}

std::u16string ShownTabName(const std::u16string& section) {
  if (section == u"cpu registers") return u"cpu regs";
  if (section == u"disassembling") return u"disasm";
  return section;
}

}  // namespace

std::vector<std::u16string> TabNames(const std::vector<TReportPart>& header, const std::vector<TReportPart>& sections) {
  std::vector<std::u16string> tabs;
  if (IsLeakReport(header)) {
    tabs.push_back(!sections.empty() && sections[0].name == u"memory dump" ? u"memory dump" : u"call stack");
  } else {
    tabs.push_back(u"general");
    bool several = sections.size() > 1 && sections[1].name.find(u'$') != std::u16string::npos;
    tabs.push_back(several ? u"call stacks" : u"call stack");
  }
  for (std::size_t i = LeadingSections(sections); i < sections.size(); ++i) tabs.push_back(ShownTabName(sections[i].name));
  return tabs;
}

std::u16string TabContent(const std::vector<TReportPart>& header, const std::vector<TReportPart>& sections,
                          std::size_t tab) {
  bool leak = IsLeakReport(header);
  if (!leak) {
    if (tab == 0) {
      std::u16string out;
      for (const auto& field : header) out += field.name + u"\t" + field.content + u"\r\n";
      return out;
    }
    --tab;
  }
  std::size_t leading = LeadingSections(sections);
  if (tab == 0) {
    if (leak && !sections.empty() && sections[0].name == u"memory dump") return sections[0].content;
    std::u16string out;
    for (std::size_t i = 0; i < leading; ++i)
      out += (i ? u"\r\n" : u"") + (u">> " + sections[i].name + u"\r\n" + sections[i].content);
    return out;
  }
  std::size_t index = leading + tab - 1;
  return index < sections.size() ? sections[index].content : u"";
}

std::vector<TColumn> ParseColumns(std::u16string_view definition) {
  std::vector<TColumn> columns;
  std::size_t start = 0;
  while (start <= definition.size()) {
    std::size_t bar = definition.find(u'|', start);
    if (bar == std::u16string_view::npos) bar = definition.size();
    std::u16string_view caption = definition.substr(start, bar - start);
    TColumn column;
    if (!caption.empty() && caption[0] == u'^') column.upperCase = true, caption.remove_prefix(1);
    if (!caption.empty() && caption[0] == u' ') column.format = 1, caption.remove_prefix(1);
    column.caption = caption;
    columns.push_back(column);
    start = bar + 1;
  }
  return columns;
}

TListModel SplitAutomatically(std::u16string_view text) {
  auto lines = Lines(text);
  bool withCaptions = StartsWith(text, u"^");
  if (!withCaptions && IsLongLineText(lines)) return {};
  if (withCaptions) {
    std::u16string captionLine = lines.front().substr(1);
    std::replace(captionLine.begin(), captionLine.end(), kTab, u'|');
    lines.erase(lines.begin());
    TListModel model = TabSplit(lines);
    model.columns = ParseColumns(captionLine);
    model.headerVisible = true;
    return model;
  }
  if (IsPlusMinusList(lines)) return PlusMinusList(lines);
  if (text.find(kTab) != std::u16string_view::npos) return TabSplit(lines);
  for (auto& line : lines) line = std::u16string(line);
  return ListOfCells(lines, DetectSeparators(lines, true), SIZE_MAX);
}

TListModel TabModel(std::u16string_view tabName, std::u16string_view content) {
  if (StartsWith(content, u">> will be")) return SplitAutomatically(content);
  if (StartsWith(content, u">> internal") || tabName == u"call stack" || tabName == u"call stacks")
    return ThreadLayout(content);
  auto lines = TrimmedLines(content);
  if (tabName == u"general") return WithCaptions(TabSplit(lines), u"description|value", false);
  if (tabName == u"cpu regs") return Detected(lines, u"reg.|content", true, true);
  if (tabName == u"memory dump" || tabName == u"stack dump")
    return FixedPositions(lines, {10, 61}, u"address|data - hexadecimal|data - chars", true);
  if (tabName == u"modules") return Detected(lines, u"^handle|file name| version|path", true, false);
  if (tabName == u"processes") return Processes(lines);
  if (tabName == u"disasm") return Disassembly(lines);
  return SplitAutomatically(content);
}

}  // namespace ruvex
