#include "reporter/delivery/trackers/ExtractXml.h"

#include "reporter/delivery/http/client/HttpSession.h"

namespace ruvex {
namespace {

struct TElementSpan {
  std::size_t start = 0, contentStart = 0, contentEnd = 0, end = 0;
};

bool IsBlank(char c) { return static_cast<unsigned char>(c) <= 32; }

std::string_view TagName(std::string_view tag) {
  if (!tag.empty() && tag.front() == '<') tag.remove_prefix(1);
  if (!tag.empty() && tag.back() == '>') tag.remove_suffix(1);
  return tag;
}

// The next start tag of this name from pos on: its position and that of its ">".
bool NextStartTag(std::string_view xml, std::string_view name, std::size_t pos, std::size_t& at, std::size_t& close) {
  for (;;) {
    at = xml.find('<', pos);
    if (at == std::string_view::npos) return false;
    pos = at + 1;
    if (xml.substr(at + 1, name.size()) != name) continue;
    const std::size_t after = at + 1 + name.size();
    if (after >= xml.size()) return false;
    if (xml[after] != '>' && xml[after] != '/' && !IsBlank(xml[after])) continue;
    close = xml.find('>', after);
    return close != std::string_view::npos;
  }
}

std::optional<TElementSpan> FindElement(std::string_view xml, std::string_view tag, std::size_t from = 0) {
  const std::string_view name = TagName(tag);
  if (name.empty()) return std::nullopt;
  const bool exact = tag.back() == '>';
  TElementSpan span;
  std::size_t close = 0;
  for (std::size_t pos = from;; pos = span.start + 1) {
    if (!NextStartTag(xml, name, pos, span.start, close)) return std::nullopt;
    if (!exact || close == span.start + 1 + name.size()) break;
  }
  span.contentStart = close + 1;
  if (xml[close - 1] == '/') {
    span.contentEnd = span.end = close + 1;
    span.contentStart = span.contentEnd;
    return span;
  }
  const std::string endTag = "</" + std::string(name) + ">";
  int depth = 1;
  std::size_t pos = span.contentStart;
  for (;;) {
    const std::size_t end = xml.find(endTag, pos);
    if (end == std::string_view::npos) return std::nullopt;
    std::size_t open = 0, openClose = 0;
    if (NextStartTag(xml, name, pos, open, openClose) && open < end) {
      if (xml[openClose - 1] != '/') ++depth;
      pos = openClose + 1;
      continue;
    }
    if (--depth == 0) {
      span.contentEnd = end;
      span.end = end + endTag.size();
      return span;
    }
    pos = end + endTag.size();
  }
}

std::string_view Trimmed(std::string_view text) {
  while (!text.empty() && IsBlank(text.front())) text.remove_prefix(1);
  while (!text.empty() && IsBlank(text.back())) text.remove_suffix(1);
  return text;
}

// The element's markup, untouched: entities and character data are read
// only when a value is taken out of it (XmlValue).
std::string Content(std::string_view xml, const TElementSpan& span) {
  return std::string(Trimmed(xml.substr(span.contentStart, span.contentEnd - span.contentStart)));
}

}  // namespace

std::optional<std::string> XmlElement(std::string_view xml, std::string_view tag) {
  const std::optional<TElementSpan> span = FindElement(xml, tag);
  if (!span) return std::nullopt;
  return Content(xml, *span);
}

std::string XmlValue(std::string_view markup) {
  const std::string_view content = Trimmed(markup);
  if (content.size() >= 12 && content.substr(0, 9) == "<![CDATA[" && content.substr(content.size() - 3) == "]]>")
    return std::string(content.substr(9, content.size() - 12));
  return DecodeEntities(content);
}

std::optional<std::string> XmlElementValue(std::string_view xml, std::string_view tag) {
  const std::optional<std::string> markup = XmlElement(xml, tag);
  if (!markup) return std::nullopt;
  return XmlValue(*markup);
}

std::optional<std::string> ExtractXml(std::string_view xml, std::string_view path) {
  std::string current(xml);
  while (!path.empty()) {
    const std::size_t bar = path.find('|');
    const std::optional<std::string> inner = XmlElement(current, path.substr(0, bar));
    if (!inner) return std::nullopt;
    current = *inner;
    path = bar == std::string_view::npos ? std::string_view() : path.substr(bar + 1);
  }
  return current;
}

std::vector<std::string> XmlElements(std::string_view xml, std::string_view tag) {
  std::vector<std::string> contents;
  std::size_t pos = 0;
  while (const std::optional<TElementSpan> span = FindElement(xml, tag, pos)) {
    contents.push_back(Content(xml, *span));
    pos = span->end;
  }
  return contents;
}

std::string WithoutXmlElement(std::string_view xml, std::string_view tag) {
  const std::optional<TElementSpan> span = FindElement(xml, tag);
  if (!span) return std::string(xml);
  return std::string(xml.substr(0, span->start)) + std::string(xml.substr(span->end));
}

std::optional<std::string> XmlRpcMember(std::string_view structXml, std::string_view name) {
  for (const std::string& member : XmlElements(structXml, "<member>")) {
    const std::optional<std::string> memberName = XmlElementValue(member, "<name>");
    if (memberName && *memberName == name) return XmlElement(member, "<value>");
  }
  return std::nullopt;
}

std::string XmlRpcScalar(std::string_view valueXml) {
  std::string_view text = valueXml;
  if (text.empty() || text.front() != '<' || text.substr(0, 9) == "<![CDATA[") return XmlValue(text);
  const std::size_t close = text.find('>');
  if (close == std::string_view::npos) return {};
  std::string_view name = text.substr(1, close - 1);
  if (!name.empty() && name.back() == '/') return {};
  return XmlElementValue(text, "<" + std::string(name) + ">").value_or("");
}

std::vector<std::string> XmlRpcArray(std::string_view valueXml) {
  const std::optional<std::string> data = ExtractXml(valueXml, "<array>|<data>");
  if (!data) return {};
  return XmlElements(*data, "<value>");
}

}  // namespace ruvex
