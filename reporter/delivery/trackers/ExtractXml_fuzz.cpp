// Tracker answers are untrusted: any bytes must be read or refused
// without reading out of bounds or running away.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "reporter/delivery/trackers/ExtractXml.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view xml(reinterpret_cast<const char*>(data), size);
  ruvex::ExtractXml(xml, "<methodResponse>|<params>|<value>");
  ruvex::XmlElements(xml, "<item");
  ruvex::XmlElementValue(xml, "<name");
  ruvex::WithoutXmlElement(xml, "<subprojects");
  if (const auto value = ruvex::XmlElement(xml, "<struct>")) {
    if (const auto member = ruvex::XmlRpcMember(*value, "id")) {
      ruvex::XmlRpcScalar(*member);
      ruvex::XmlRpcArray(*member);
    }
  }
  ruvex::XmlRpcScalar(xml);
  return 0;
}
