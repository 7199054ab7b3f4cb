#pragma once
// Reading the trackers' XML answers by tag text: no validation, just the
// elements asked for. A tag text without its closing bracket ("<return")
// also matches the tag with attributes; equally named nested elements are
// counted, so the content of the outer one is whole.
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace ruvex {

// The content of the first element with this start tag text, from the
// ">" of its start tag to its end tag, trimmed, as markup (entities and
// CDATA sections left as they are, so nested elements can be looked for).
// Nullopt when there is none.
std::optional<std::string> XmlElement(std::string_view xml, std::string_view tag);

// A value read out of markup: trimmed, a CDATA section without its
// brackets and otherwise its entities decoded, once.
std::string XmlValue(std::string_view markup);
// XmlValue of the first element with this start tag text.
std::optional<std::string> XmlElementValue(std::string_view xml, std::string_view tag);

// Tags joined by "|": each is looked for inside the content of the one before.
std::optional<std::string> ExtractXml(std::string_view xml, std::string_view path);

// The contents of every element with this tag, in order, not looking into
// the elements found.
std::vector<std::string> XmlElements(std::string_view xml, std::string_view tag);

// xml with the first element of this tag cut out (for the fields of an
// item beside its nested items).
std::string WithoutXmlElement(std::string_view xml, std::string_view tag);

// An XML-RPC struct member's <value> content by the member's name.
std::optional<std::string> XmlRpcMember(std::string_view structXml, std::string_view name);
// The text inside an XML-RPC value: the content of its type element, or
// the value's own text when it has none, read as XmlValue.
std::string XmlRpcScalar(std::string_view valueXml);
// The <value> contents of an XML-RPC array value.
std::vector<std::string> XmlRpcArray(std::string_view valueXml);

}  // namespace ruvex
