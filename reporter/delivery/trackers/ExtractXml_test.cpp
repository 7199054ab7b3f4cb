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
      {"<token><![CDATA[abc]]></token>", "<token>", "abc"},
      {"<token><![CDATA[]]></token>", "<token>", ""},
      {"<token><![CDATA[]></token>", "<token>", "<![CDATA[]>"},  // too short to hold a section
      {"<t> <![CDATA[x</t>", "<t>", "<![CDATA[x"},
      {"<item/><item>b</item>", "<item", ""},
      {"<a>open", "<a>", std::nullopt},
      {"<a", "<a", std::nullopt},
      {"", "<a>", std::nullopt},
      {"<a>x</a>", "", "<a>x</a>"},
      {"<m><params><value><struct></struct></value></params></m>", "<m>|<params>|<value>", "<struct></struct>"},
  };
  for (const TCase& c : cases) EXPECT_EQ(ExtractXml(c.xml, c.path), c.content) << c.xml << " " << c.path;
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
