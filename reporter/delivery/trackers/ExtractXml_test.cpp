#include "reporter/delivery/trackers/ExtractXml.h"

#include <gtest/gtest.h>

namespace ruvex {
namespace {

TEST(ExtractXml, FindsElementsByTagText) {
  struct TCase {
    const char* xml;
    const char* path;
    std::optional<std::string> content;
  };
  const TCase cases[] = {
      {"<a> <b>\r\n text \t</b></a>", "<a>|<b>", "text"},
      {"<return xsi:type=\"xsd:string\">1.2.0</return>", "<return", "1.2.0"},
      {"<return xsi:type=\"xsd:string\">1.2.0</return>", "<return>", std::nullopt},  // exact tag only
      {"<returnValue>x</returnValue><return>y</return>", "<return", "y"},
      {"<v><v>inner</v>tail</v>", "<v>", "<v>inner</v>tail"},
      {"<v><v/>tail</v>", "<v>", "<v/>tail"},
      {"<token><![CDATA[abc]]></token>", "<token>", "<![CDATA[abc]]>"},  // markup until a value is read
      {"<item/><item>b</item>", "<item", ""},
      {"<a>open", "<a>", std::nullopt},
      {"<a", "<a", std::nullopt},
      {"", "<a>", std::nullopt},
      {"<a>x</a>", "", "<a>x</a>"},
      {"<m><params><value><struct></struct></value></params></m>", "<m>|<params>|<value>", "<struct></struct>"},
  };
  for (const TCase& c : cases) EXPECT_EQ(ExtractXml(c.xml, c.path), c.content) << c.xml << " " << c.path;
}

TEST(ExtractXml, ValuesAreReadOnceAfterTheMarkup) {
  struct TCase {
    const char* markup;
    const char* value;
  };
  const TCase cases[] = {
      {" a &amp;lt; b ", "a &lt; b"},                          // decoded once, never twice
      {"&lt;b&gt;x&lt;/b&gt;", "<b>x</b>"},
      {"<![CDATA[a &amp; <b>]]>", "a &amp; <b>"},               // character data is taken as it is
      {"<![CDATA[]]>", ""},
      {"<![CDATA[]>", "<![CDATA[]>"},                           // too short to hold a section
      {"&quot;&apos;&amp", "\"'&amp"},
  };
  for (const TCase& c : cases) EXPECT_EQ(XmlValue(c.markup), c.value) << c.markup;

  // An escaped tag inside a value is no element: the path finds the real one.
  const char* xml = "<r><title>&lt;id&gt;7&lt;/id&gt;</title><id>42</id></r>";
  EXPECT_EQ(ExtractXml(xml, "<r>|<id>"), "42");
  EXPECT_EQ(XmlElementValue(*XmlElement(xml, "<r>"), "<title>"), "<id>7</id>");
  EXPECT_EQ(XmlRpcScalar("<string>a&amp;b</string>"), "a&b");
  EXPECT_EQ(XmlRpcScalar("x&lt;y"), "x<y");
}

TEST(ExtractXml, ListsSiblingsWithoutLookingInside) {
  const char* xml = "<item><id>1</id><subprojects><item><id>2</id></item></subprojects></item><item><id>3</id></item>";
  const std::vector<std::string> items = XmlElements(xml, "<item");
  ASSERT_EQ(items.size(), 2u);
  EXPECT_EQ(XmlElement(WithoutXmlElement(items[0], "<subprojects"), "<id"), "1");
  EXPECT_EQ(XmlElement(items[1], "<id"), "3");
}

TEST(ExtractXml, ReadsXmlRpcStructsAndArrays) {
  const char* value =
      "<struct><member><name>inner</name><value><struct><member><name>id</name><value><int>9</int></value>"
      "</member></struct></value></member><member><name>id</name><value><int>42</int></value></member>"
      "<member><name>list</name><value><array><data><value><string>a</string></value><value>b</value>"
      "</data></array></value></member></struct>";
  const std::string members = *XmlElement(value, "<struct>");
  EXPECT_EQ(XmlRpcScalar(*XmlRpcMember(members, "id")), "42");
  EXPECT_FALSE(XmlRpcMember(members, "missing"));
  const std::vector<std::string> list = XmlRpcArray(*XmlRpcMember(members, "list"));
  ASSERT_EQ(list.size(), 2u);
  EXPECT_EQ(XmlRpcScalar(list[0]), "a");
  EXPECT_EQ(XmlRpcScalar(list[1]), "b");
  EXPECT_EQ(XmlRpcScalar("<nil/>"), "");
}

}  // namespace
}  // namespace ruvex
